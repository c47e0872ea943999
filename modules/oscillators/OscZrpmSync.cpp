// "Osc ZRPM Sync": the free-running families (the ZRPM oscillator's routines, one output),
// the external-master family (each master wrap restarts the slave through a 4 to 20 sample
// crossfade, with a fade towards the master's frequency above 5.5 V) and the internal-master
// family (master and slave N times per sample, then the N-times decimation low-pass).
#include "modules/oscillators/OscZrpmSync.h"

#include "dsp/cache_forcing.h"
#include "dsp/clamp.h"
#include "dsp/sample_rate.h"
#include "framework/mp_factory.h"

#include <algorithm>
#include <cmath>

// Choices on odd input: master signals wired from anything but an "Osc ZRPM" are held to what
// one can send (zone base inside the slots, zone fraction 0..1, increment at most a cycle), so
// no read leaves the slots; a restart phase that is not finite, or farther than a cycle, starts
// the slave at its cycle start. Sync Amount is held to +-2 (20 V) and the fed-back output of
// the internal master's fade to +-4, so that the feedback cannot run away to infinity; a
// non-finite sub-sample (an infinite Shape extrapolates the morph to infinity) enters the
// decimation filter as 0, so that it cannot leave the filter's history NaN for good. Sync
// Mode values below -1 other than -2, -4 and -8 run as -2 (see familyFor).

namespace zr {

using namespace wavetables;

namespace {

constexpr float kForceOffset = 0.000001f;
// Blocks of the internal master passed unfiltered after open or a change of Sync Mode.
constexpr gmpi::int32 kBypassBlocks = 100;
constexpr float kFollowGain = 0.413253f;
constexpr float kSyncAmountLimit = 2.0f;
constexpr float kFeedbackLimit = 4.0f;
// Samples of the internal master rendered before they are filtered in one run.
constexpr gmpi::int32 kChunk = 64;

// Crossfade steps of the internal master by oversampling factor: at Sync Amount 0 (C), at 1
// and above (E), and when the slave is slower than the master (F).
template <int N>
struct Steps;
template <>
struct Steps<2> {
    static constexpr float C = 0.18f, E = 0.01587f, F = 0.3f;
};
template <>
struct Steps<4> {
    static constexpr float C = 0.05f, E = 0.00397f, F = 0.15f;
};
template <>
struct Steps<8> {
    static constexpr float C = 0.015f, E = 0.001f, F = 0.1f;
};

// The zone pair a follow read uses.
struct Zone {
    float zoneBase;
    gmpi::int32 zoneStep;
    float zoneMix;
};

// The external master's zone as wired in, held inside the slots: a base between zone 0 and
// zone 59, and a crossfade to the next zone only below the top zone and from a base that has
// one above it.
inline Zone externalZone(float base, float fraction, float volts, const zrpm::Geometry& g) {
    const float b = dsp::clampNanToLow(base, static_cast<float>(kZoneStart), g.topZoneBase);
    const bool twoZones = volts >= 0.0f && volts < g.topZoneVolts && b <= g.topZoneBase - g.lengthF;
    return {b, twoZones ? g.length : 0, twoZones ? dsp::clampNanToLow(fraction, 0.0f, 1.0f) : 0.0f};
}

// A restart phase inside (0, 2048]; anything not within a cycle of it restarts at 0.
inline float restartPhase(float p, float length) {
    if (!(p > -length && p < 2.0f * length)) return 0.0f;
    return zrpm::wrapPosition(p, length);
}

inline float finiteOrZero(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

// Crossfade step of the external sync: faster for a higher master pitch, 0.05 to 0.25.
inline float externalStep(float masterPitch) {
    const float x = dsp::clampNanToLow((masterPitch * 1.1f - 0.5765f) * 20.0f, -100.0f, 100.0f);
    float step = static_cast<float>(static_cast<gmpi::int32>(x)) * 0.05f;
    if (step > 0.25f) step = 0.25f;
    if (step < 0.05f) step = 0.05f;
    return step;
}

// Whether any lane of a comparison result is set.
inline bool anyLane(zrpm::Int4 v) {
#if defined(__SSE2__)
    return _mm_movemask_ps(reinterpret_cast<__m128>(v)) != 0;
#else
    return (v[0] | v[1] | v[2] | v[3]) != 0;
#endif
}

// Four more phase sums, serial as the steps make them.
inline zrpm::Float4 sums4(float& phase, float increment) {
    const float s0 = phase + increment, s1 = s0 + increment, s2 = s1 + increment;
    phase = s2 + increment;
    return zrpm::Float4{s0, s1, s2, phase};
}

// G x 4 sub-samples of the internal master at once, when none of them starts a restart or
// wraps a phase and no restart is fading in (the caller checks that) and the slave is not
// fading towards the master: the phase sums, the reads and the output arithmetic of each lane
// are those of the sub-sample step, in the same order. Returns false, having changed nothing,
// when a phase would wrap; the caller then takes the steps one by one.
template <int Wave, bool Bypass, int G, class Core, class Master, class Follow, class Setup>
__attribute__((always_inline, flatten)) inline bool
quietGroups(Core& c, Master& m, Follow& f, const Setup& w, float length, float shape, float* sub,
            float* first) {
    using zrpm::Float4;
    using zrpm::splat4;
    using Bits = zrpm::Int4;
    // The phase sums; one test that none left (0, length).
    const Float4 len = splat4(length);
    Float4 phase[G];
    float mp = m.phase, cp = c.phase;
    Bits out{};
    for (int g = 0; g < G; ++g) {
        const Float4 ms = sums4(mp, m.increment);
        phase[g] = sums4(cp, c.increment);
        out |= (ms >= len) | (ms <= Float4{}) | (phase[g] >= len) | (phase[g] <= Float4{});
    }
    if (anyLane(out)) return false;
    m.phase = mp;
    c.phase = cp;
    const zrpm::ZonePair z{c.zoneBase, c.zoneStep, c.zoneMix};
    const Float4 pm = splat4(c.phaseModOffset), so = splat4(c.shapeOffset);
    // Without the fade towards the master, the mix M and the gain K are exactly 1, and a product
    // with 1 is the other factor bit for bit: those two products are left out.
    const Float4 v1 = splat4(f.value1), v2 = splat4(f.value2);
    const Float4 firstLevel = splat4(w.firstLevel), sawLevel = splat4(w.sawLevel);
    const Float4 morph = splat4((shape + 1.0f) * 0.5f);
    for (int g = 0; g < G; ++g) {
        const Float4 r1 =
            zrpm::readZone4(w.slots.first, z, zrpm::wrapPosition4(phase[g] + pm, len));
        Float4 r2{};
        if constexpr (zrpm::kUsesShape<Wave>)
            r2 = zrpm::readZone4(w.slots.saw, z, zrpm::wrapShapePosition4(phase[g] + so + pm, len));
        Float4 y;
        if constexpr (Wave == 4) {
            const Float4 d = r1 - r2;
            y = (v1 + (d - v1)) * sawLevel;
            if (g == G - 1) f.previous1 = d[3];
        } else {
            const Float4 y1 = (v1 + (r1 - v1)) * firstLevel;
            if (g == G - 1)
                f.previous1 = dsp::clampNanToLow(y1[3], -kFeedbackLimit, kFeedbackLimit);
            y = y1;
            if constexpr (Wave == 1) {
                const Float4 y2 = (v2 + (r2 - v2)) * sawLevel;
                if (g == G - 1)
                    f.previous2 = dsp::clampNanToLow(y2[3], -kFeedbackLimit, kFeedbackLimit);
                y = y1 + morph * (y2 - y1);
            }
        }
        if constexpr (Bypass) {
            if (g == 0) *first = y[0];
        }
        // finiteOrZero lane by lane: |y| below infinity fails for NaN and for either infinity.
        const Float4 magnitude =
            reinterpret_cast<Float4>(reinterpret_cast<Bits>(y) & splat4(std::int32_t{0x7fffffff}));
        zrpm::store4(sub + 4 * g, reinterpret_cast<Float4>(reinterpret_cast<Bits>(y) &
                                                           (magnitude < splat4(HUGE_VALF))));
    }
    return true;
}

// What one sample of the internal master sets up before its sub-samples: the Sync Amount held
// to its limits, the master pitch, and the fade towards the master frequency with its mix M and
// gain K (both exactly 1 without it).
struct SampleControls {
    float s;
    float mp;
    float mix;
    float gain;
    bool fade;
};

template <int Wave, class Core, class Master>
__attribute__((always_inline)) inline SampleControls
startSample(Core& c, Master& m, float pitch, float masterPitch, float phaseMod, float shape,
            float syncAmount, const zrpm::Geometry& g, const float* table) {
    if (pitch != c.lastPitch && pitch >= -1.0f) zrpm::setPitch(c, pitch, g, table);
    // The master's zone below 0 V is zone 0, as for the slave: a zone computed from negative
    // volts would lie before the slot.
    if (masterPitch != m.lastPitch && masterPitch >= -1.0f)
        zrpm::setPitch(m, masterPitch, g, table);
    zrpm::updateOffsets<Wave>(c, phaseMod, shape, g.lengthF);
    SampleControls k{dsp::clampNanToLow(syncAmount, -kSyncAmountLimit, kSyncAmountLimit),
                     masterPitch, 1.0f, 1.0f, false};
    k.fade = masterPitch >= 0.6f && k.s >= 1.0f;
    if (k.fade) {
        const float mv = std::min(m.volts, 10.0f);
        const float q = (10.0f - mv) * 0.25f;
        k.gain = q < 0.8f ? 0.8f : q;
        k.mix = dsp::clampNanToLow((q - 1.0f) * (k.s - 1.0f) + 1.0f, 0.0f, 1.0f);
    }
    return k;
}

// The crossfade step of a restart in this sample (only a master wrap needs it).
template <int N>
inline float restartStep(const SampleControls& k, float slaveIncrement, float masterIncrement) {
    using S = Steps<N>;
    float step =
        static_cast<float>(N) * 0.5f * (S::C + (S::E - S::C) * std::min(k.s * 0.985f, 0.985f));
    const float above = 1.1f - std::min(k.mp, 1.0333333f);
    if (above > 0.0f) step = step / above;
    if (!(slaveIncrement >= masterIncrement)) step = S::F;
    return step;
}

// Sub-sample j of a sample of the internal master, every case: returns the value that enters
// the decimation filter. `audio` is the sample's output, written by the first sub-sample while
// the filter is bypassed.
template <int Wave, int N, bool Bypass, class Core, class Master, class Follow, class Setup>
__attribute__((always_inline)) inline float subSample(Core& c, Master& m, Follow& f, const Setup& w,
                                                      const SampleControls& k, float shape,
                                                      float length, int j, float* audio) {
    const float masterWrap = zrpm::advancePhase(m.phase, m.increment, length);
    if (k.fade) {
        const zrpm::Reads u = zrpm::readWave<Wave>(m, c, m.phase, w.slots, length);
        if constexpr (Wave == 4) {
            f.value1 = k.s * 4.0f * f.previous1 * (u.first - u.second) * kFollowGain;
        } else {
            f.value1 = k.s * 4.0f * f.previous1 * u.first * kFollowGain;
            if constexpr (Wave == 1) f.value2 = k.s * 4.0f * f.previous2 * u.second * kFollowGain;
        }
    }
    if (masterWrap != 0.0f) {
        const float restart = restartPhase(c.increment / m.increment * masterWrap, length);
        if (k.s > 0.01f) {
            c.secondaryPhase = restart;
            c.fade = 1.0f;
            c.fadeStep = restartStep<N>(k, c.increment, m.increment);
        } else {
            c.phase = restart;
        }
    }
    zrpm::advancePhase(c.phase, c.increment, length);
    zrpm::Reads r = zrpm::readWave<Wave>(c, c, c.phase, w.slots, length);
    if (c.fade != -1.0f) zrpm::crossfade<Wave>(c, r, w.slots, length);

    float y;
    if constexpr (Wave == 4) {
        const float d = r.first - r.second;
        y = (f.value1 + (d - f.value1) * k.mix) * k.gain * w.sawLevel;
        f.previous1 = d;
    } else {
        const float y1 = (f.value1 + (r.first - f.value1) * k.mix) * k.gain * w.firstLevel;
        f.previous1 = dsp::clampNanToLow(y1, -kFeedbackLimit, kFeedbackLimit);
        y = y1;
        if constexpr (Wave == 1) {
            const float y2 = (f.value2 + (r.second - f.value2) * k.mix) * k.gain * w.sawLevel;
            f.previous2 = dsp::clampNanToLow(y2, -kFeedbackLimit, kFeedbackLimit);
            y = y1 + (shape + 1.0f) * 0.5f * (y2 - y1);
        }
    }
    if constexpr (Bypass) {
        if (j == 0) *audio = y;
    }
    // A non-finite value (an infinite Shape makes an infinite morph) would stay in the
    // recursive filter's history for good; it enters as 0.
    return finiteOrZero(y);
}

#if ZR_HAS_WIDE_LANES
using dsp::Float8;
using dsp::splat8;

// quietGroups for the eight sub-samples of one sample at 8 times, in one eight-lane vector, in
// two steps: quietPhases8 advances the phases, quietOutput8 reads the waves and writes the
// sub-samples widened to double. Each lane's arithmetic is that of the sub-sample step, in the
// same order. Unlike quietGroups they also take the samples in which a phase wraps, unless a
// master wrap starts a crossfade.

// What the reads and the output of a quiet sample take from it.
struct QuietSample {
    Float8 phase; // the slave's phase at each sub-sample
    zrpm::ZonePair zone;
    float phaseModOffset;
    float shapeOffset;
    float morph; // the morph's weight of the saw (wave 1)
};

// The phases of the eight sub-samples. Returns false, having changed nothing, when a master wrap
// starts a crossfade (Sync Amount above 0.01).
template <class Core, class Master>
ZR_WIDE inline bool quietPhases8(Core& c, Master& m, float length, float amount, Float8& phase) {
    const Float8 len = splat8(length);
    float mp = m.phase, cp = c.phase;
    const Float8 ms = zrpm::phaseSums8(mp, m.increment);
    phase = zrpm::phaseSums8(cp, c.increment);
    if (dsp::anyLane((ms >= len) | (ms <= Float8{}) | (phase >= len) | (phase <= Float8{}))) {
        // A phase wraps: the phases step by step, as the sub-sample step makes them. A master
        // wrap with a hard restart (Sync Amount at most 0.01) only moves the slave's phase; one
        // that starts a crossfade leaves the sample to the sub-sample steps.
        float p[8];
        mp = m.phase, cp = c.phase;
        for (int k = 0; k < 8; ++k) {
            const float masterWrap = zrpm::advancePhase(mp, m.increment, length);
            if (masterWrap != 0.0f) {
                if (amount > 0.01f) return false;
                cp = restartPhase(c.increment / m.increment * masterWrap, length);
            }
            zrpm::advancePhase(cp, c.increment, length);
            p[k] = cp;
        }
        phase = dsp::load8(p);
    }
    m.phase = mp;
    c.phase = cp;
    return true;
}

// The reads and the output of a quiet sample, into sub[0..8) widened; `first` is the sample's
// output while the filter is bypassed. The follow values are those of the sample: only a
// sample taken step by step changes them.
template <int Wave, bool Bypass, class Follow, class Setup>
ZR_WIDE inline void quietOutput8(const QuietSample& q, Follow& f, const Setup& w, float length,
                                 double* sub, float* first) {
    using Bits = dsp::Int8;
    const Float8 len = splat8(length);
    const Float8 pm = splat8(q.phaseModOffset);
    // The mix M and the gain K are exactly 1 here (see quietGroups).
    const Float8 v1 = splat8(f.value1), v2 = splat8(f.value2);
    const Float8 r1 =
        zrpm::readZone8(w.slots.first, q.zone, zrpm::wrapPosition8(q.phase + pm, len));
    Float8 r2{};
    if constexpr (zrpm::kUsesShape<Wave>)
        r2 = zrpm::readZone8(w.slots.saw, q.zone,
                             zrpm::wrapShapePosition8(q.phase + splat8(q.shapeOffset) + pm, len));
    Float8 y;
    if constexpr (Wave == 4) {
        const Float8 d = r1 - r2;
        y = (v1 + (d - v1)) * splat8(w.sawLevel);
        f.previous1 = d[7];
    } else {
        const Float8 y1 = (v1 + (r1 - v1)) * splat8(w.firstLevel);
        f.previous1 = dsp::clampNanToLow(y1[7], -kFeedbackLimit, kFeedbackLimit);
        y = y1;
        if constexpr (Wave == 1) {
            const Float8 y2 = (v2 + (r2 - v2)) * splat8(w.sawLevel);
            f.previous2 = dsp::clampNanToLow(y2[7], -kFeedbackLimit, kFeedbackLimit);
            y = y1 + splat8(q.morph) * (y2 - y1);
        }
    }
    if constexpr (Bypass) *first = y[0];
    // finiteOrZero lane by lane: |y| below infinity fails for NaN and for either infinity.
    const Float8 magnitude =
        reinterpret_cast<Float8>(reinterpret_cast<Bits>(y) & splat8(std::int32_t{0x7fffffff}));
    const Float8 in =
        reinterpret_cast<Float8>(reinterpret_cast<Bits>(y) & (magnitude < splat8(HUGE_VALF)));
    // Widened for the filter, which runs in double precision.
    const __m256 v = reinterpret_cast<__m256>(in);
    _mm256_storeu_pd(sub, _mm256_cvtps_pd(_mm256_castps256_ps128(v)));
    _mm256_storeu_pd(sub + 4, _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)));
}
#endif

} // namespace

OscZrpmSync::OscZrpmSync(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, pitchIn);
    initializePin(1, phaseModIn);
    initializePin(2, shapeIn);
    initializePin(3, gateIn);
    initializePin(4, syncIn);
    initializePin(5, masterPitchIn);
    initializePin(6, masterWrapIn);
    initializePin(7, masterIncrementIn);
    initializePin(8, masterZoneFadeIn);
    initializePin(9, masterZoneBaseIn);
    initializePin(10, audioOut);
    initializePin(11, syncOnIn);
    initializePin(12, syncModeIn);
    initializePin(13, spareIn);
    initializePin(14, waveIn);
    initializePin(15, resetModeIn);
    initializePin(16, spareAudioIn);
    initializePin(17, sineLevelIn);
    initializePin(18, sawLevelIn);
    initializePin(19, triLevelIn);
    initializePin(20, resetIn);
    initializePin(21, syncAmountIn);
}

gmpi::int32 OscZrpmSync::open() {
    attachSlots(getHost(), {&sineTable, &sawTable, &triTable});
    running = 0;
    wasActive = 0;
    blockCounter = 0;
    core.resetRequest = false;
    syncLatch = 0;
    core.phase = 0.0f;
    bypass = true;
    core.fade = -1.0f;
    // A host rate of 0, NaN or infinity plays as at 44.1 kHz (see dsp/sample_rate.h).
    const float sampleRate = dsp::hostSampleRateOrDefault(getHost());
    samplesPerMs = zrpm::samplesPerMs(sampleRate);
    core.lastPitch = -100.0f;
    master.lastPitch = -100.0f;
    core.lastShape = -100.0f;
    core.lastPhaseMod = -100.0f;
    decimator2.clear();
    decimator4.clear();
    decimator8.clear();
    geometry = zrpm::geometry();
    for (int i = 0; i < 4; ++i) {
        const float rate = static_cast<float>(1 << i) * sampleRate;
        pitchTables[i].attach(getHost(), rate, geometry.lengthF);
    }
    return MpBase::open();
}

OscZrpmSync::Family OscZrpmSync::familyFor(gmpi::int32 syncOn, gmpi::int32 syncMode,
                                           gmpi::int32 resetMode) {
    if (syncOn < 1) return resetMode > 0 ? Reset : Plain;
    if (syncMode >= -1) return External;
    if (syncMode == -8) return Internal8;
    if (syncMode == -4) return Internal4;
    return Internal2;
}

template <int Wave>
OscZrpmSync::WaveSetup OscZrpmSync::waveSetup() const {
    const float* first = Wave == 0 ? sineTable : (Wave == 1 || Wave == 3) ? triTable : sawTable;
    const float level = Wave == 0                  ? sineLevelIn.getValue()
                        : (Wave == 1 || Wave == 3) ? triLevelIn.getValue()
                                                   : sawLevelIn.getValue();
    return {{first, sawTable}, level, sawLevelIn.getValue()};
}

OscZrpmSync::InternalBuffers OscZrpmSync::internalBuffers(gmpi::int32 bufferOffset) const {
    return {pitchIn.getBuffer() + bufferOffset,      phaseModIn.getBuffer() + bufferOffset,
            shapeIn.getBuffer() + bufferOffset,      masterPitchIn.getBuffer() + bufferOffset,
            syncAmountIn.getBuffer() + bufferOffset, audioOut.getBuffer() + bufferOffset};
}

template <int Wave, bool ResetFamily>
void OscZrpmSync::renderFree(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* pitch = pitchIn.getBuffer() + bufferOffset;
    const float* phaseMod = phaseModIn.getBuffer() + bufferOffset;
    const float* shape = shapeIn.getBuffer() + bufferOffset;
    float* audio = audioOut.getBuffer() + bufferOffset;
    const WaveSetup w = waveSetup<Wave>();
    const gmpi::int32 mode = resetModeIn.getValue();
    const float length = geometry.lengthF;

    OscZrpm::Core c = core;
    for (gmpi::int32 n = 0; n < sampleFrames; ++n) {
        const float p = pitch[n];
        if (p != c.lastPitch && p >= -1.0f) zrpm::setPitch(c, p, geometry, pitchTables[0].data());
        if constexpr (ResetFamily) {
            if (c.resetRequest) zrpm::startReset(c, mode, samplesPerMs);
        }
        zrpm::updateOffsets<Wave>(c, phaseMod[n], shape[n], length);
        zrpm::advancePhase(c.phase, c.increment, length);
        zrpm::Reads r = zrpm::readWave<Wave>(c, c, c.phase, w.slots, length);
        if constexpr (ResetFamily) {
            if (c.fade != -1.0f) zrpm::crossfade<Wave>(c, r, w.slots, length);
        }
        audio[n] = zrpm::waveOutput<Wave>(r, w.firstLevel, w.sawLevel, shape[n]);
    }
    core = c;
}

template <int Wave>
void OscZrpmSync::renderExternal(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* pitch = pitchIn.getBuffer() + bufferOffset;
    const float* phaseMod = phaseModIn.getBuffer() + bufferOffset;
    const float* shape = shapeIn.getBuffer() + bufferOffset;
    const float* masterPitch = masterPitchIn.getBuffer() + bufferOffset;
    const float* masterWrap = masterWrapIn.getBuffer() + bufferOffset;
    const float* masterIncrement = masterIncrementIn.getBuffer() + bufferOffset;
    const float* masterZoneFade = masterZoneFadeIn.getBuffer() + bufferOffset;
    const float* masterZoneBase = masterZoneBaseIn.getBuffer() + bufferOffset;
    float* audio = audioOut.getBuffer() + bufferOffset;
    const WaveSetup w = waveSetup<Wave>();
    const float length = geometry.lengthF;
    // Sync Mode above 0: the width in volts of the fade towards the master frequency.
    const gmpi::int32 mode = syncModeIn.getValue();
    const float width = static_cast<float>(mode);
    const float perWidth = mode > 0 ? 1.0f / width : 0.0f;

    OscZrpm::Core c = core;
    Follow f = follow;
    for (gmpi::int32 n = 0; n < sampleFrames; ++n) {
        const float p = pitch[n];
        if (p != c.lastPitch && p >= -1.0f) zrpm::setPitch(c, p, geometry, pitchTables[0].data());
        zrpm::updateOffsets<Wave>(c, phaseMod[n], shape[n], length);
        float mix = 1.0f; // M
        // A zone base of 0 is an idle or unconnected master: no sync, no fade.
        if (masterZoneBase[n] != 0.0f) {
            const float mp = masterPitch[n];
            if (mode > 0 && mp >= 0.55f) {
                const float mv = std::min(mp * 10.0f, 10.0f);
                mix = dsp::clampNanToLow((width + 5.5f - mv) * perWidth, 0.0f, 1.0f);
                const float inc = dsp::clampNanToLow(masterIncrement[n], -length, length);
                zrpm::advancePhase(f.phase, inc, length);
                const Zone z = externalZone(masterZoneBase[n], masterZoneFade[n], mv, geometry);
                const zrpm::Reads u = zrpm::readWave<Wave>(z, c, f.phase, w.slots, length);
                f.value1 = u.first;
                f.value2 = u.second;
            }
            const float wrap = masterWrap[n];
            if (wrap != 0.0f) {
                // Where the slave stands had it restarted at the master's cycle start.
                c.secondaryPhase = restartPhase(c.increment / masterIncrement[n] * wrap, length);
                c.fade = 1.0f;
                c.fadeStep = externalStep(mp);
            }
        }
        zrpm::advancePhase(c.phase, c.increment, length);
        zrpm::Reads r = zrpm::readWave<Wave>(c, c, c.phase, w.slots, length);
        if (c.fade != -1.0f) zrpm::crossfade<Wave>(c, r, w.slots, length);
        const float p1 = (f.value1 + (r.first - f.value1) * mix) * w.firstLevel;
        if constexpr (Wave == 1 || Wave == 4) {
            const float p2 = (f.value2 + (r.second - f.value2) * mix) * w.sawLevel;
            audio[n] = Wave == 1 ? p1 + (shape[n] + 1.0f) * 0.5f * (p2 - p1) : p1 - p2;
        } else {
            audio[n] = p1;
        }
    }
    core = c;
    follow = f;
}

template <int Wave, int N, bool Bypass, class Decimator>
__attribute__((flatten)) void OscZrpmSync::renderInternal(gmpi::int32 bufferOffset,
                                                          gmpi::int32 sampleFrames,
                                                          Decimator& decimator) {
    const auto [pitch, phaseMod, shape, masterPitch, syncAmount, audio] =
        internalBuffers(bufferOffset);
    const WaveSetup w = waveSetup<Wave>();
    const float length = geometry.lengthF;
    const float* table = pitchTables[N == 2 ? 1 : N == 4 ? 2 : 3].data();

    OscZrpm::Core c = core;
    Master m = master;
    Follow f = follow;
    Decimator filter = decimator; // a local copy, so that the output buffer cannot alias it
    // The sub-samples of up to kChunk samples are rendered first and then filtered in one run,
    // so that the filter keeps its history in registers.
    float sub[kChunk * N];
    float unused[kChunk];
    for (gmpi::int32 start = 0; start < sampleFrames; start += kChunk) {
        const gmpi::int32 count = std::min<gmpi::int32>(kChunk, sampleFrames - start);
        for (gmpi::int32 k = 0; k < count; ++k) {
            const gmpi::int32 n = start + k;
            const SampleControls ctl =
                startSample<Wave>(c, m, pitch[n], masterPitch[n], phaseMod[n], shape[n],
                                  syncAmount[n], geometry, table);
            // Between master wraps, with no restart fading in and no fade towards the master,
            // all sub-samples of the sample side by side (see quietGroups); any other sample
            // step by step.
            if constexpr (N >= 4) {
                if (!ctl.fade && c.fade == -1.0f &&
                    quietGroups<Wave, Bypass, N / 4>(c, m, f, w, length, shape[n], sub + k * N,
                                                     audio + n))
                    continue;
            }
            for (int j = 0; j < N; ++j)
                sub[k * N + j] =
                    subSample<Wave, N, Bypass>(c, m, f, w, ctl, shape[n], length, j, audio + n);
        }
        // The filter runs on every sub-sample so that its history advances at the
        // oversampled rate; the first sub-sample of each sample is kept.
        filter.template processGroups<N>(sub, count, Bypass ? unused : audio + start);
    }
    core = c;
    master = m;
    follow = f;
    decimator = filter;
}

#if ZR_HAS_WIDE_LANES
// At 8 times with eight lanes, a chunk in three passes. The first advances the phases of every
// sample and takes the samples that are not quiet step by step, after the reads of the quiet
// ones before them (the next sub-sample steps may follow their outputs). The second reads the
// waves of the remaining quiet samples: without the chains of phase sums between them, the
// reads of several samples overlap. The third runs the filter group by group. (Running the filter
// beside the reads or the phase sums was tried: it is slower, as the filter alone keeps the
// floating-point pipes about as busy as its chain of outputs allows.)
template <int Wave, bool Bypass>
ZR_WIDE __attribute__((flatten)) void OscZrpmSync::renderInternal8Wide(gmpi::int32 bufferOffset,
                                                                       gmpi::int32 sampleFrames) {
    constexpr int N = 8;
    using Filter = dsp::Decimator8xDouble;
    const auto [pitch, phaseMod, shape, masterPitch, syncAmount, audio] =
        internalBuffers(bufferOffset);
    const WaveSetup w = waveSetup<Wave>();
    const float length = geometry.lengthF;
    const float* table = pitchTables[3].data();

    OscZrpm::Core c = core;
    Master m = master;
    Follow f = follow;
    // The chunk's sub-samples, widened, behind the eight inputs before them.
    double widened[8 + kChunk * N];
    double* const x = widened + 8;
    QuietSample quiet[kChunk];
    Filter::Run run = decimator8.beginRun(widened);
    float unused[kChunk];
    for (gmpi::int32 start = 0; start < sampleFrames; start += kChunk) {
        const gmpi::int32 count = std::min<gmpi::int32>(kChunk, sampleFrames - start);
        float* keep = Bypass ? unused : audio + start;
        const auto output = [&](gmpi::int32 k) ZR_WIDE {
            quietOutput8<Wave, Bypass>(quiet[k], f, w, length, x + k * N, audio + start + k);
        };
        // Samples from `pending` on are quiet and not yet read.
        gmpi::int32 pending = 0;
        for (gmpi::int32 k = 0; k < count; ++k) {
            const gmpi::int32 n = start + k;
            const SampleControls ctl =
                startSample<Wave>(c, m, pitch[n], masterPitch[n], phaseMod[n], shape[n],
                                  syncAmount[n], geometry, table);
            QuietSample& q = quiet[k];
            if (!ctl.fade && c.fade == -1.0f && quietPhases8(c, m, length, ctl.s, q.phase)) {
                q.zone = {c.zoneBase, c.zoneStep, c.zoneMix};
                q.phaseModOffset = c.phaseModOffset;
                q.shapeOffset = c.shapeOffset;
                q.morph = (shape[n] + 1.0f) * 0.5f;
                continue;
            }
            for (; pending < k; ++pending)
                output(pending);
            pending = k + 1;
            for (int j = 0; j < N; ++j)
                x[k * N + j] =
                    subSample<Wave, N, Bypass>(c, m, f, w, ctl, shape[n], length, j, audio + n);
        }
        for (; pending < count; ++pending)
            output(pending);
        // The filter runs on every sub-sample so that its history advances at the oversampled
        // rate; the first sub-sample of each sample is kept.
        for (gmpi::int32 k = 0; k < count; ++k)
            keep[k] = static_cast<float>(Filter::runGroup<N, false>(run, x + k * N));
        for (int j = 0; j < 8; ++j)
            widened[j] = x[count * N - 8 + j];
    }
    decimator8.endRun(run, x);
    core = c;
    master = m;
    follow = f;
}
#endif

template <int Wave, int F, bool Wide>
void OscZrpmSync::subProcessWave(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    if constexpr (F == Plain || F == Reset) {
        renderFree<Wave, F == Reset>(bufferOffset, sampleFrames);
    } else if constexpr (F == External) {
        renderExternal<Wave>(bufferOffset, sampleFrames);
    } else {
        constexpr int N = F == Internal2 ? 2 : F == Internal4 ? 4 : 8;
        auto& decimator = [this]() -> auto& {
            if constexpr (N == 2)
                return decimator2;
            else if constexpr (N == 4)
                return decimator4;
            else
                return decimator8;
        }
        ();
#if ZR_HAS_WIDE_LANES
        if constexpr (Wide) {
            if (bypass)
                renderInternal8Wide<Wave, true>(bufferOffset, sampleFrames);
            else
                renderInternal8Wide<Wave, false>(bufferOffset, sampleFrames);
        } else
#endif
        {
            if (bypass)
                renderInternal<Wave, N, true>(bufferOffset, sampleFrames, decimator);
            else
                renderInternal<Wave, N, false>(bufferOffset, sampleFrames, decimator);
        }
        if (blockCounter <= kBypassBlocks)
            ++blockCounter;
        else
            bypass = false;
    }
}

void OscZrpmSync::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = audioOut.getBuffer() + bufferOffset;
    for (gmpi::int32 n = 0; n < sampleFrames; ++n)
        out[n] = 0.0f;
}

void OscZrpmSync::forceRecompute() {
    core.lastPitch = dsp::forcedCacheValue(pitchIn.getValue(), kForceOffset);
    master.lastPitch = dsp::forcedCacheValue(masterPitchIn.getValue(), kForceOffset);
    core.lastPhaseMod = dsp::forcedCacheValue(phaseModIn.getValue(), kForceOffset);
    core.lastShape = dsp::forcedCacheValue(shapeIn.getValue(), kForceOffset);
}

void OscZrpmSync::pinsChanged() {
    // 1. A gate that streams never stops the oscillator.
    const bool gateStatic = !gateIn.isStreaming();
    const gmpi::int32 resetMode = resetModeIn.getValue();

    // 2. A change to an internal master restarts the unfiltered period.
    const gmpi::int32 syncMode = syncModeIn.getValue();
    if (syncModeIn.isUpdated() && (!syncModeSeen || syncMode != lastSyncMode)) {
        if (syncMode < -1) {
            blockCounter = 0;
            bypass = true;
        }
        lastSyncMode = syncMode;
        syncModeSeen = true;
    }

    // 3. Reset pin, then a rising Sync edge (served by the reset family only).
    zrpm::resetAndSync(core, running, syncLatch, resetIn.isUpdated() && resetIn.getValue() > 0.0f,
                       syncIn.getValue(), resetMode);

    // 4. Start, or a new family or wave while running.
    const float gate = gateIn.getValue();
    if (gate > 0.0f && (running == 0 || resetModeIn.isUpdated() || syncOnIn.isUpdated() ||
                        waveIn.isUpdated() || syncModeIn.isUpdated())) {
        forceRecompute();
        running = 1;
        if (wasActive != 1) core.phase = 0.0f;
        wasActive = 1;
        audioOut.setStreaming(true);
        const gmpi::int32 wave = waveIn.getValue();
        if (wave >= 0 && wave <= 4) {
            const Family family = familyFor(syncOnIn.getValue(), syncMode, resetMode);
            // At 4 times the eight-lane compile gains too little to pay for the sub-sample steps
            // it makes slower (see wideRoutines).
            const bool wide =
                family == Internal8 && wideRoutines[0] != nullptr && dsp::wideLanesAvailable();
            setBlockRoutine(wide ? wideRoutines[wave] : routines[family][wave]);
        }
        allowSleep(false);
    }

    // 5. Stop: a static gate at 0 or below.
    if (gate <= 0.0f && gateStatic) {
        forceRecompute();
        zrpm::restartPhase(core);
        running = 0;
        wasActive = 0;
        audioOut.setStreaming(false);
        setBlockRoutine(&OscZrpmSync::subProcessSilence);
        allowSleep(true);
    }
}

#define ZR_SYNC_FAMILY(F)                                                                          \
    {                                                                                              \
        &OscZrpmSync::subProcessWave<0, F>, &OscZrpmSync::subProcessWave<1, F>,                    \
            &OscZrpmSync::subProcessWave<2, F>, &OscZrpmSync::subProcessWave<3, F>,                \
            &OscZrpmSync::subProcessWave<4, F>                                                     \
    }
const OscZrpmSync::Routine OscZrpmSync::routines[FamilyCount][5] = {
    ZR_SYNC_FAMILY(Plain),     ZR_SYNC_FAMILY(Reset),     ZR_SYNC_FAMILY(External),
    ZR_SYNC_FAMILY(Internal2), ZR_SYNC_FAMILY(Internal4), ZR_SYNC_FAMILY(Internal8)};
#if ZR_HAS_WIDE_LANES
#define ZR_SYNC_WIDE(F)                                                                            \
    {                                                                                              \
        &OscZrpmSync::subProcessWave<0, F, true>, &OscZrpmSync::subProcessWave<1, F, true>,        \
            &OscZrpmSync::subProcessWave<2, F, true>, &OscZrpmSync::subProcessWave<3, F, true>,    \
            &OscZrpmSync::subProcessWave<4, F, true>                                               \
    }
const OscZrpmSync::Routine OscZrpmSync::wideRoutines[5] = ZR_SYNC_WIDE(Internal8);
#undef ZR_SYNC_WIDE
#else
const OscZrpmSync::Routine OscZrpmSync::wideRoutines[5] = {};
#endif
#undef ZR_SYNC_FAMILY

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"Osc ZRPM Sync", &gmpi::createAudio<OscZrpmSync>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"Osc ZRPM Sync", "ZRPM Sync Oscillator", "ZR/Oscillators");
} // namespace

} // namespace zr
