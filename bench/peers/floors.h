// Hand-written floors: plain loops of exactly the arithmetic of a library routine (the same
// operations in the same order, single precision where it is single), without the framework
// around it. What a routine costs beyond its floor is what its structure adds.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace peers::floors {

inline constexpr float kUnset = std::numeric_limits<float>::quiet_NaN(); // never equal: recompute

inline float clampLow(float v, float lo, float hi) { // NaN gives lo
    v = v > lo ? v : lo;
    return v < hi ? v : hi;
}

inline float lerp(const float* t, float x) {
    const int n = static_cast<int>(x);
    return t[n] + (t[n + 1] - t[n]) * (x - static_cast<float>(n));
}

// ---------------------------------------------------------------------------------------------
// Wavetable oscillators: 60 zones of 2048 samples from entry 4360, one zone per 1/6 volt,
// 5 V = 440 Hz, increments from a 0.001 V pitch table.

struct ZoneLayout {
    float zoneWidth = 1.0f / (12.0f / (120.0f / 60.0f));
    float zonesPerVolt = 1.0f / zoneWidth;
    float topZoneVolts = 10.0f - zoneWidth;
    float topZoneBase =
        static_cast<float>(static_cast<std::int32_t>(topZoneVolts * zonesPerVolt)) * 2048.0f +
        4360.0f;
};

// Entry k: the increment for (k - 10000) / 1000 volts, at most one cycle per sample.
inline void fillPitchTable(float* table, float rate) {
    const float ratio = 2048.0f / rate;
    for (int i = -10000; i <= 10340; ++i) {
        const float x = static_cast<float>(i) * 0.001f - 5.0f;
        const float inc =
            static_cast<float>(std::pow(2.0, static_cast<double>(x))) * 440.0f * ratio;
        table[i + 10000] = inc < 2048.0f ? inc : 2048.0f;
    }
}

struct ZoneOscillator {
    const float* table = nullptr;
    const float* pitchTable = nullptr;
    ZoneLayout layout;
    float level = 1.0f;
    float phase = 0.0f, increment = 0.0f, zoneFraction = 0.0f, zoneBase = 4360.0f, zoneMix = 0.0f;
    std::int32_t zoneStep = 0;
    float lastPitch = kUnset, lastPhaseMod = kUnset, phaseModOffset = 0.0f;

    void setPitch(float p) {
        lastPitch = p;
        float volts = p * 10.0f;
        if (volts >= 10.333333f) volts = 10.333333f;
        const float scaled = volts * layout.zonesPerVolt;
        const float zone = static_cast<float>(static_cast<std::int32_t>(scaled));
        zoneFraction = scaled - zone;
        zoneBase = volts >= layout.topZoneVolts ? layout.topZoneBase : zone * 2048.0f + 4360.0f;
        if (volts < 0.0f) zoneBase = 4360.0f;
        const bool two = volts >= 0.0f && volts < layout.topZoneVolts;
        zoneStep = two ? 2048 : 0;
        zoneMix = two ? zoneFraction : 0.0f;
        increment = lerp(pitchTable, volts * 1000.0f + 10000.0f);
    }

    float wrap() { // advances the phase into (0, 2048]; the wrapped phase, or 0
        float w = 0.0f;
        phase += increment;
        if (phase >= 2048.0f) {
            phase -= 2048.0f;
            w = phase;
        }
        if (phase <= 0.0f) {
            phase += 2048.0f;
            w = phase;
        }
        return w;
    }

    float read(float position) const {
        const float x = zoneBase + position;
        const float a = lerp(table, x);
        const float b = lerp(table + zoneStep, x);
        return a + (b - a) * zoneMix;
    }
};

// The saw routine (reset mode 0): phase-modulation offset, the saw slot's two-zone read at
// the shifted phase, and the four auxiliary outputs.
struct Saw : ZoneOscillator {
    void run(const float* pitch, const float* phaseMod, float* audio, float* wrapped,
             float* incrementOut, float* zoneFade, float* zoneBaseOut, int n) {
        ZoneOscillator c = *this;
        for (int i = 0; i < n; ++i) {
            const float p = pitch[i];
            if (p != c.lastPitch && p >= -1.0f) c.setPitch(p);
            const float pm = phaseMod[i];
            if (pm != c.lastPhaseMod) {
                c.lastPhaseMod = pm;
                c.phaseModOffset = (clampLow(pm, -1.0f, 1.0f) * 0.5f - 0.5f) * 2048.0f;
            }
            const float w = c.wrap();
            float position = c.phase + c.phaseModOffset;
            if (position >= 2048.0f) position -= 2048.0f;
            if (position <= 0.0f) position += 2048.0f;
            audio[i] = c.level * c.read(position);
            wrapped[i] = w;
            incrementOut[i] = c.increment;
            zoneFade[i] = c.zoneFraction;
            zoneBaseOut[i] = c.zoneBase;
        }
        static_cast<ZoneOscillator&>(*this) = c;
    }
};

// The sine routine (reset mode 0): the sine slot's read at the phase, negated.
struct Sine : ZoneOscillator {
    void run(const float* pitch, float* audio, int n) {
        ZoneOscillator c = *this;
        for (int i = 0; i < n; ++i) {
            const float p = pitch[i];
            if (p != c.lastPitch && p >= -1.0f) c.setPitch(p);
            c.wrap();
            audio[i] = -(c.level * c.read(c.phase));
        }
        static_cast<ZoneOscillator&>(*this) = c;
    }
};

// ---------------------------------------------------------------------------------------------
// Four chained one-pole low-passes, y = (x + x_prev) g - k y_prev, k from a 0.001 V table and
// g = (k + 1) / 2; mode 4 adds the input scaling and the clipped resonance feedback.

struct Ladder {
    const float* kTable = nullptr;   // k by pitch
    const float* resTable = nullptr; // resonance gain by pitch (mode 4)
    float cachedPitch = kUnset, cachedRes = kUnset;
    float k = 0.0f, g = 0.5f, fb = 0.0f, resPlusOne = 1.0f;
    float prev[4] = {}, y[4] = {};

    void setPitch(float pitch) {
        cachedPitch = pitch;
        const float p = clampLow(pitch, 0.0f, 0.99f);
        k = lerp(kTable, p * 10000.0f);
        g = (k + 1.0f) * 0.5f;
    }

    float stages(float x) {
        for (int s = 0; s < 4; ++s) {
            const float out = (x + prev[s]) * g - k * y[s];
            prev[s] = x;
            y[s] = out;
            x = out;
        }
        return x;
    }
};

struct LadderPlain : Ladder {
    void run(const float* in, const float* pitch, float* out, int n) {
        Ladder c = *this;
        for (int i = 0; i < n; ++i) {
            if (pitch[i] != c.cachedPitch) c.setPitch(pitch[i]);
            out[i] = c.stages(in[i]);
        }
        static_cast<Ladder&>(*this) = c;
    }
};

struct LadderResonant : Ladder {
    void run(const float* in, const float* pitch, const float* res, float* out, int n) {
        Ladder c = *this;
        for (int i = 0; i < n; ++i) {
            if (pitch[i] != c.cachedPitch || res[i] != c.cachedRes) {
                c.setPitch(pitch[i]);
                c.cachedRes = res[i];
                const float r = lerp(c.resTable, clampLow(pitch[i], 0.0f, 0.99f) * 10000.0f);
                c.fb = res[i] * 0.171f * r;
                c.resPlusOne = res[i] + 1.0f;
            }
            const float x = clampLow(in[i] / c.resPlusOne - c.fb * c.y[3], -2.0f, 2.0f);
            out[i] = c.stages(x);
        }
        static_cast<Ladder&>(*this) = c;
    }
};

// ---------------------------------------------------------------------------------------------
// The envelope's straight-line segments. The output shows the level before the sample's step;
// the phase is a double, the steps single. `Fixed`: every segment takes its full time;
// otherwise the attack step shrinks with the span left to climb and the decay's with the
// distance to the sustain level. Each run stops when its segment ends and returns the number
// of samples it wrote.

// T = 2^(max(volts, 0) - range) seconds; a sample's share of T, or of 1 ms when T is shorter.
inline float segmentIncrement(float volts, float range, float rate) {
    const float exponent = volts > 0.0f ? volts : 0.0f;
    const float seconds = std::exp2(exponent - range);
    if (seconds <= 0.001f) return 1.0f / (rate * 0.001f);
    return (1.0f / rate) / seconds;
}

inline float line(double phase) {
    double v = phase > 0.0 ? phase : 0.0;
    v = v < 1.0 ? v : 1.0;
    const float p = static_cast<float>(v);
    return p < 0.0f ? 0.0f : p;
}

struct EnvelopeLine {
    float level = 0.0f;
    double phase = 0.0;
    float attackStep = 0.0f, span = 1.0f, start = 0.0f; // start + line x span
    float decayIncrement = 0.0f, sustain = 0.0f, oneMinusSustain = 1.0f;

    int attack(const float* gain, float* out, int n) {
        float l = level;
        double ph = phase;
        int i = 0;
        for (; i < n; ++i) {
            out[i] = l * gain[i];
            ph += attackStep;
            l = line(ph) * span + start;
            if (l >= 1.0f) break;
        }
        level = l;
        phase = ph;
        return i;
    }

    template <bool Fixed>
    int decay(const float* gain, float* out, int n) {
        float l = level;
        double ph = phase;
        int i = 0;
        for (; i < n; ++i) {
            out[i] = l * gain[i];
            if (Fixed ? !(ph >= decayIncrement) : !(sustain < l && ph > 0.0)) break;
            ph -= Fixed ? decayIncrement : decayIncrement * oneMinusSustain;
            l = line(ph) * oneMinusSustain + sustain;
        }
        level = l;
        phase = ph;
        return i;
    }
};

} // namespace peers::floors
