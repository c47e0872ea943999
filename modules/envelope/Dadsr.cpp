// "QORVALIS ZR-ADSR D" shapes a level by a delay-attack-decay-sustain-release envelope.
// The six shared curve tables, the time parameters and the three kinds of
// block routine (attack-decay-sustain, release, silence). The first two exist once per
// duration scaling (fixed or level-scaled) and per curve type, so that no sample loop asks
// which mode it is in.
#include "modules/envelope/Dadsr.h"

#include "dsp/cache_forcing.h"
#include "dsp/clamp.h"
#include "dsp/sample_rate.h"
#include "dsp/shared_table.h"
#include "dsp/table_read.h"
#include "dsp/units.h"
#include "framework/mp_factory.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace zr {
namespace {

// Table entry i stands for x = i / 10000, i = 0..10000; the shared table's guard entry keeps
// the interpolating read at x = 1 (n = 10000, weight 0 on n + 1) inside the block.
constexpr int kTableEntries = 10001;

constexpr float kShortRange = 10.0f;
// Long range: 2^(10 - 6.666666) s, about 10.08 s, at a control value of 1.
constexpr float kLongRange = 6.666666f;
static_assert(std::bit_cast<std::uint32_t>(kLongRange) == 0x40D55554u);

constexpr float kMinimumTime = 0.001f;
constexpr float kForceOffset = 0.0001f;
constexpr float kReleaseFloor = 0.0001f;

// One function per shared table, each stating its formula; x runs over 0..1.
// Type 0: a sine bow overdriven past the quarter wave, scaled back to about 1 at x = 1.
float shaperExpPlus(float x) {
    return (x - (std::sin(x * 1.5707964f * 1.27f) - x)) * 0.919f;
}
// Type 1: the linear ramp bent by a quarter sine (slow start, fast end).
float shaperExp(float x) {
    return x - (std::sin(x * 1.5707964f) - x);
}
// Type 3: a quarter sine (fast start, slow end).
float shaperExpInv(float x) {
    return std::sin(x * 1.5707964f);
}
// Type 4: a rational saturation applied twice; the envelope doubles the looked-up value.
float shaperExpInvPlus(float x) {
    const float g = x * 1.6f * (std::abs(x) + 1.0f) / (x * 1.6f * (x * 3.0f) + 1.0f);
    return g * 1.89f * (std::abs(g * 0.33333334f) + 1.0f) / (g * 1.6f * (g * 3.0f) + 1.0f);
}
// Type 5: an exponential spanning about 39 dB, shifted to start near 0.
float shaperVlDb(float x) {
    return std::exp(x * 4.462f - 4.45f) - 0.0117f;
}
// Type 6: an exponential spanning 100 dB.
float shaperVlDbPlus(float x) {
    return std::exp(x * 11.5f - 11.5f);
}

struct SharedCurve {
    const char16_t* name;
    int curveType;
    float (*entry)(float x);
};

// In request order; the last one's "new" answer decides whether this instance fills them all.
constexpr SharedCurve kSharedCurves[] = {
    {u"QORV_Shaper_Exp+", 0, shaperExpPlus},   {u"QORV_Shaper_Exp", 1, shaperExp},
    {u"QORV_Shaper_Exp_Inv", 3, shaperExpInv}, {u"QORV_Shaper_Exp_Inv+", 4, shaperExpInvPlus},
    {u"QORV_Shaper_VL_Db", 5, shaperVlDb},     {u"QORV_Shaper_VL_Db+", 6, shaperVlDbPlus},
};

// Only the value 1 selects the long range, on every path that reads a range pin, so that a
// range pin holding another value gives the same time whichever path read it last.
float rangeOffset(gmpi::int32 rangeChoice) {
    return rangeChoice == 1 ? kLongRange : kShortRange;
}

// Makes the next comparison with the pin's first sample fail, so that the value derived from
// it is recomputed.
void forceRecompute(float& cache, float pinValue) {
    cache = dsp::forcedCacheValue(pinValue, kForceOffset);
}

} // namespace

Dadsr::Dadsr(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, enableIn);
    initializePin(1, attackIn);
    initializePin(2, decayIn);
    initializePin(3, sustainIn);
    initializePin(4, releaseIn);
    initializePin(5, levelIn);
    initializePin(6, attackShapeIn);
    initializePin(7, decayShapeIn);
    initializePin(8, releaseShapeIn);
    initializePin(9, envelopeOut);
    initializePin(10, restartFromZeroIn);
    initializePin(11, attackRangeIn);
    initializePin(12, decayRangeIn);
    initializePin(13, releaseRangeIn);
    initializePin(14, delayIn);
    initializePin(15, gateIn);
    initializePin(16, triggerIn);
    initializePin(17, fixedTimeIn);
    initializePin(18, holdReleaseIn);
}

gmpi::int32 Dadsr::open() {
    dsp::SharedTable blocks[std::size(kSharedCurves)];
    for (std::size_t k = 0; k < std::size(kSharedCurves); ++k)
        blocks[k] = dsp::SharedTable::request(host, kSharedCurves[k].name, -1.0f, kTableEntries);
    // The last request's "new" answer decides for the whole set.
    const bool isNew = blocks[std::size(kSharedCurves) - 1].isNew;
    for (std::size_t k = 0; k < std::size(kSharedCurves); ++k) {
        const dsp::SharedTable& t = blocks[k];
        if (!t) continue;
        if (isNew) {
            for (int i = 0; i < kTableEntries; ++i)
                t.data[i] = kSharedCurves[k].entry(static_cast<float>(i) * 0.0001f);
            t.setGuard();
        }
        tables[static_cast<std::size_t>(kSharedCurves[k].curveType)] = t.data;
    }

    // A host reporting no usable rate would turn every increment into inf or NaN.
    sampleRate = dsp::hostSampleRateOrDefault(host);
    sampleTime = 1.0f / sampleRate;
    fastIncrement = 1.0f / (sampleRate * kMinimumTime);
    dampSlope = 1.0f / (sampleRate * kMinimumTime); // full scale in 1 ms
    dampBase = 0.1f / (sampleRate * kMinimumTime);
    delayScale = sampleRate * dsp::kVoltsPerPinUnit; // the Delay pin in seconds is its volts
    attackRange = kShortRange;
    decayRange = kShortRange;
    releaseRange = kLongRange;
    attackCache = decayCache = sustainCache = releaseCache = -0.0001f;
    attackIncrement = decayIncrement = releaseIncrement = fastIncrement;
    attackTime = decayTime = releaseTime = PendingTime{};
    seg = Segment{};

    // Until the first pin change the output is defined: zeros.
    setBlockRoutine(&Dadsr::subProcessSilence);
    return gmpi::MpBase::open();
}

void Dadsr::pinsChanged() {
    if (holdReleaseIn.isUpdated()) {
        releaseAdvance = holdReleaseIn.getValue() != 0 ? 0.0f : 1.0f;
        // Either way the damp fade starts again from full scale in 1 ms: under the hold the
        // next release or attack derives it from `Release`; without the hold it must not keep
        // the slope last derived from `Release`.
        dampSlope = fastIncrement;
    }
    if (attackRangeIn.isUpdated()) attackRange = rangeOffset(attackRangeIn.getValue());
    if (decayRangeIn.isUpdated()) decayRange = rangeOffset(decayRangeIn.getValue());
    if (releaseRangeIn.isUpdated()) releaseRange = rangeOffset(releaseRangeIn.getValue());

    if (triggerIn.isUpdated()) {
        triggerPrevious = triggerLatest;
        triggerLatest = triggerIn.getValue();
        if (triggerPrevious <= 0.0f && triggerLatest > 0.0f) {
            seg.level = 0.0f;
            seg.phase = 0.0;
        } else if (triggerLatest <= 0.0f && seg.level > 0.0f) {
            startRelease();
        }
    }

    if (enableIn.getValue() > 0.0f && levelIn.getValue() != 0.0f) {
        if (!gateIn.isUpdated()) return; // the running routine stays
        const gmpi::int32 gate = gateIn.getValue();
        if (gate == 1) {
            startAttack();
            return;
        }
        if (gate != 0) return;
        if (seg.level > 0.0f) {
            releaseRange = rangeOffset(releaseRangeIn.getValue());
            startRelease();
            return;
        }
    }
    envelopeOut.setStreaming(false);
    setBlockRoutine(&Dadsr::subProcessSilence);
}

void Dadsr::startAttack() {
    forceRecompute(attackCache, attackIn.getValue());
    forceRecompute(decayCache, decayIn.getValue());
    forceRecompute(sustainCache, sustainIn.getValue());
    attackRange = rangeOffset(attackRangeIn.getValue());
    decayRange = rangeOffset(decayRangeIn.getValue());
    curve = curveSlot(attackShapeIn.getValue());
    releaseFinished = false;
    seg.delayCount = 0.0;
    seg.phase = 0.0;
    if (restartFromZeroIn.getValue() == 1) {
        attackOffset = 0.0f;
        attackSpan = 1.0f;
        seg.stage = StageDamp;
    } else {
        attackOffset = seg.level;
        attackSpan = 1.0f - seg.level;
        seg.stage = StageDelay;
    }
    envelopeOut.setStreaming(true);
    setBlockRoutine(adsRoutine(fixedTimeIn.getValue() == 1, curve));
}

void Dadsr::startRelease() {
    forceRecompute(releaseCache, releaseIn.getValue());
    releaseStart = seg.level;
    releaseFinished = false;
    curve = curveSlot(releaseShapeIn.getValue());
    seg.phase = 1.0;
    envelopeOut.setStreaming(true);
    silentSamples = 0;
    setBlockRoutine(releaseRoutine(fixedTimeIn.getValue() == 1, curve));
}

// Both running routines start by bringing all four time values up to date from the first
// sample of the stretch, so that the damp slope of a held release follows `Release` even
// while a new attack runs.
void Dadsr::updateTimes(gmpi::int32 bufferOffset) {
    const float attack = attackIn.getValue(bufferOffset);
    if (attack != attackCache) {
        attackCache = attack;
        attackTime = {dsp::pinToVolts(attack), attackRange, true};
    }
    const float decay = decayIn.getValue(bufferOffset);
    if (decay != decayCache) {
        decayCache = decay;
        decayTime = {dsp::pinToVolts(decay), decayRange, true};
    }
    const float held = sustainIn.getValue(bufferOffset);
    if (held != sustainCache) {
        sustainCache = held;
        sustain = dsp::clampNanToLow(held, 0.0f, 1.0f);
        oneMinusSustain = 1.0f - sustain;
    }
    const float release = releaseIn.getValue(bufferOffset);
    if (release != releaseCache) {
        releaseCache = release;
        const float floored = release > kReleaseFloor ? release : kReleaseFloor;
        releaseTime = {dsp::pinToVolts(floored), releaseRange, true};
        if (releaseAdvance == 0.0f) dampSlope = dampBase / floored;
    }
}

// T = 2^(max(volts, 0) - offset) seconds; one sample's share of T, or of 1 ms when T is shorter.
float Dadsr::segmentIncrement(float volts, float offset) const {
    const float exponent = volts > 0.0f ? volts : 0.0f; // NaN reads as 0
    const float seconds = std::exp2(exponent - offset);
    if (seconds <= kMinimumTime) return fastIncrement;
    return sampleTime / seconds;
}

int Dadsr::curveSlot(gmpi::int32 curveType) const {
    if (curveType < 0 || curveType >= kCurveTypes) return kNoCurve;
    // A table the host could not provide falls back to the straight line.
    if (curveType != 2 && !tables[static_cast<std::size_t>(curveType)]) return 2;
    return curveType;
}

template <int Curve>
float Dadsr::curveValue(const float* table, double phase) {
    // Clamped so that NaN reads as 0: no read leaves entries 0..10001.
    const float p = static_cast<float>(dsp::clampNanToLow(phase, 0.0, 1.0));
    float value;
    if constexpr (Curve == 2) {
        value = p;
    } else {
        value = dsp::readAtPinValue(table, p);
        if constexpr (Curve == 4) value *= 2.0f;
    }
    return value < 0.0f ? 0.0f : value;
}

// Stages 4 and 5 of one sample.
template <bool Fixed, int Curve>
void Dadsr::decayStep(Segment& s, const DecayValues& d) {
    if (s.stage == StageDecay) {
        if constexpr (Fixed) {
            if (s.phase >= d.increment) {
                s.phase -= d.increment;
                if constexpr (Curve != kNoCurve)
                    s.level = curveValue<Curve>(d.table, s.phase) * d.oneMinusSustain + d.sustain;
            } else {
                s.level = d.sustain;
                s.stage = StageSustain;
            }
        } else {
            // The decay also ends once its phase has run out: a curve that does not reach 0
            // there (type 6, or no curve) would otherwise never arrive at the sustain level.
            if (d.sustain < s.level && s.phase > 0.0) {
                s.phase -= d.increment * d.oneMinusSustain;
                if constexpr (Curve != kNoCurve)
                    s.level = curveValue<Curve>(d.table, s.phase) * d.oneMinusSustain + d.sustain;
            } else {
                s.level = d.sustain;
                s.stage = StageSustain;
            }
        }
    }
    if (s.stage == StageSustain) s.level = d.sustain;
}

void Dadsr::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = envelopeOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        out[i] = 0.0f;
    seg.level = 0.0f;
    seg.phase = 0.0;
}

template <bool Fixed, int Curve>
void Dadsr::subProcessAds(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    if (sampleFrames <= 0) return;
    updateTimes(bufferOffset);
    renderAds<Fixed, Curve>(bufferOffset, sampleFrames, false);
}

// `decayPending`: the attack ended in the sample before bufferOffset under another curve, and
// that sample's decay step, which uses this routine's curve, is still to be taken.
// The attack and the decay, the long stages, run in loops of their own while they last; the
// other stages, and the sample on which a stage ends, take the whole step of one sample.
template <bool Fixed, int Curve>
void Dadsr::renderAds(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames, bool decayPending) {
    float* __restrict out = envelopeOut.getBuffer() + bufferOffset;
    const float* gain = levelIn.getBuffer() + bufferOffset;
    const float* delay = delayIn.getBuffer() + bufferOffset;
    const float damp = dampSlope;
    const float delaySamples = delayScale;
    resolve(attackIncrement, attackTime);
    resolve(decayIncrement, decayTime);
    const float attackStep = Fixed ? attackIncrement : attackIncrement * attackSpan;
    const float span = attackSpan;
    const float startLevel = attackOffset;
    const float* table = tables[Curve < kCurveTypes ? Curve : 0];
    const DecayValues d{table, decayIncrement, sustain, oneMinusSustain};

    Segment s = seg;
    if (decayPending) decayStep<Fixed, Curve>(s, d);
    for (gmpi::int32 i = 0; i < sampleFrames; ++i) {
        if (s.stage == StageAttack) {
            // Every sample but the last of the attack: the level stays below 1.
            float level = s.level;
            double phase = s.phase;
            for (; i < sampleFrames; ++i) {
                const double next = phase + attackStep;
                float nextLevel = level;
                if constexpr (Curve != kNoCurve)
                    nextLevel = curveValue<Curve>(table, next) * span + startLevel;
                if (nextLevel >= 1.0f) break;
                out[i] = level * gain[i];
                level = nextLevel;
                phase = next;
            }
            s.level = level;
            s.phase = phase;
            if (i == sampleFrames) break;
        } else if (s.stage == StageDecay) {
            // Every sample of the decay but the one on which it ends (decayStep's arithmetic).
            float level = s.level;
            double phase = s.phase;
            const float step = Fixed ? d.increment : d.increment * d.oneMinusSustain;
            for (; i < sampleFrames; ++i) {
                if constexpr (Fixed) {
                    if (!(phase >= d.increment)) break;
                } else {
                    if (!(d.sustain < level && phase > 0.0)) break;
                }
                out[i] = level * gain[i];
                phase -= step;
                if constexpr (Curve != kNoCurve)
                    level = curveValue<Curve>(table, phase) * d.oneMinusSustain + d.sustain;
            }
            s.level = level;
            s.phase = phase;
            if (i == sampleFrames) break;
        } else if (s.stage == StageSustain) {
            for (; i < sampleFrames; ++i) {
                out[i] = s.level * gain[i];
                s.level = d.sustain;
            }
            break;
        }
        // The output shows the level before this sample's update: a one-sample lag.
        out[i] = s.level * gain[i];
        if (s.stage == StageDamp) {
            if (s.level >= damp) {
                s.level -= damp;
                continue;
            }
            s.level = 0.0f;
            s.stage = StageDelay;
        }
        if (s.stage == StageDelay) {
            if (s.delayCount < delaySamples * delay[i]) {
                s.delayCount += 1.0;
                continue;
            }
            s.stage = StageAttack;
        }
        if (s.stage == StageAttack) {
            s.phase += attackStep;
            if constexpr (Curve != kNoCurve)
                s.level = curveValue<Curve>(table, s.phase) * span + startLevel;
            if (s.level >= 1.0f) {
                s.level = 1.0f;
                s.phase = 1.0;
                s.stage = StageDecay;
                const int next = curveSlot(decayShapeIn.getValue());
                if (next != Curve) {
                    // The decay runs under its own curve: hand this sample's decay step and
                    // the rest of the stretch to the routine made for it.
                    seg = s;
                    curve = next;
                    setBlockRoutine(adsRoutine(Fixed, next));
                    (this->*adsRender(Fixed, next))(bufferOffset + i + 1, sampleFrames - i - 1,
                                                    true);
                    return;
                }
            }
        }
        decayStep<Fixed, Curve>(s, d);
    }
    seg = s;
}

template <bool Fixed, int Curve>
void Dadsr::subProcessRelease(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    if (sampleFrames <= 0) return;
    updateTimes(bufferOffset);
    float* out = envelopeOut.getBuffer() + bufferOffset;
    const float* gain = levelIn.getBuffer() + bufferOffset;
    const float start = releaseStart;
    resolve(releaseIncrement, releaseTime);
    const float step = Fixed ? releaseAdvance * releaseIncrement
                             : releaseIncrement * releaseStart * releaseAdvance;
    const float increment = releaseIncrement;
    const float* table = tables[Curve < kCurveTypes ? Curve : 0];

    float level = seg.level;
    double phase = seg.phase;
    gmpi::int32 silent = silentSamples;
    bool finished = releaseFinished;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i) {
        out[i] = level * gain[i];
        bool ending;
        if constexpr (Fixed) {
            ending = phase < increment;
        } else {
            // Ends also once the phase has run out, for the curves that stay above 0 there.
            ending = !(level > 0.0f && phase > 0.0);
        }
        if (ending) {
            ++silent;
            level = 0.0f;
            phase = 0.0;
            finished = true;
        } else {
            phase -= step;
            if constexpr (Curve != kNoCurve) level = start * curveValue<Curve>(table, phase);
        }
    }
    seg.level = level;
    seg.phase = phase;
    silentSamples = silent;
    releaseFinished = finished;

    if (silent >= sampleFrames && finished && level <= 0.0f) {
        silentSamples = 0;
        // Static from the last sample written, which is 0 like everything after it.
        envelopeOut.setStreaming(false, bufferOffset + sampleFrames - 1);
        setBlockRoutine(&Dadsr::subProcessSilence);
    }
}

namespace {

// A table of pointers by duration mode (0 level-scaled, 1 fixed) and curve slot: what
// `make.operator()<Fixed, Curve>()` gives for each.
template <class Pointer, class Make>
constexpr auto byModeAndCurve(Make make) {
    using Row = std::array<Pointer, Dadsr::kCurveSlots>;
    return [&]<int... C>(std::integer_sequence<int, C...>) {
        return std::array<Row, 2>{Row{make.template operator()<false, C>()...},
                                  Row{make.template operator()<true, C>()...}};
    }
    (std::make_integer_sequence<int, Dadsr::kCurveSlots>{});
}

} // namespace

Dadsr::Routine Dadsr::adsRoutine(bool fixed, int slot) {
    static constexpr auto table =
        byModeAndCurve<Routine>([]<bool F, int C>() { return &Dadsr::subProcessAds<F, C>; });
    return table[fixed ? 1 : 0][static_cast<std::size_t>(slot)];
}

Dadsr::Render Dadsr::adsRender(bool fixed, int slot) {
    static constexpr auto table =
        byModeAndCurve<Render>([]<bool F, int C>() { return &Dadsr::renderAds<F, C>; });
    return table[fixed ? 1 : 0][static_cast<std::size_t>(slot)];
}

Dadsr::Routine Dadsr::releaseRoutine(bool fixed, int slot) {
    static constexpr auto table =
        byModeAndCurve<Routine>([]<bool F, int C>() { return &Dadsr::subProcessRelease<F, C>; });
    return table[fixed ? 1 : 0][static_cast<std::size_t>(slot)];
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"QORVALIS ZR-ADSR D", &gmpi::createAudio<zr::Dadsr>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"QORVALIS ZR-ADSR D", "ZR-ADSR D", "ZR/Envelopes");
} // namespace
