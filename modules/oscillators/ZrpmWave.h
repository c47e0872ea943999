// The per-sample steps of the ZRPM wavetable oscillators ("Osc ZRPM", "Osc ZRPM Sync", "ZR Osc
// SINE"): the pitch table, pitch to zone pair and increment, phase advance with wrap, the
// wrapped read positions, the two-zone read of a slot and the reset crossfade, and the same steps
// four samples at a time. Each step works on any state type that carries the fields it names,
// so every oscillator keeps its own state.
#pragma once

#include "dsp/clamp.h"
#include "dsp/lanes4.h"
#include "dsp/lanes8.h"
#include "dsp/shared_table.h"
#include "dsp/table_read.h"
#include "dsp/units.h"
#include "framework/mp_pins.h"
#include "modules/oscillators/Wavetables.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace zr::zrpm {

// The Wave pin of "Osc ZRPM" and "Osc ZRPM Sync": which slots a wave routine reads (the
// Morph crossfades the tri slot into the saw slot with Shape; the Pulse is the difference of
// two reads of the saw slot, Shape setting the width). A value outside 0 to 4 keeps the
// routine the oscillator plays.
inline constexpr gmpi::MpPinDoc kWaveDoc{"Sine=0,Morph=1,Saw=2,Tri=3,Pulse=4"};
// Reset Mode: 0 (or below) ignores Sync, 1 restarts the phase at once, N >= 2 crossfades
// into the restarted phase over N tenths of a millisecond; every value has a meaning.
inline constexpr gmpi::MpPinDoc kResetModeDoc{};

// Highest pitch played, in volts (about 17.7 kHz).
inline constexpr float kTopVolts = 10.333333f;

// Pitch table: entry k is the increment for (k - 10000) / 1000 volts, -10 V to 10.34 V.
inline constexpr int kPitchTableSize = 20341;

// The zone layout as the oscillators compute it: 60 zones of one 2048-sample cycle, one zone
// per 1/6 volt, zone 59 the top one.
struct Geometry {
    std::int32_t length = wavetables::kZoneLength;
    float lengthF = 2048.0f;
    float zoneWidth = 1.0f / 6.0f; // W, volts per zone
    float zonesPerVolt = 6.0f;     // r = 1 / W
    float topZoneVolts = 10.0f - 1.0f / 6.0f;
    float topZoneBase = 125192.0f;
};

inline Geometry geometry() {
    Geometry g;
    g.length = wavetables::kZoneLength;
    g.lengthF = static_cast<float>(wavetables::kZoneLength);
    const float zoneCount = static_cast<float>(wavetables::kZoneCount);
    g.zoneWidth = 1.0f / (12.0f / (120.0f / zoneCount)); // two semitones: 1/6 volt
    g.zonesPerVolt = 1.0f / g.zoneWidth;
    g.topZoneVolts = 10.0f - g.zoneWidth;
    g.topZoneBase =
        static_cast<float>(static_cast<std::int32_t>(g.topZoneVolts * g.zonesPerVolt)) * g.lengthF +
        static_cast<float>(wavetables::kZoneStart);
    return g;
}

// 5 V is 440 Hz and each volt an octave; the power is taken once here, never per sample.
// `ratio` is table samples per second per hertz (2048 / the rate the table runs at). A pitch
// that asks for more than one cycle per sample plays as one whole cycle per sample, so that
// one subtraction of a cycle always brings the phase back into (0, 2048].
inline void fillPitchTable(float* table, float ratio, float lengthF) {
    for (int i = -10000; i <= 10340; ++i) {
        const float x = static_cast<float>(i) * 0.001f - 5.0f;
        const float increment =
            static_cast<float>(std::pow(2.0, static_cast<double>(x))) * 440.0f * ratio;
        table[i + 10000] = increment < lengthF ? increment : lengthF;
    }
}

// The pitch table of one rate. Every oscillator instance at that rate reads the same table,
// kept by the host as shared memory, so a voice costs its state and not 80 kB of table; a host
// that shares no memory gets a table of the instance's own.
class PitchTable {
  public:
    // In open(): the table for `rate` samples per second and zones of `lengthF` samples.
    void attach(gmpi::AudioHost* host, float rate, float lengthF) {
        const float ratio = lengthF / rate;
        auto fill = [&](float* e) { fillPitchTable(e, ratio, lengthF); };
        const dsp::SharedTable shared =
            dsp::SharedTable::request(host, u"ZRPM_pitch_table", rate, kPitchTableSize);
        if (shared) {
            shared.fillIfNew(fill);
            own_ = {};
            data_ = shared.data;
            return;
        }
        try {
            own_.resize(kPitchTableSize + 1);
        } catch (const std::bad_alloc&) {
            data_ = kSilent; // no table: every increment 0, the oscillator stands still
            return;
        }
        fill(own_.data());
        own_[kPitchTableSize] = own_[kPitchTableSize - 1];
        data_ = own_.data();
    }
    const float* data() const { return data_; }

  private:
    static constexpr float kSilent[kPitchTableSize + 1] = {};
    const float* data_ = kSilent;
    std::vector<float> own_;
};

// Pitch sample p (already known to be at least -1): the zone pair that encloses it, their
// crossfade and the phase increment. `c` carries lastPitch, volts, zoneFraction, zoneBase,
// zoneStep, zoneMix and increment.
template <class State>
inline void setPitch(State& c, float p, const Geometry& g, const float* pitchTable) {
    c.lastPitch = p;
    c.volts = dsp::pinToVolts(p);
    if (c.volts >= kTopVolts) c.volts = kTopVolts;
    const float scaled = c.volts * g.zonesPerVolt;
    const float zone = static_cast<float>(static_cast<std::int32_t>(scaled));
    c.zoneFraction = scaled - zone;
    if (c.volts >= g.topZoneVolts)
        c.zoneBase = g.topZoneBase;
    else
        c.zoneBase = zone * g.lengthF + static_cast<float>(wavetables::kZoneStart);
    if (c.volts < 0.0f) c.zoneBase = static_cast<float>(wavetables::kZoneStart);
    // Between 0 V and the top zone two zones are crossfaded; elsewhere one zone plays
    // alone, which reading the same zone twice with no crossfade gives exactly.
    const bool twoZones = c.volts >= 0.0f && c.volts < g.topZoneVolts;
    c.zoneStep = twoZones ? g.length : 0;
    c.zoneMix = twoZones ? c.zoneFraction : 0.0f;
    c.increment = dsp::readInterpolated(pitchTable, c.volts * 1000.0f + 10000.0f);
}

// Wraps a read position into (0, 2048]: subtract a cycle at or above it, add one at or
// below 0.
inline float wrapPosition(float p, float length) {
    if (p >= length) p -= length;
    if (p <= 0.0f) p += length;
    return p;
}

// The shape read adds two offsets of up to a cycle each, so one added cycle can leave it at
// or below 0, which would read the previous zone (or, below zone 0, the file's unused area).
// It gets a second chance to wrap.
inline float wrapShapePosition(float p, float length) {
    p = wrapPosition(p, length);
    if (p <= 0.0f) p += length;
    return p;
}

// Advances `phase` by `increment`, wrapping into (0, 2048]; returns the wrapped phase on the
// sample it wrapped, else 0.
inline float advancePhase(float& phase, float increment, float length) {
    float wrap = 0.0f;
    phase += increment;
    if (phase >= length) {
        phase -= length;
        wrap = phase;
    }
    if (phase <= 0.0f) {
        phase += length;
        wrap = phase;
    }
    return wrap;
}

// Linear interpolation inside the zone, then the crossfade to the next zone up. `z` carries
// zoneBase, zoneStep (2048 or 0) and zoneMix.
template <class Zone>
inline float readZone(const float* table, const Zone& z, float position) {
    const float x = z.zoneBase + position;
    const float a = dsp::readInterpolated(table, x);
    const float b = dsp::readInterpolated(table + z.zoneStep, x);
    return a + (b - a) * z.zoneMix;
}

// The morph (wave 1) and the pulse (wave 4) read the saw slot a second time, at the shape
// position.
template <int Wave>
inline constexpr bool kUsesShape = Wave == 1 || Wave == 4;

// Phase Mod and Shape offsets, each recomputed only when its sample changes. `c` carries
// lastPhaseMod, lastShape, phaseModOffset and shapeOffset.
template <int Wave, class State>
inline void updateOffsets(State& c, float pm, float s, float length) {
    if (pm != c.lastPhaseMod) {
        c.lastPhaseMod = pm;
        // 0 shifts by half a cycle, +1 not at all, -1 by a whole cycle.
        c.phaseModOffset = (dsp::clampNanToLow(pm, -1.0f, 1.0f) * 0.5f - 0.5f) * length;
    }
    if constexpr (kUsesShape<Wave>) {
        if (s != c.lastShape) {
            c.lastShape = s;
            const float centred = Wave == 1 ? s + 1.0f : s;
            // Never a whole cycle apart: the two pulse reads must not coincide.
            c.shapeOffset = (dsp::clampNanToLow(centred, -0.99f, 0.99f) * 0.5f - 0.5f) * length;
        }
    }
}

// The two slot reads of one sample: the wave's own slot and the saw slot at the shape
// position (morph and pulse only).
struct Reads {
    float first;
    float second;
};

// One output sample from the two reads: the first slot at its level; the morph crossfading
// into the saw slot by Shape (unclamped: beyond +-1 it extrapolates); the pulse as the
// difference of the two saw reads.
template <int Wave>
inline float waveOutput(const Reads& r, float firstLevel, float sawLevel, float shape) {
    if constexpr (Wave == 1) {
        const float t = firstLevel * r.first;
        const float a = sawLevel * r.second;
        return t + (shape + 1.0f) * 0.5f * (a - t);
    } else if constexpr (Wave == 4) {
        return sawLevel * (r.first - r.second);
    } else {
        return firstLevel * r.first;
    }
}

// The slots a wave reads: the sine slot (wave 0), the tri slot (morph and tri) or the saw
// slot (saw and pulse) first; the second read, at the shape position, is always the saw slot.
struct Slots {
    const float* first;
    const float* saw;
};

// The reads r1 and r2 at `phase`, from the zones of `z`, shifted by the offsets of `c`.
template <int Wave, class Zone, class State>
inline Reads readWave(const Zone& z, const State& c, float phase, Slots slots, float length) {
    Reads r{readZone(slots.first, z, wrapPosition(phase + c.phaseModOffset, length)), 0.0f};
    if constexpr (kUsesShape<Wave>)
        r.second = readZone(slots.saw, z,
                            wrapShapePosition(phase + c.shapeOffset + c.phaseModOffset, length));
    return r;
}

// A requested reset: at once (Reset Mode 0 or 1) or as a crossfade from the old phase over
// Reset Mode tenths of a millisecond, in whole samples per millisecond.
template <class State>
inline void startReset(State& c, std::int32_t mode, std::int32_t samplesPerMs) {
    c.resetRequest = false;
    if (mode <= 1) {
        c.phase = 0.0f;
    } else {
        c.secondaryPhase = 0.0f;
        c.fade = 1.0f;
        const auto samples = static_cast<long long>(samplesPerMs) * mode;
        c.fadeStep = 10.0f / static_cast<float>(samples);
    }
}

// During a crossfade (fade G from 1 down to 0) the old phase fades out while the restarted
// secondary phase fades in; when the fade has run out, the restarted phase takes over.
template <int Wave, class State>
inline void crossfade(State& c, Reads& r, Slots slots, float length) {
    c.secondaryPhase += c.increment;
    if (c.secondaryPhase >= length) c.secondaryPhase -= length;
    if (c.secondaryPhase <= 0.0f) c.secondaryPhase += length;
    const Reads old = readWave<Wave>(c, c, c.secondaryPhase, slots, length);
    r.first = old.first + (r.first - old.first) * c.fade;
    if constexpr (kUsesShape<Wave>) r.second = old.second + (r.second - old.second) * c.fade;
    if (c.fade > 0.0f && c.fade <= 1.0f) {
        c.fade -= c.fadeStep;
    } else {
        c.phase = c.secondaryPhase;
        c.fade = -1.0f;
    }
}

// ---------------------------------------------------------------------------------------------
// Block steps: within a stretch of samples the phase recursion is the only chain from sample
// to sample; the pitch steps and the reads are independent of one another and are taken four
// samples at a time. Each sample's arithmetic is that of the steps above.

// Samples per stretch: the phases of one stretch are kept on the stack.
inline constexpr int kStretch = 64;

// Whether a sample test is false for every sample of a stretch: four samples at a time with
// `lanes` (which returns each lane's answer), the stretch's tail one by one with `one`. These
// tests decide which stretch routine runs; one by one they would cost as much as a read.
template <class Lanes, class One>
inline bool noSampleSays(int count, Lanes lanes, One one) {
    const int whole = count & ~3; // count >= 0
    dsp::Int4 any{};
    for (int n = 0; n < whole; n += 4)
        any |= lanes(n);
    int rest = 0;
    for (int k = 0; k < (count & 3); ++k)
        rest |= one(whole + k);
    return !dsp::anyLane(any) && rest == 0;
}

// Whether a pitch sample p would recompute what derives from the pitch (cached at `last`): it
// is new (NaN always is) and not ignored (below -1 or NaN). On floats or four lanes.
inline constexpr auto pitchChanges = [](auto p, auto last) { return (p != last) & (p >= -1.0f); };

// Whether none of `count` samples would recompute what derives from Pitch, Phase Mod or (for
// the waves that read it) Shape: every pitch equals the cached one or is ignored (below -1 or
// NaN), every Phase Mod and Shape sample equals its cache.
template <int Wave, class State>
inline bool controlsHold(const State& c, const float* pitch, const float* phaseMod,
                         const float* shape, int count) {
    const float lastPitch = c.lastPitch;
    const float lastPhaseMod = c.lastPhaseMod;
    const float lastShape = c.lastShape;
    if (pitch[0] != lastPitch && pitch[0] >= -1.0f) return false; // the common answer when moving
    const dsp::Float4 pitch4 = dsp::splat4(lastPitch), phaseMod4 = dsp::splat4(lastPhaseMod),
                      shape4 = dsp::splat4(lastShape);
    return noSampleSays(
        count,
        [&](int n) {
            dsp::Int4 changes = pitchChanges(dsp::load4(pitch + n), pitch4) |
                                (dsp::load4(phaseMod + n) != phaseMod4);
            if constexpr (kUsesShape<Wave>) changes |= dsp::load4(shape + n) != shape4;
            return changes;
        },
        [&](int n) {
            int changes = pitchChanges(pitch[n], lastPitch) | (phaseMod[n] != lastPhaseMod);
            if constexpr (kUsesShape<Wave>) changes |= shape[n] != lastShape;
            return changes;
        });
}

// Whether none of `count` pitch samples would recompute what derives from the pitch.
template <class State>
inline bool pitchHolds(const State& c, const float* pitch, int count) {
    const float last = c.lastPitch;
    if (pitch[0] != last && pitch[0] >= -1.0f) return false; // the common answer when moving
    const dsp::Float4 last4 = dsp::splat4(last);
    return noSampleSays(
        count, [&](int n) { return pitchChanges(dsp::load4(pitch + n), last4); },
        [&](int n) { return pitchChanges(pitch[n], last); });
}

// The zone pair of a steady pitch, held in locals for the reads of a stretch.
struct ZonePair {
    float zoneBase;
    std::int32_t zoneStep;
    float zoneMix;
};

// Four samples side by side (dsp/lanes4.h). The reads of four samples are independent of one
// another, so they are computed lane by lane with the scalar steps' operations in the same
// order (no fused multiply-add anywhere): each lane's result equals the scalar one bit for bit.
using dsp::Float4;
using dsp::gatherPairs;
using dsp::Int4;
using dsp::load4;
using dsp::splat4;
using dsp::store4;

// wrapPosition on four positions. A lane that does not wrap adds or subtracts +0, which
// leaves it as it is (a -0 lane always wraps).
inline Float4 wrapPosition4(Float4 p, Float4 length) {
    using Bits = Int4;
    p -= reinterpret_cast<Float4>(reinterpret_cast<Bits>(length) & (p >= length));
    return p + reinterpret_cast<Float4>(reinterpret_cast<Bits>(length) & (p <= Float4{}));
}

// wrapShapePosition on four positions.
inline Float4 wrapShapePosition4(Float4 p, Float4 length) {
    p = wrapPosition4(p, length);
    return p + reinterpret_cast<Float4>(reinterpret_cast<Int4>(length) & (p <= Float4{}));
}

// readZone at four positions, each lane with its own zone pair: the integer part truncated
// as static_cast<int> does.
inline Float4 readZone4(const float* table, Float4 zoneBase, Int4 zoneStep, Float4 mix,
                        Float4 position) {
    const Float4 x = zoneBase + position;
    const Int4 n = __builtin_convertvector(x, Int4);
    const Float4 frac = x - __builtin_convertvector(n, Float4);
    Float4 a0, a1, b0, b1;
    gatherPairs(table, n, a0, a1);
    gatherPairs(table, n + zoneStep, b0, b1);
    const Float4 a = a0 + (a1 - a0) * frac;
    const Float4 b = b0 + (b1 - b0) * frac;
    return a + (b - a) * mix;
}

// readZone4 with one zone pair for all four lanes: the next zone up is the same indices
// read through a pointer one zone step further on.
inline Float4 readZone4(const float* table, const ZonePair& z, Float4 position) {
    const Float4 x = splat4(z.zoneBase) + position;
    const Int4 n = __builtin_convertvector(x, Int4);
    const Float4 frac = x - __builtin_convertvector(n, Float4);
    Float4 a0, a1, b0, b1;
    gatherPairs(table, n, a0, a1);
    gatherPairs(table + z.zoneStep, n, b0, b1);
    const Float4 a = a0 + (a1 - a0) * frac;
    const Float4 b = b0 + (b1 - b0) * frac;
    return a + (b - a) * splat4(z.zoneMix);
}

// setPitch on four pitch samples (each at least -1): the zone pairs and increments side by side.
struct Zones4 {
    Float4 volts;
    Float4 zoneFraction;
    Float4 zoneBase;
    Int4 zoneStep;
    Float4 zoneMix;
    Float4 increment;
};

inline Zones4 setPitch4(Float4 p, const Geometry& g, const float* pitchTable) {
    const Float4 zero{};
    Zones4 z;
    Float4 volts = p * splat4(dsp::kVoltsPerPinUnit);
    volts = volts >= splat4(kTopVolts) ? splat4(kTopVolts) : volts;
    const Float4 scaled = volts * splat4(g.zonesPerVolt);
    const Float4 zone = __builtin_convertvector(__builtin_convertvector(scaled, Int4), Float4);
    z.zoneFraction = scaled - zone;
    const Float4 top = splat4(g.topZoneVolts);
    z.zoneBase = volts >= top ? splat4(g.topZoneBase)
                              : zone * splat4(g.lengthF) +
                                    splat4(static_cast<float>(wavetables::kZoneStart));
    z.zoneBase = volts < zero ? splat4(static_cast<float>(wavetables::kZoneStart)) : z.zoneBase;
    const Int4 twoZones = (volts >= zero) & (volts < top);
    z.zoneStep = twoZones & splat4(g.length);
    z.zoneMix = twoZones ? z.zoneFraction : zero;
    const Float4 x = volts * splat4(1000.0f) + splat4(10000.0f);
    const Int4 n = __builtin_convertvector(x, Int4);
    Float4 t0, t1;
    gatherPairs(pitchTable, n, t0, t1);
    z.increment = t0 + (t1 - t0) * (x - __builtin_convertvector(n, Float4));
    z.volts = volts;
    return z;
}

// readZone4 with each lane's zone pair as setPitch4 made it.
inline Float4 readZone4(const float* table, const Zones4& z, Float4 position) {
    return readZone4(table, z.zoneBase, z.zoneStep, z.zoneMix, position);
}

// Whether none of four advanced phases left (0, length): then none of them wrapped, and the
// four plain sums are the phases the wrapping steps would have made.
inline bool noneWrap(Float4 p, float length) {
    return !dsp::anyLane((p >= splat4(length)) | (p <= Float4{}));
}

// Four phase advances at a fixed increment, the phases side by side; each sample's wrap goes
// to `wraps`. Only the additions chain from sample to sample: the reads of one group of four
// overlap the advances of the next. Most groups do not wrap, and take four sums and one test.
inline Float4 advance4(float& phase, float increment, float length, float* wraps) {
    const float s0 = phase + increment;
    const float s1 = s0 + increment;
    const float s2 = s1 + increment;
    const float s3 = s2 + increment;
    const Float4 sums{s0, s1, s2, s3};
    if (__builtin_expect(noneWrap(sums, length), 1)) {
        store4(wraps, Float4{});
        phase = s3;
        return sums;
    }
    float p = phase;
    wraps[0] = advancePhase(p, increment, length);
    const float p0 = p;
    wraps[1] = advancePhase(p, increment, length);
    const float p1 = p;
    wraps[2] = advancePhase(p, increment, length);
    const float p2 = p;
    wraps[3] = advancePhase(p, increment, length);
    phase = p;
    return Float4{p0, p1, p2, p};
}

// advance4 with an increment per sample.
inline Float4 advance4(float& phase, Float4 increment, float length, float* wraps) {
    const float s0 = phase + increment[0];
    const float s1 = s0 + increment[1];
    const float s2 = s1 + increment[2];
    const float s3 = s2 + increment[3];
    const Float4 sums{s0, s1, s2, s3};
    if (__builtin_expect(noneWrap(sums, length), 1)) {
        store4(wraps, Float4{});
        phase = s3;
        return sums;
    }
    float p = phase;
    wraps[0] = advancePhase(p, increment[0], length);
    const float p0 = p;
    wraps[1] = advancePhase(p, increment[1], length);
    const float p1 = p;
    wraps[2] = advancePhase(p, increment[2], length);
    const float p2 = p;
    wraps[3] = advancePhase(p, increment[3], length);
    phase = p;
    return Float4{p0, p1, p2, p};
}

// Whether every Phase Mod and (for the waves that read it) Shape sample equals its cache.
template <int Wave, class State>
inline bool offsetsHold(const State& c, const float* phaseMod, const float* shape, int count) {
    const Float4 phaseMod4 = splat4(c.lastPhaseMod), shape4 = splat4(c.lastShape);
    return noSampleSays(
        count,
        [&](int n) {
            Int4 changes = load4(phaseMod + n) != phaseMod4;
            if constexpr (kUsesShape<Wave>) changes |= load4(shape + n) != shape4;
            return changes;
        },
        [&](int n) {
            int changes = phaseMod[n] != c.lastPhaseMod;
            if constexpr (kUsesShape<Wave>) changes |= shape[n] != c.lastShape;
            return changes;
        });
}

// Whether a stretch's pitch can be computed four samples at a time: its first sample is new
// (so the cached zones need not be consulted) and none is ignored (below -1 or NaN). Every
// later sample then either is new or repeats the one before, which recomputes the same.
template <class State>
inline bool pitchMovesCleanly(const State& c, const float* pitch, int count) {
    if (!(pitch[0] != c.lastPitch)) return false;
    return noSampleSays(
        count, [&](int n) { return ~(load4(pitch + n) >= splat4(-1.0f)); },
        [&](int n) { return !(pitch[n] >= -1.0f); });
}

// ---------------------------------------------------------------------------------------------
// Eight samples side by side (dsp/lanes8.h), for the routines chosen where the processor has
// AVX2: the four-lane steps above on eight lanes, each lane through the same operations in the
// same order, so that either width renders the scalar steps' samples.
#if ZR_HAS_WIDE_LANES
using dsp::Float8;
using dsp::Int8;
using dsp::load8;
using dsp::splat8;
using dsp::store8;

ZR_WIDE inline Float8 wrapPosition8(Float8 p, Float8 length) {
    p -= reinterpret_cast<Float8>(reinterpret_cast<Int8>(length) & (p >= length));
    return p + reinterpret_cast<Float8>(reinterpret_cast<Int8>(length) & (p <= Float8{}));
}

ZR_WIDE inline Float8 wrapShapePosition8(Float8 p, Float8 length) {
    p = wrapPosition8(p, length);
    return p + reinterpret_cast<Float8>(reinterpret_cast<Int8>(length) & (p <= Float8{}));
}

ZR_WIDE inline Float8 readZone8(const float* table, Float8 zoneBase, Int8 zoneStep, Float8 mix,
                                Float8 position) {
    const Float8 x = zoneBase + position;
    const Int8 n = __builtin_convertvector(x, Int8);
    const Float8 frac = x - __builtin_convertvector(n, Float8);
    Float8 a0, a1, b0, b1;
    dsp::gatherPairs(table, n, a0, a1);
    dsp::gatherPairs(table, n + zoneStep, b0, b1);
    const Float8 a = a0 + (a1 - a0) * frac;
    const Float8 b = b0 + (b1 - b0) * frac;
    return a + (b - a) * mix;
}

ZR_WIDE inline Float8 readZone8(const float* table, const ZonePair& z, Float8 position) {
    const Float8 x = splat8(z.zoneBase) + position;
    const Int8 n = __builtin_convertvector(x, Int8);
    const Float8 frac = x - __builtin_convertvector(n, Float8);
    Float8 a0, a1, b0, b1;
    // One set of indices serves both zones: stored once and read back.
    alignas(32) std::int32_t at[8];
    std::memcpy(at, &n, sizeof at);
    dsp::gatherPairsAt(table, at, a0, a1);
    dsp::gatherPairsAt(table + z.zoneStep, at, b0, b1);
    const Float8 a = a0 + (a1 - a0) * frac;
    const Float8 b = b0 + (b1 - b0) * frac;
    return a + (b - a) * splat8(z.zoneMix);
}

struct Zones8 {
    Float8 volts;
    Float8 zoneFraction;
    Float8 zoneBase;
    Int8 zoneStep;
    Float8 zoneMix;
    Float8 increment;
};

ZR_WIDE inline Zones8 setPitch8(Float8 p, const Geometry& g, const float* pitchTable) {
    const Float8 zero{};
    Zones8 z;
    Float8 volts = p * splat8(dsp::kVoltsPerPinUnit);
    volts = volts >= splat8(kTopVolts) ? splat8(kTopVolts) : volts;
    const Float8 scaled = volts * splat8(g.zonesPerVolt);
    const Float8 zone = __builtin_convertvector(__builtin_convertvector(scaled, Int8), Float8);
    z.zoneFraction = scaled - zone;
    const Float8 top = splat8(g.topZoneVolts);
    z.zoneBase = volts >= top ? splat8(g.topZoneBase)
                              : zone * splat8(g.lengthF) +
                                    splat8(static_cast<float>(wavetables::kZoneStart));
    z.zoneBase = volts < zero ? splat8(static_cast<float>(wavetables::kZoneStart)) : z.zoneBase;
    const Int8 twoZones = (volts >= zero) & (volts < top);
    z.zoneStep = twoZones & splat8(g.length);
    z.zoneMix = twoZones ? z.zoneFraction : zero;
    const Float8 x = volts * splat8(1000.0f) + splat8(10000.0f);
    const Int8 n = __builtin_convertvector(x, Int8);
    Float8 t0, t1;
    dsp::gatherPairs(pitchTable, n, t0, t1);
    z.increment = t0 + (t1 - t0) * (x - __builtin_convertvector(n, Float8));
    z.volts = volts;
    return z;
}

ZR_WIDE inline Float8 readZone8(const float* table, const Zones8& z, Float8 position) {
    return readZone8(table, z.zoneBase, z.zoneStep, z.zoneMix, position);
}

ZR_WIDE inline bool noneWrap(Float8 p, float length) {
    return !dsp::anyLane((p >= splat8(length)) | (p <= Float8{}));
}

// The increment of sample k: a fixed one (float) or each sample's own (Float8).
template <class Increment>
ZR_WIDE inline float incrementAt(Increment increment, int k) {
    if constexpr (sizeof(Increment) == sizeof(float))
        return increment;
    else
        return increment[k];
}

// Eight plain phase sums from `phase`, which is left at the last: no wrap is looked at. Spelled
// out, because a vector built lane by lane in a loop goes through memory, and the phase is
// kept as a scalar, because taking it back out of the vector would lengthen the chain of sums.
template <class Increment>
ZR_WIDE inline Float8 phaseSums8(float& phase, Increment increment) {
    const float s0 = phase + incrementAt(increment, 0), s1 = s0 + incrementAt(increment, 1);
    const float s2 = s1 + incrementAt(increment, 2), s3 = s2 + incrementAt(increment, 3);
    const float s4 = s3 + incrementAt(increment, 4), s5 = s4 + incrementAt(increment, 5);
    const float s6 = s5 + incrementAt(increment, 6);
    phase = s6 + incrementAt(increment, 7);
    return Float8{s0, s1, s2, s3, s4, s5, s6, phase};
}

// Eight phase advances: the plain sums when none wrapped, else the wrapping steps for the group.
template <class Increment>
ZR_WIDE inline Float8 advance8(float& phase, Increment increment, float length, float* wraps) {
    float end = phase;
    Float8 sums = phaseSums8(end, increment);
    if (__builtin_expect(noneWrap(sums, length), 1)) {
        store8(wraps, Float8{});
        phase = end;
        return sums;
    }
    for (int k = 0; k < 8; ++k) {
        wraps[k] = advancePhase(phase, incrementAt(increment, k), length);
        sums[k] = phase;
    }
    return sums;
}
#endif

// ---------------------------------------------------------------------------------------------
// Control steps, run from open and pinsChanged.

// Whole samples per millisecond at `sampleRate` (a usable rate), truncated, within what an
// int32 holds and at least 1.
inline std::int32_t samplesPerMs(float sampleRate) {
    const float perMs = sampleRate * 0.001f;
    const std::int32_t n = perMs < 2147483520.0f ? static_cast<std::int32_t>(perMs) : 2147483520;
    return n < 1 ? 1 : n;
}

// Puts the phase back to 0 with no reset pending and no crossfade running.
template <class State>
inline void restartPhase(State& c) {
    c.phase = 0.0f;
    c.resetRequest = false;
    c.fade = -1.0f;
}

// The Reset pin and the Sync input. A reset (with Reset Mode 0 or more) restarts the phase
// and stops the oscillator until the gate starts it again; a rising Sync edge (with Reset
// Mode above 0) requests a reset, once until the input falls to 0 or below.
template <class State>
inline void resetAndSync(State& c, std::int32_t& running, std::int32_t& syncLatch,
                         bool resetPressed, float sync, std::int32_t resetMode) {
    if (resetPressed && resetMode >= 0) {
        restartPhase(c);
        running = 0;
    }
    if (sync > 0.0f && syncLatch == 0 && resetMode > 0) {
        c.resetRequest = true;
        syncLatch = 1;
    }
    if (sync <= 0.0f) syncLatch = 0;
}

} // namespace zr::zrpm
