// "Osc ZRPM Sync": the ZRPM oscillator with hard sync of its phase to a master oscillator,
// either an external "Osc ZRPM" wired into its master inputs (the slave restarts through a
// short crossfade at each master cycle start) or an internal master phase, with master and
// slave run 2, 4 or 8 times oversampled and brought back through a decimation low-pass.
#pragma once

#include "dsp/decimator.h"
#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/oscillators/OscZrpm.h"
#include "modules/oscillators/ZrpmWave.h"

namespace zr {

class OscZrpmSync : public gmpi::MpBase {
  public:
    explicit OscZrpmSync(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    // Routine families: without sync (plain, or with the reset crossfade), following an
    // external master, or running an internal master at 2, 4 or 8 times the rate.
    enum Family : int { Plain, Reset, External, Internal2, Internal4, Internal8, FamilyCount };

    // Sync Mode values below -1 other than -2, -4 and -8 have no filter of their own; they
    // run as -2 (two times oversampled).
    static Family familyFor(gmpi::int32 syncOn, gmpi::int32 syncMode, gmpi::int32 resetMode);

    // The internal master: a phase and everything its pitch sets (the fields zrpm::setPitch
    // writes).
    struct Master {
        float phase = 0.0f;
        float increment = 0.0f;
        float volts = 0.0f;
        float zoneFraction = 0.0f;
        float zoneBase = static_cast<float>(wavetables::kZoneStart);
        gmpi::int32 zoneStep = 0;
        float zoneMix = 0.0f;
        float lastPitch = -100.0f;
    };

    // What the slave mixes in towards the master frequency: the follow phase (external
    // master), the follow values of the two paths, and the paths' outputs of the previous
    // sub-sample (internal master).
    struct Follow {
        float phase = 0.0f;
        float value1 = 0.0f;
        float value2 = 0.0f;
        float previous1 = 0.0f;
        float previous2 = 0.0f;
    };

  private:
    using Routine = void (OscZrpmSync::*)(gmpi::int32, gmpi::int32);

    // The buffers the internal master's routines read and write, from a block offset on.
    struct InternalBuffers {
        const float* pitch;
        const float* phaseMod;
        const float* shape;
        const float* masterPitch;
        const float* syncAmount;
        float* audio;
    };

    // The slots and levels of one wave for the length of a block.
    struct WaveSetup {
        zrpm::Slots slots;
        float firstLevel;
        float sawLevel;
    };

    template <int Wave, int F, bool Wide = false>
    void subProcessWave(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    template <int Wave, bool ResetFamily>
    void renderFree(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    template <int Wave>
    void renderExternal(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    // The internal master's routine for every processor, and at 8 times with eight lanes
    // (AVX2), which renders the quiet samples straight into the filter's widened inputs.
    template <int Wave, int N, bool Bypass, class Decimator>
    void renderInternal(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames, Decimator& decimator);
#if ZR_HAS_WIDE_LANES
    template <int Wave, bool Bypass>
    ZR_WIDE void renderInternal8Wide(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
#endif
    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    template <int Wave>
    WaveSetup waveSetup() const;
    InternalBuffers internalBuffers(gmpi::int32 bufferOffset) const;
    void forceRecompute();

    static const Routine routines[FamilyCount][5];
    // The internal master at 8 times with eight lanes, per wave (null without them).
    static const Routine wideRoutines[5];

    gmpi::AudioInPin pitchIn{"Pitch"};
    gmpi::AudioInPin phaseModIn{"Phase Mod"};
    gmpi::AudioInPin shapeIn{"Shape"};
    gmpi::AudioInPin gateIn{"Gate"};
    gmpi::AudioInPin syncIn{"Sync"};
    gmpi::AudioInPin masterPitchIn{"Master Pitch"};
    gmpi::AudioInPin masterWrapIn{"Master Wrap"};
    gmpi::AudioInPin masterIncrementIn{"Master Increment"};
    gmpi::AudioInPin masterZoneFadeIn{"Master Zone Fade"};
    gmpi::AudioInPin masterZoneBaseIn{"Master Zone Base"};
    gmpi::AudioOutPin audioOut{"Audio Out"};
    gmpi::IntInPin syncOnIn{"Sync On"};
    gmpi::IntInPin syncModeIn{"Sync Mode"};
    gmpi::IntInPin spareIn{"Spare"};
    gmpi::IntInPin waveIn{"Wave", &zrpm::kWaveDoc};
    gmpi::IntInPin resetModeIn{"Reset Mode", &zrpm::kResetModeDoc};
    gmpi::AudioInPin spareAudioIn{"Spare Audio"};
    gmpi::FloatInPin sineLevelIn{"Sine Level"};
    gmpi::FloatInPin sawLevelIn{"Saw Level"};
    gmpi::FloatInPin triLevelIn{"Tri Level"};
    gmpi::FloatInPin resetIn{"Reset"};
    gmpi::AudioInPin syncAmountIn{"Sync Amount"};

    const float* sineTable = wavetables::silentSlot();
    const float* sawTable = wavetables::silentSlot();
    const float* triTable = wavetables::silentSlot();

    zrpm::Geometry geometry;
    gmpi::int32 samplesPerMs = 44;

    OscZrpm::Core core;
    Master master;
    Follow follow;
    gmpi::int32 running = 0;
    gmpi::int32 wasActive = 0;
    gmpi::int32 syncLatch = 0;

    // The first 102 blocks after open, and after each change of Sync Mode to an internal
    // master, pass the oversampled signal unfiltered while the filter history fills.
    gmpi::int32 lastSyncMode = 0;
    bool syncModeSeen = false;
    gmpi::int32 blockCounter = 0;
    bool bypass = true;

    dsp::Decimator2xDouble decimator2;
    dsp::Decimator4xDouble decimator4;
    dsp::Decimator8xDouble decimator8;

    // Pitch tables for 1, 2, 4 and 8 times the sample rate.
    zrpm::PitchTable pitchTables[4];
};

} // namespace zr
