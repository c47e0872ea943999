// "ZR-LPF over CS": shared coefficient tables, the mode routines and the pin logic of the
// 32-mode filter. Each mode is a small kernel type (coefficient update + one sample); one
// block routine template turns a kernel into the routine installed for that mode, so the
// sample loops carry no mode tests and the variants are not copies of each other.
#include "modules/filters/AllFiltersCS.h"

#include "framework/mp_factory.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace zr {
namespace {

using gmpi::int32;

// ---------------------------------------------------------------------------------------------
// Shared tables. Entry i stands for the pin value i / 10000, that is i x 0.001 volts. Each
// table is filled from double-precision formulas and stored in single precision.

constexpr int kPitchEntries = 10551; // the seven ladder tables and the high-pass table
constexpr int kLadder18Entries = 10401;
constexpr int kTanhEntries = 20001;
constexpr int kSvEntries = 10001;

// The one-pole coefficients are polynomial fits that exceed 1 near the Nyquist frequency
// (above about 0.31 of the sample rate, and for kh at the lowest pitches above 96 kHz). A pole
// at or beyond the unit circle makes a stage diverge, so stored coefficients stop just below
// it. At 44.1 and 48 kHz no entry that a mode reads reaches the limit.
constexpr double kMaxPole = 0.9999;
float limitPole(double k) {
    return static_cast<float>(k < kMaxPole ? k : kMaxPole);
}

// Cutoff of the ladder tables at entry i, tuned 0.152999 V below the pitch.
double ladderHz(int i) {
    return 440.0 * std::pow(2.0, i * 0.001 - 0.152999 - 5.0);
}

// One-pole low-pass coefficient of the four-stage ladders for c = cutoff / (rate / 2).
double ladderK(double c) {
    return c * 3.516399 - c * 0.52505 * c - 1.0;
}

void fillOk0(float* t, double sr) {
    for (int i = 0; i < kPitchEntries; ++i)
        t[i] = limitPole(ladderK(2.0 * ladderHz(i) / sr));
}

void fillOk0x2(float* t, double sr) {
    for (int i = 0; i < kPitchEntries; ++i)
        t[i] = limitPole(ladderK(2.0 * ladderHz(i) / (2.0 * sr)));
}

void fillOs0(float* t, const float* ok0) {
    for (int i = 0; i < kPitchEntries; ++i) {
        const double g0 = (ok0[i] + 1.0) * 0.5;
        t[i] = static_cast<float>(std::exp((1.449986 - g0) * 1.229991) - 0.930001);
    }
}

void fillOsloo1(float* t, const float* ok0) {
    for (int i = 0; i < kPitchEntries; ++i) {
        const double g0 = (ok0[i] + 1.0) * 0.5;
        t[i] = static_cast<float>(std::exp(3.15 - g0 * 1.75));
    }
}

void fillOhp(float* t, double sr) {
    for (int i = 0; i < kPitchEntries; ++i) {
        const double c = (sr * 0.5 - ladderHz(i)) * 2.0 / sr;
        t[i] = limitPole(c * 3.6 - c * 1.5999 * c - 1.0);
    }
}

void fillOslo(float* t, const float* ok0x2) {
    for (int i = 0; i < kPitchEntries; ++i) {
        const double g2 = (ok0x2[i] + 1.0) * 0.5;
        t[i] = static_cast<float>(std::exp((g2 * 0.5 - 0.78) * -2.2) - 1.3);
    }
}

void fillOslo1(float* t, const float* ok0x2) {
    for (int i = 0; i < kPitchEntries; ++i) {
        const double g2 = (ok0x2[i] + 1.0) * 0.5;
        t[i] = static_cast<float>(std::exp(3.15 - g2 * 1.75));
    }
}

// The three-stage ladders read their pitch through a slightly compressed scale:
// W = i x 0.001 - 0.4 volts, X = W + (W - 9.1) x 0.093 (held to 0..10 V).
double ladder18Hz(int i) {
    const double w = i * 0.001 - 0.4;
    double x = w + (w - 9.1) * 0.093;
    x = x < 0.0 ? 0.0 : (x > 10.0 ? 10.0 : x);
    return 440.0 * std::pow(2.0, x - 5.0);
}

// Resonance level of the three-stage ladders, falling with pitch, never negative.
double ladder18Level(int i) {
    const double w = i * 0.001 - 0.4;
    const double a = (20.8 - (2.0 * w - 7.8)) * 0.102;
    return a < 0.0 ? 0.0 : a;
}

double ladder18K(double c) {
    return c * 3.2 - c * 0.71 * c - 0.9987;
}

void fillOk18(float* t, double sr) {
    for (int i = 0; i < kLadder18Entries; ++i)
        t[i] = limitPole(ladder18K(2.0 * ladder18Hz(i) / sr));
}

void fillOk18x2(float* t, double sr) {
    for (int i = 0; i < kLadder18Entries; ++i)
        t[i] = limitPole(ladder18K(2.0 * ladder18Hz(i) / (2.0 * sr)));
}

void fillOr18(float* t, const float* k) {
    for (int i = 0; i < kLadder18Entries; ++i)
        t[i] = static_cast<float>(ladder18Level(i) * std::exp(3.15 - (k[i] + 1.0) * 0.5 * 1.75));
}

void fillTanh(float* t) {
    for (int i = 0; i < kTanhEntries; ++i)
        t[i] = static_cast<float>(std::tanh(i * 0.0001 - 1.0));
}

void fillSvVolt(float* t, double sr) {
    constexpr double pi = 3.1415927;
    for (int i = 0; i < kSvEntries; ++i)
        t[i] = static_cast<float>(2.0 * std::sin(pi * 440.0 * std::pow(2.0, i * 0.001 - 5.0) / sr));
}

void fillSvRes(float* t) {
    for (int i = 0; i < kSvEntries; ++i) {
        const double x = i * 0.0512;
        t[i] = static_cast<float>((x * (x * 0.000025 + 0.009) + 7.8) * 0.1);
    }
}

// Asks the host for a table with room for `entries` + 1 floats (the top read stays inside).
float* requestTable(gmpi::AudioHost* host, const char16_t* name, float sampleRate, int entries,
                    bool& isNew) {
    void* p = nullptr;
    int32 needInit = 0;
    const int32 bytes = static_cast<int32>(sizeof(float)) * (entries + 1);
    if (host->allocateSharedMemory(name, &p, sampleRate, bytes, needInit) != gmpi::ResultOk)
        p = nullptr;
    isNew = p && needInit != 0;
    return static_cast<float*>(p);
}

// The spare entry after the last filled one is read only with weight 0 at the very top of a
// range; it gets the last value so that a host handing back unzeroed memory cannot turn such
// a read into NaN.
void closeTables(std::initializer_list<float*> tables, int entries) {
    for (float* t : tables)
        t[entries] = t[entries - 1];
}

// ---------------------------------------------------------------------------------------------
// Sample-level helpers.

// Clamp that maps NaN to the lower bound, so a NaN never reaches a table index.
inline float clampf(float v, float lo, float hi) {
    v = v > lo ? v : lo;
    return v < hi ? v : hi;
}

// Interpolated read at index-space position x (already inside the table).
inline float lerpAt(const float* t, float x) {
    const int n = static_cast<int>(x);
    return t[n] + (t[n + 1] - t[n]) * (x - static_cast<float>(n));
}

// Interpolated read at pin value v.
inline float lookup(const float* t, float v) {
    return lerpAt(t, v * 10000.0f);
}

// Plain truncating read of the state-variable limit table at value u; the index is held
// inside the table whatever the resonance.
inline float svResAt(const float* t, float u) {
    return t[static_cast<int>(clampf(u * 10000.0f, 0.0f, float(kSvEntries - 1)))];
}

// A cache value that differs from v, so the next sample recomputes the coefficients. v + 0.001
// as long as that changes v; at magnitudes where it does not (and for infinities), NaN, which
// differs from everything.
inline float forcingCache(float v) {
    const float c = v + 0.001f;
    return c != v ? c : std::numeric_limits<float>::quiet_NaN();
}

// Bilinear one-pole low-pass stages in series: y = (x + x_prev) g - k y_prev per stage.
template <int Stages>
inline float lowPass(float* prev, float* y, float in, float k, float g) {
    float s = in;
    for (int i = 0; i < Stages; ++i) {
        const float out = (s + prev[i]) * g - k * y[i];
        prev[i] = s;
        y[i] = out;
        s = out;
    }
    return s;
}

// One-pole high-pass stages in series: y = (x - x_prev) gh + kh y_prev per stage.
template <int Stages>
inline float highPass(float* prev, float* y, float in, float kh, float gh) {
    float s = in;
    for (int i = 0; i < Stages; ++i) {
        const float out = (s - prev[i]) * gh + kh * y[i];
        prev[i] = s;
        y[i] = out;
        s = out;
    }
    return s;
}

// Chamberlin section; `LimitLow` holds the low-pass state to +-50 right after its update.
template <bool LimitLow = false>
inline void svTick(SvSection& s, float in, float f, float q) {
    s.low = s.low + f * s.band;
    if constexpr (LimitLow) s.low = clampf(s.low, -50.0f, 50.0f);
    s.high = in - s.low - q * s.band;
    s.band = s.band + f * s.high;
}

// tanh saturation over +-4, read from the table.
inline float tanhShape(const float* tanhT, float x) {
    x = clampf(x, -4.0f, 4.0f);
    return 4.0f * lerpAt(tanhT, (x * 0.25f + 1.0f) * 10000.0f);
}

// x - x^3 / 6 c
inline float cubicSoften(float x, float c) {
    return x - x * x * x * 0.16666667f * c;
}

// Level-dependent damping of the state-variable modes: grows as the last output passes 1.
inline float levelDamping(float lastOut) {
    return clampf((std::fabs(lastOut) - 1.0f) * 0.25f, 0.0f, 0.25f);
}

// Interpolated read of a small per-instance table at position x (held to 0..top).
inline float instanceLerp(const float* t, float x, float top) {
    return lerpAt(t, clampf(x, 0.0f, top));
}

// Two-times oversampling around `sub`, the per-sub-sample filter (which runs the decimation
// filters decA before and decB after itself): the input is interpolated linearly from the
// previous one; the first decimated sub-sample is the output, the second only advances the
// filters.
template <class Sub>
inline float oversample(AllFiltersCore& c, float s, Sub&& sub) {
    const float half = (s - c.prevIn) * 0.5f;
    c.sub1 = sub(c.prevIn + 1.0f * half);
    c.sub2 = sub(c.prevIn + 2.0f * half);
    c.prevIn = s;
    return c.sub1;
}

// ---------------------------------------------------------------------------------------------
// Mode kernels. Each has `kComparesResonance` (whether a Resonance change triggers `update`),
// `update(core, pitch, res, blend)` run when a compared control differs from its cache, and
// `tick(core, in, blend)` returning one output sample. `res` in a tick is the cached value.

// Mode 1: four-stage low-pass without resonance.
struct LadderPlain {
    static constexpr bool kComparesResonance = false;
    static void update(AllFiltersCore& c, float pitch, float, float) {
        c.cachedPitch = pitch;
        c.pitch = clampf(pitch, 0.0f, 0.99f);
        c.k = lookup(c.tables().ok0, c.pitch);
        c.g = (c.k + 1.0f) * 0.5f;
    }
    static float tick(AllFiltersCore& c, float in, float) {
        return lowPass<4>(c.lpPrev, c.lp, in, c.k, c.g);
    }
};

// Modes 2 and 3: a clean ladder, plus a soft-clipped resonant ladder while res > 0.
template <int Mode>
struct LadderCleanResonant {
    static constexpr bool kComparesResonance = true;
    static constexpr float kLimit = Mode == 2 ? 15.0f : 1.5f;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.pitch = clampf(pitch, 0.0f, 0.99f);
        c.k = lookup(c.tables().ok0, c.pitch);
        c.g = (c.k + 1.0f) * 0.5f;
        c.r = lookup(c.tables().os0, c.pitch);
        if constexpr (Mode == 2)
            c.fb = res * c.r * 0.9f;
        else
            c.fb = res * 0.74f * c.r;
        c.softC = res * 0.015f;
        c.denom = 2.0f * res + 1.0f;
    }
    static float tick(AllFiltersCore& c, float in, float) {
        const float res = c.cachedRes;
        const float cleanIn = Mode == 2 ? in : clampf(in, -1.5f, 1.5f);
        const float c4 = lowPass<4>(c.cleanPrev, c.clean, cleanIn, c.k, c.g);
        if (res > 0.0f) {
            float x = clampf(in - c.fb * c.lp[3], -kLimit, kLimit);
            if (std::fabs(x) > 0.5f) x = cubicSoften(x, c.softC);
            lowPass<4>(c.lpPrev, c.lp, x, c.k, c.g);
        }
        if constexpr (Mode == 2)
            return res > 0.0f ? (c.lp[3] - c4) * 0.15f + c4 : c4;
        else
            return (res * c.lp[3] * 3.2f + c4) / c.denom;
    }
};

// Mode 4: resonant four-stage ladder, input scaled down as resonance rises.
struct LadderResonant4 {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.pitch = clampf(pitch, 0.0f, 0.99f);
        c.k = lookup(c.tables().ok0, c.pitch);
        c.g = (c.k + 1.0f) * 0.5f;
        c.r = lookup(c.tables().osloo1, c.pitch);
        c.fb = res * 0.171f * c.r;
        c.resPlusOne = res + 1.0f;
    }
    static float tick(AllFiltersCore& c, float in, float) {
        const float x = clampf(in / c.resPlusOne - c.fb * c.lp[3], -2.0f, 2.0f);
        return lowPass<4>(c.lpPrev, c.lp, x, c.k, c.g);
    }
};

// Modes 5 and 6: oversampled four-stage ladders, tanh-limited (5) or with a cubic on the
// last stage (6).
template <int Mode>
struct OversampledLadder4 {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.pitch = clampf(pitch - (Mode == 5 ? 0.0009f : 0.00395f), 0.0f, 1.039f);
        c.k = lookup(c.tables().ok0x2, c.pitch);
        c.g = (c.k + 1.0f) * 0.5f;
        c.r = lookup(c.tables().oslo, c.pitch);
        if constexpr (Mode == 5) {
            c.resScaled = res * 0.935f;
            c.fb = c.resScaled * c.r;
        } else {
            c.fb = res * c.r;
        }
    }
    static float tick(AllFiltersCore& c, float in, float) {
        return oversample(c, in, [&c](float u) {
            float x = c.decA.process(u) - c.fb * c.lp[3];
            if constexpr (Mode == 5) x = tanhShape(c.tables().tanhT, x);
            float y4 = lowPass<4>(c.lpPrev, c.lp, x, c.k, c.g);
            if constexpr (Mode == 6) {
                y4 = y4 - y4 * y4 * y4 * c.cachedRes * 0.16666667f;
                c.lp[3] = y4;
            }
            return c.decB.process(y4);
        });
    }
};

// Modes 7 and 8: oversampled three-stage ladders with a pre-gain; tanh-limited (7) or with a
// level-blended tanh (8).
template <int Mode>
struct OversampledLadder3 {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.pitch = clampf(pitch, 0.0f, 1.039f);
        c.k = lookup(c.tables().ok18x2, c.pitch);
        c.g = (c.k + 1.0f) * 0.5f;
        c.r = lookup(c.tables().or18x2, c.pitch);
        if constexpr (Mode == 7) {
            c.fb = res * 0.171f * c.r;
            c.inputGain = res * 6.65f + 1.0f;
        } else {
            c.resScaled = res * 0.2f;
            c.fb = c.resScaled * c.r;
            c.inputGain = c.resScaled * 6.65f + 1.0f;
        }
        c.resPlusOne = res + 1.0f;
    }
    static float tick(AllFiltersCore& c, float in, float) {
        const float s = Mode == 7 ? c.inputGain * in : c.inputGain * (in * 3.0f);
        const float out = oversample(c, s, [&c](float u) {
            float x = c.decA.process(u) / c.resPlusOne - c.fb * c.lp[2];
            if constexpr (Mode == 7) {
                x = tanhShape(c.tables().tanhT, x);
            } else {
                const float h = clampf(x, -1.0f, 1.0f);
                const float th = lerpAt(c.tables().tanhT, (h + 1.0f) * 10000.0f);
                x = std::fabs(h) * (th - x) + x;
            }
            return c.decB.process(lowPass<3>(c.lpPrev, c.lp, x, c.k, c.g));
        });
        return Mode == 7 ? out : 0.5f * out;
    }
};

// Modes 9-17: resonant three-stage ladder (feedback always from y3), output tapped after
// stage `Tap`, optionally through `HighPassStages` high-pass stages, optionally scaled by
// (1 - res x 0.5).
template <int Tap, int HighPassStages, bool Scaled>
struct Ladder3 {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.pitch = clampf(pitch, 0.0f, 1.039f);
        c.k = lookup(c.tables().ok18, c.pitch);
        c.g = (c.k + 1.0f) * 0.5f;
        c.r = lookup(c.tables().or18, c.pitch);
        c.fb = res * 0.171f * c.r;
        c.inputGain = res * 6.65f + 1.0f;
        c.resPlusOne = res + 1.0f;
        c.outScale = 1.0f - res * 0.5f;
        if constexpr (HighPassStages > 0) {
            c.kh = lookup(c.tables().ohp, c.pitch);
            c.gh = (c.kh + 1.0f) * 0.5f;
        }
    }
    static float tick(AllFiltersCore& c, float in, float) {
        const float x = clampf(c.inputGain * in / c.resPlusOne - c.fb * c.lp[2], -2.0f, 2.0f);
        lowPass<3>(c.lpPrev, c.lp, x, c.k, c.g);
        float out = c.lp[Tap - 1];
        if constexpr (HighPassStages > 0)
            out = highPass<HighPassStages>(c.hpPrev, c.hp, out, c.kh, c.gh);
        if constexpr (Scaled) out = c.outScale * out;
        return out;
    }
};

// Mode 18: four high-pass stages, no resonance (but a Resonance change still recomputes).
struct HighPass4 {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.pitch = clampf(pitch, 0.0f, 1.039f);
        c.kh = lookup(c.tables().ohp, c.pitch);
        c.gh = (c.kh + 1.0f) * 0.5f;
    }
    static float tick(AllFiltersCore& c, float in, float) {
        return highPass<4>(c.hpPrev, c.hp, clampf(in, -2.0f, 2.0f), c.kh, c.gh);
    }
};

enum class Tap { Low, High, Band };

template <Tap T>
inline float tapOf(const SvSection& s) {
    if constexpr (T == Tap::Low)
        return s.low;
    else if constexpr (T == Tap::High)
        return s.high;
    else
        return s.band;
}

// Modes 19-21: two sections in series, the second fed by one output of the first; `Blend`
// fades from the single to the double section.
template <Tap Feed>
struct SvPair {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.t = levelDamping(c.lastOut);
        c.pitch = clampf(pitch, 0.0f, 1.0f);
        const float f = lookup(c.tables().svVolt, c.pitch);
        const float u = res * 0.98f * (1.0f - c.t);
        const float v = u - u * u;
        c.q1 = 1.0f - u;
        c.q2 = 1.0f - v;
        c.f1 = std::fmin(f, svResAt(c.tables().svRes, u));
        c.f2 = std::fmin(f, svResAt(c.tables().svRes, v));
    }
    static float tick(AllFiltersCore& c, float in, float blend) {
        svTick(c.sv1, in, c.f1, c.q1);
        svTick(c.sv2, tapOf<Feed>(c.sv1), c.f2, c.q2);
        const float a = tapOf<Feed>(c.sv1);
        const float out = a + (tapOf<Feed>(c.sv2) - a) * blend;
        c.lastOut = out;
        return out;
    }
};

// Notch (high + low) of section 1 fed into section 2, blended by `Blend`.
inline float svNotchPair(AllFiltersCore& c, float in, float blend) {
    svTick(c.sv1, in, c.f1, c.q1);
    const float notch1 = c.sv1.high + c.sv1.low;
    svTick(c.sv2, notch1, c.f2, c.q2);
    return notch1 + ((c.sv2.high + c.sv2.low) - notch1) * blend;
}

// Mode 22: double notch with damping tied to resonance.
struct SvNotch {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.t = levelDamping(c.lastOut);
        c.pitch = clampf(pitch, 0.0f, 1.0f);
        const float f = lookup(c.tables().svVolt, c.pitch);
        const float u = (res * 0.13f + 0.82f) * (1.0f - c.t);
        c.q1 = c.q2 = 1.0f - u;
        c.f1 = c.f2 = std::fmin(f, svResAt(c.tables().svRes, u));
    }
    static float tick(AllFiltersCore& c, float in, float blend) {
        const float out = svNotchPair(c, in, blend);
        c.lastOut = out;
        return out;
    }
};

// Modes 23-25: one section, low, high or band output.
template <Tap Out>
struct SvSingle {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.pitch = clampf(pitch, 0.0f, 0.9f);
        const float f = lookup(c.tables().svVolt, c.pitch);
        const float u = res * 0.88f;
        c.q1 = 1.0f - u;
        c.f1 = std::fmin(f, svResAt(c.tables().svRes, u));
    }
    static float tick(AllFiltersCore& c, float in, float) {
        svTick(c.sv1, in, c.f1, c.q1);
        return tapOf<Out>(c.sv1);
    }
};

// Modes 26-28: like 19-21 with a quieter input, an undamped second section, a limit on the
// first section's low-pass state and resonance-dependent output gains.
template <Tap Feed>
struct SvPairLoud {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        if (res != c.cachedRes) {
            c.gainA = instanceLerp(c.constants->gainTableA, res * 20.0f, 20.0f);
            c.gainB = instanceLerp(c.constants->gainTableB, res * 20.0f, 20.0f);
        }
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.t = levelDamping(c.lastOut);
        c.pitch = clampf(pitch, 0.0f, 1.0f);
        const float f = lookup(c.tables().svVolt, c.pitch);
        const float u = res * 0.996f * (1.0f - c.t);
        c.q1 = 1.0f - u;
        c.f1 = std::fmin(f, svResAt(c.tables().svRes, u));
        c.f2 = std::fmin(f, c.tables().svRes[0]);
        c.q2 = 1.0f;
    }
    static float tick(AllFiltersCore& c, float in, float blend) {
        svTick<true>(c.sv1, in * 0.25f, c.f1, c.q1);
        svTick(c.sv2, tapOf<Feed>(c.sv1), c.f2, c.q2);
        const float a = tapOf<Feed>(c.sv1);
        const float pre = (a + (tapOf<Feed>(c.sv2) - a) * (blend * 0.98f)) * c.gainA;
        c.lastOut = pre;
        return pre * 4.0f * c.gainB;
    }
};

// Mode 29: undamped double notch, pitch only.
struct SvNotchOpen {
    static constexpr bool kComparesResonance = false;
    static void update(AllFiltersCore& c, float pitch, float, float) {
        c.cachedPitch = pitch;
        c.pitch = clampf(pitch, 0.0f, 0.93f);
        c.f1 = c.f2 = lookup(c.tables().svVolt, c.pitch);
        c.q1 = c.q2 = 1.0f;
    }
    static float tick(AllFiltersCore& c, float in, float blend) {
        return svNotchPair(c, in, blend);
    }
};

// Modes 30 (five stages, feedback from between stages 4 and 5) and 31 (four stages, output
// from stage 3): oversampled ladders whose saturation `Blend` moves between tanh and a
// one-sided fold, with a pitch correction that `Blend` also shifts.
template <bool FiveStages>
struct OversampledBlend {
    static constexpr bool kComparesResonance = true;
    static constexpr float kDrive = FiveStages ? 1.687f : 3.38f;
    static constexpr float kInvDrive = FiveStages ? 0.5927682f : 0.29585797f;
    // Highest effective pitch whose interpolated read stays in the filled entries.
    static constexpr float kTopPitch = 1.0549f;

    static void update(AllFiltersCore& c, float pitch, float res, float blend) {
        if (res != c.cachedRes) c.gainG = instanceLerp(c.constants->gainTableG, res * 10.0f, 10.0f);
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.pitch = clampf(pitch, 0.0f, 1.054f);
        const float x = c.pitch * 10.0f;
        const int n = static_cast<int>(x);
        const float phi = x - static_cast<float>(n);
        const float o1 = c.constants->pitchOffset1[n] +
                         (c.constants->pitchOffset1[n + 1] - c.constants->pitchOffset1[n]) * phi;
        const float o2 = c.constants->pitchOffset2[n] +
                         (c.constants->pitchOffset2[n + 1] - c.constants->pitchOffset2[n]) * phi;
        // Blend is unbounded, so the effective pitch is also held below the tables' top.
        c.effectivePitch = clampf(c.pitch + o1 + (o2 - o1) * blend, 0.0f, kTopPitch);
        c.k = lookup(c.tables().ok0x2, c.effectivePitch);
        c.g = (c.k + 1.0f) * 0.5f;
        c.r = lookup(c.tables().oslo1, c.effectivePitch);
        const float rs = c.constants->resScale[n] +
                         (c.constants->resScale[n + 1] - c.constants->resScale[n]) * phi;
        c.fb = c.r * res * rs;
        if constexpr (FiveStages) c.fb = c.fb * c.constants->feedbackTrim;
    }
    static float tick(AllFiltersCore& c, float in, float blend) {
        const float diff = blend - c.effectivePitch;
        const float a = diff > 0.0f ? diff : 0.0f;
        const float out = oversample(c, in, [&c, a](float u) {
            float x;
            if constexpr (FiveStages)
                x = c.decA.process(u) - (c.lp[3] + (c.lp[4] - c.lp[3]) * 1.079f) * c.fb;
            else
                x = c.decA.process(u) - c.lp[3] * c.fb;
            x = clampf(x, -kDrive, kDrive);
            const float w = x * kInvDrive;
            const float th = lerpAt(c.tables().tanhT, (w + 1.0f) * 10000.0f);
            const float z = th + a * std::fmin(w, 0.0f);
            const float stageIn = (w + c.cachedRes * std::fabs(w) * (z - w)) * kDrive;
            lowPass<FiveStages ? 5 : 4>(c.lpPrev, c.lp, stageIn, c.k, c.g);
            return c.decB.process(FiveStages ? c.lp[3] : c.lp[2]);
        });
        return c.gainG * out;
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------

void AllFiltersCore::resetState() {
    t = 0.0f;
    lastOut = 0.0f;
    for (int i = 0; i < 5; ++i)
        lpPrev[i] = lp[i] = 0.0f;
    for (int i = 0; i < 4; ++i) {
        cleanPrev[i] = clean[i] = 0.0f;
        hpPrev[i] = hp[i] = 0.0f;
    }
    sv1 = SvSection{};
    sv2 = SvSection{};
    prevIn = 0.0f;
    decA.clear();
    decB.clear();
    sub1 = sub2 = 0.0f;
}

AllFiltersCS::AllFiltersCS(gmpi::IMpUnknown* host) : MpBase(host) {
    core_.constants = &constants_;
    initializePin(0, inputIn);
    initializePin(1, pitchIn);
    initializePin(2, resonanceIn);
    initializePin(3, outputOut);
    initializePin(4, modeIn);
    initializePin(5, auxIn);
    initializePin(6, blendIn);
    initializePin(7, clearIn);
}

bool AllFiltersCS::attachTables(float sampleRate) {
    gmpi::AudioHost* h = getHost();
    if (!h) return false;
    AllFiltersTables& t = constants_.tables;
    const double sr = sampleRate;
    bool isNew = false, ignored = false;

    float* ok0 = requestTable(h, u"QORV_CS_ok0-pitch", sampleRate, kPitchEntries, isNew);
    float* os0 = requestTable(h, u"QORV_CS_os0-pitch", sampleRate, kPitchEntries, ignored);
    float* osloo1 = requestTable(h, u"QORV_CS_osloo1-pitch", sampleRate, kPitchEntries, ignored);
    float* ohp = requestTable(h, u"QORV_CS_ohp-pitch", sampleRate, kPitchEntries, ignored);
    float* ok0x2 = requestTable(h, u"QORV_CS_ok0_2-pitch", sampleRate, kPitchEntries, ignored);
    float* oslo = requestTable(h, u"QORV_CS_oslo-pitch", sampleRate, kPitchEntries, ignored);
    float* oslo1 = requestTable(h, u"QORV_CS_oslo1-pitch", sampleRate, kPitchEntries, ignored);
    if (!(ok0 && os0 && osloo1 && ohp && ok0x2 && oslo && oslo1)) return false;
    if (isNew) {
        fillOk0(ok0, sr);
        fillOs0(os0, ok0);
        fillOsloo1(osloo1, ok0);
        fillOhp(ohp, sr);
        fillOk0x2(ok0x2, sr);
        fillOslo(oslo, ok0x2);
        fillOslo1(oslo1, ok0x2);
        closeTables({ok0, os0, osloo1, ohp, ok0x2, oslo, oslo1}, kPitchEntries);
    }

    float* ok18 = requestTable(h, u"QORV_CS_ok0_18_b", sampleRate, kLadder18Entries, isNew);
    float* or18 = requestTable(h, u"QORV_CS_or0_18_b", sampleRate, kLadder18Entries, ignored);
    float* ok18x2 = requestTable(h, u"QORV_CS_ok0_18_bo", sampleRate, kLadder18Entries, ignored);
    float* or18x2 = requestTable(h, u"QORV_CS_or0_18_bo", sampleRate, kLadder18Entries, ignored);
    if (!(ok18 && or18 && ok18x2 && or18x2)) return false;
    if (isNew) {
        fillOk18(ok18, sr);
        fillOr18(or18, ok18);
        fillOk18x2(ok18x2, sr);
        fillOr18(or18x2, ok18x2);
        closeTables({ok18, or18, ok18x2, or18x2}, kLadder18Entries);
    }

    float* tanhT = requestTable(h, u"QORV_CS_o_Tanh", sampleRate, kTanhEntries, isNew);
    if (!tanhT) return false;
    if (isNew) {
        fillTanh(tanhT);
        closeTables({tanhT}, kTanhEntries);
    }

    float* svVolt = requestTable(h, u"QORV_CS_SV-volt", sampleRate, kSvEntries, isNew);
    float* svRes = requestTable(h, u"QORV_CS_SV-res", sampleRate, kSvEntries, ignored);
    if (!(svVolt && svRes)) return false;
    if (isNew) {
        fillSvVolt(svVolt, sr);
        fillSvRes(svRes);
        closeTables({svVolt, svRes}, kSvEntries);
    }

    t = {ok0,  os0,  osloo1, ohp,    ok0x2, oslo,   oslo1,
         ok18, or18, ok18x2, or18x2, tanhT, svVolt, svRes};
    return true;
}

void AllFiltersCS::setInstanceTables(float sampleRate) {
    static constexpr float o1[12] = {-0.001f,    -0.001f,    -0.000907f, -0.000907f,
                                     -0.000873f, -0.000793f, -0.000633f, -0.000323f,
                                     0.00015f,   0.000644f,  -0.000317f, -0.000317f};
    static constexpr float o2[12] = {0.000868f, 0.000868f,  0.000868f,  0.000465f,
                                     0.000049f, -0.000221f, -0.000334f, -0.000207f,
                                     0.000185f, 0.000645f,  -0.000317f, -0.000317f};
    static constexpr float g[12] = {1, 1, 1, 1, 1, 0.75f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    const bool highRate = sampleRate > 44100.0f;
    const float z = highRate ? 0.179f : 0.18146f;
    const float r1[12] = {0.174f, 0.174f, 0.174f, 0.174f, 0.174f, 0.173f,
                          0.172f, 0.171f, 0.17f,  0.17f,  z,      z};
    for (int i = 0; i < 12; ++i) {
        constants_.pitchOffset1[i] = o1[i];
        constants_.pitchOffset2[i] = o2[i];
        constants_.resScale[i] = r1[i];
        constants_.gainTableG[i] = g[i];
    }
    // A: seventeen 1s, then 0.75, 0.5, 0.25, 0.125, 0.125. B: nineteen 1s, then 1.5, 2, 2.
    static constexpr float aTail[5] = {0.75f, 0.5f, 0.25f, 0.125f, 0.125f};
    static constexpr float bTail[3] = {1.5f, 2.0f, 2.0f};
    for (int i = 0; i < 22; ++i) {
        constants_.gainTableA[i] = i < 17 ? 1.0f : aTail[i - 17];
        constants_.gainTableB[i] = i < 19 ? 1.0f : bTail[i - 19];
    }
    constants_.feedbackTrim = highRate ? 0.918f : 0.93f;
}

gmpi::int32 AllFiltersCS::open() {
    float sampleRate = 44100.0f;
    if (getHost()) getHost()->getSampleRate(sampleRate);
    // Every table divides by the rate; a host reporting none gets the usual default.
    const float tableRate = std::isfinite(sampleRate) && sampleRate > 0.0f ? sampleRate : 44100.0f;
    tablesReady_ = attachTables(tableRate);
    setInstanceTables(tableRate);
    core_.cachedPitch = -100.0f;
    core_.cachedRes = -100.0f;
    core_.resetState();
    return MpBase::open();
}

void AllFiltersCS::clearState() {
    core_.cachedPitch = forcingCache(pitchIn.getValue());
    core_.cachedRes = forcingCache(resonanceIn.getValue());
    core_.resetState();
}

// Mode routines in mode order.
namespace {
using Routine = void (AllFiltersCS::*)(gmpi::int32, gmpi::int32);
constexpr Routine kModeRoutines[32] = {
    &AllFiltersCS::subProcessCopy,
    &AllFiltersCS::subProcessMode<LadderPlain>,
    &AllFiltersCS::subProcessMode<LadderCleanResonant<2>>,
    &AllFiltersCS::subProcessMode<LadderCleanResonant<3>>,
    &AllFiltersCS::subProcessMode<LadderResonant4>,
    &AllFiltersCS::subProcessMode<OversampledLadder4<5>>,
    &AllFiltersCS::subProcessMode<OversampledLadder4<6>>,
    &AllFiltersCS::subProcessMode<OversampledLadder3<7>>,
    &AllFiltersCS::subProcessMode<OversampledLadder3<8>>,
    &AllFiltersCS::subProcessMode<Ladder3<3, 0, false>>,
    &AllFiltersCS::subProcessMode<Ladder3<3, 4, false>>,
    &AllFiltersCS::subProcessMode<Ladder3<3, 3, false>>,
    &AllFiltersCS::subProcessMode<Ladder3<2, 0, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<2, 4, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<2, 3, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<1, 0, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<1, 4, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<1, 3, true>>,
    &AllFiltersCS::subProcessMode<HighPass4>,
    &AllFiltersCS::subProcessMode<SvPair<Tap::Low>>,
    &AllFiltersCS::subProcessMode<SvPair<Tap::High>>,
    &AllFiltersCS::subProcessMode<SvPair<Tap::Band>>,
    &AllFiltersCS::subProcessMode<SvNotch>,
    &AllFiltersCS::subProcessMode<SvSingle<Tap::Low>>,
    &AllFiltersCS::subProcessMode<SvSingle<Tap::High>>,
    &AllFiltersCS::subProcessMode<SvSingle<Tap::Band>>,
    &AllFiltersCS::subProcessMode<SvPairLoud<Tap::Low>>,
    &AllFiltersCS::subProcessMode<SvPairLoud<Tap::High>>,
    &AllFiltersCS::subProcessMode<SvPairLoud<Tap::Band>>,
    &AllFiltersCS::subProcessMode<SvNotchOpen>,
    &AllFiltersCS::subProcessMode<OversampledBlend<true>>,
    &AllFiltersCS::subProcessMode<OversampledBlend<false>>,
};
} // namespace

void AllFiltersCS::pinsChanged() {
    if (clearIn.isUpdated() && clearIn.getValue() > 0.0f) clearState();

    if (inputIn.isStreaming() || inputIn.getValue() != 0.0f) {
        if (modeIn.isUpdated()) clearState();
        outputOut.setStreaming(true);
        // A mode outside 0..31 keeps the last valid mode's routine (also after a silent
        // stretch, when the installed routine is the silence routine).
        const gmpi::int32 mode = modeIn.getValue();
        if (mode >= 0 && mode < 32) modeRoutine_ = kModeRoutines[mode];
        // Without its tables no filter mode can run; the module stays silent.
        setBlockRoutine(tablesReady_ || modeRoutine_ == &AllFiltersCS::subProcessCopy
                            ? modeRoutine_
                            : &AllFiltersCS::subProcessSilence);
        allowSleep(false);
    } else {
        clearState();
        outputOut.setStreaming(false);
        setBlockRoutine(&AllFiltersCS::subProcessSilence);
        allowSleep(true);
    }
}

void AllFiltersCS::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = outputOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        out[i] = 0.0f;
}

void AllFiltersCS::subProcessCopy(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* in = inputIn.getBuffer() + bufferOffset;
    float* out = outputOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        out[i] = in[i];
}

template <class Mode>
void AllFiltersCS::subProcessMode(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* in = inputIn.getBuffer() + bufferOffset;
    const float* pitch = pitchIn.getBuffer() + bufferOffset;
    const float* res = resonanceIn.getBuffer() + bufferOffset;
    const float* blend = blendIn.getBuffer() + bufferOffset;
    float* out = outputOut.getBuffer() + bufferOffset;
    // A local copy lets the compiler keep the filter state in registers: the output buffer
    // cannot alias it.
    AllFiltersCore c = core_;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i) {
        const bool changed = Mode::kComparesResonance
                                 ? pitch[i] != c.cachedPitch || res[i] != c.cachedRes
                                 : pitch[i] != c.cachedPitch;
        if (changed) Mode::update(c, pitch[i], res[i], blend[i]);
        out[i] = Mode::tick(c, in[i], blend[i]);
    }
    core_ = c;
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR-LPF over CS", &gmpi::createAudio<AllFiltersCS>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR-LPF over CS", "ZR Multi-Mode Filter", "ZR/Filters");
} // namespace

} // namespace zr
