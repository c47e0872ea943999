// Delay-attack-decay-sustain-release envelope generator with a pre-attack fade (the damp
// stage), seven curve shapes per segment, fixed-duration or level-scaled segments and a
// release hold. The output is the envelope level times the `Level` input, sample by sample.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

#include <array>
#include <cstdint>

namespace zr {

class Dadsr : public gmpi::MpBase {
  public:
    explicit Dadsr(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    // Curve types 0..6 select a shape; any other pin value selects kNoCurve, for which the
    // evaluation leaves the level as it is.
    static constexpr int kCurveTypes = 7;
    static constexpr int kNoCurve = 7;
    static constexpr int kCurveSlots = 8;

    using Routine = void (Dadsr::*)(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

  private:
    enum Stage : std::int16_t {
        StageIdle = 0,
        StageDamp = 1,
        StageDelay = 2,
        StageAttack = 3,
        StageDecay = 4,
        StageSustain = 5,
    };

    // The part of the state that the per-sample loops advance; copied into a local for the
    // length of a routine call so that writes to the output buffer cannot force reloads.
    // Phase and delay count are sums of many small steps and are kept in double precision:
    // a level-scaled step (increment × a low level, e.g. 2.3e-8 for a 1 s release from
    // 0.001) falls below half the spacing of single floats just under 1 and would never move
    // the phase, and single-precision sums miss a 1 s segment by about 0.05 % at 44.1 kHz.
    // The steps themselves stay single precision.
    struct Segment {
        std::int16_t stage = StageIdle;
        float level = 0.0f;      // the envelope value, 0..1
        double phase = 0.0;      // position within the current curve, 0..1
        double delayCount = 0.0; // samples spent in the delay stage
    };

    using Render = void (Dadsr::*)(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames,
                                   bool decayPending);

    void startAttack();
    void startRelease();
    void updateTimes(gmpi::int32 bufferOffset);
    float segmentIncrement(float volts, float rangeOffset) const;
    int curveSlot(gmpi::int32 curveType) const;

    // What the decay step reads, held in locals by the routines.
    struct DecayValues {
        const float* table; // the decay curve's table (unused by the straight line)
        float increment;
        float sustain;
        float oneMinusSustain;
    };

    template <int Curve>
    static float curveValue(const float* table, double phase);
    template <bool Fixed, int Curve>
    static void decayStep(Segment& s, const DecayValues& d);

    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    template <bool Fixed, int Curve>
    void subProcessAds(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    template <bool Fixed, int Curve>
    void renderAds(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames, bool decayPending);
    template <bool Fixed, int Curve>
    void subProcessRelease(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

    static Routine adsRoutine(bool fixed, int slot);
    static Render adsRender(bool fixed, int slot);
    static Routine releaseRoutine(bool fixed, int slot);

    gmpi::AudioInPin enableIn{"Enable"};
    gmpi::AudioInPin attackIn{"Attack"};
    gmpi::AudioInPin decayIn{"Decay"};
    gmpi::AudioInPin sustainIn{"Sustain"};
    gmpi::AudioInPin releaseIn{"Release"};
    gmpi::AudioInPin levelIn{"Level"};
    // Curve types by the shape of their table (Dadsr.cpp): sine-bent exponential and its
    // steeper form, the phase itself, the quarter sine and its steeper form, and two
    // exponentials in decibels.
    static constexpr gmpi::MpPinDoc kShapeDoc{
        "Exponential+=0,Exponential=1,Linear=2,Logarithmic=3,Logarithmic+=4,Decibel=5,"
        "Decibel+=6"};
    // Time ranges: 1 selects the long range; any other value the normal one.
    static constexpr gmpi::MpPinDoc kRangeDoc{"Normal=0,Long=1"};
    static constexpr gmpi::MpPinDoc kRestartDoc{"Off=0,On=1"};
    static constexpr gmpi::MpPinDoc kFixedTimeDoc{"Level-Scaled=0,Fixed=1"};

    gmpi::IntInPin attackShapeIn{"Attack Shape", &kShapeDoc};
    gmpi::IntInPin decayShapeIn{"Decay Shape", &kShapeDoc};
    gmpi::IntInPin releaseShapeIn{"Release Shape", &kShapeDoc};
    gmpi::AudioOutPin envelopeOut{"Envelope"};
    gmpi::IntInPin restartFromZeroIn{"Restart From Zero", &kRestartDoc};
    gmpi::IntInPin attackRangeIn{"Attack Range", &kRangeDoc};
    gmpi::IntInPin decayRangeIn{"Decay Range", &kRangeDoc};
    gmpi::IntInPin releaseRangeIn{"Release Range", &kRangeDoc};
    gmpi::AudioInPin delayIn{"Delay"};
    gmpi::IntInPin gateIn{"Gate"};
    gmpi::FloatInPin triggerIn{"Trigger"};
    gmpi::IntInPin fixedTimeIn{"Fixed Time", &kFixedTimeDoc};
    gmpi::IntInPin holdReleaseIn{"Hold Release"};

    // Shared curve tables by curve type; type 2 (linear) has none.
    std::array<const float*, kCurveTypes> tables{};

    Segment seg;
    int curve = 2; // slot of the running segment's curve; any type serves before the first gate
    float attackOffset = 0.0f;
    float attackSpan = 1.0f;
    float releaseStart = 0.0f;

    // Per-sample increments of the curve phase, and the damp stage's level step.
    float attackIncrement = 0.0f;
    float decayIncrement = 0.0f;
    float releaseIncrement = 0.0f;
    // A time read from its pin (volts and range as read) whose increment, one power of two, is
    // worked out only when a routine that plays that stage runs: a release block needs no
    // attack time, and an attack block no release time.
    struct PendingTime {
        float volts = 0.0f;
        float range = 0.0f;
        bool pending = false;
    };
    PendingTime attackTime, decayTime, releaseTime;
    void resolve(float& increment, PendingTime& time) const {
        if (!time.pending) return;
        increment = segmentIncrement(time.volts, time.range);
        time.pending = false;
    }
    float dampSlope = 0.0f;
    float sustain = 0.0f;
    float oneMinusSustain = 1.0f;
    float attackRange = 10.0f;
    float decayRange = 10.0f;
    float releaseRange = 10.0f;

    // First sample of the time pins as last seen, so that powers are taken only on change.
    float attackCache = -0.0001f;
    float decayCache = -0.0001f;
    float sustainCache = -0.0001f;
    float releaseCache = -0.0001f;

    gmpi::int32 silentSamples = 0;
    bool releaseFinished = false;
    float releaseAdvance = 1.0f; // 0 while the release is held
    float triggerPrevious = 0.0f;
    float triggerLatest = 0.0f;

    // Set at open from the sample rate.
    float sampleRate = 44100.0f;
    float sampleTime = 1.0f / 44100.0f;
    float fastIncrement = 1.0f / 44.1f;
    float dampBase = 0.1f / 44.1f;
    float delayScale = 441000.0f;
};

} // namespace zr
