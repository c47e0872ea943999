// A multi-zone wavetable oscillator with phase modulation. It plays the three shared
// wavetable slots (one band-limited zone per 1/6 volt, crossfaded between the two zones that
// enclose the pitch) in five wave modes, sends its phase wrap, increment and zone position as
// audio, and restarts its phase on a reset or a sync edge, at once or with a short crossfade.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/oscillators/WavetableSlots.h"
#include "modules/oscillators/ZrpmWave.h"

namespace zr {

class OscZrpm : public gmpi::MpBase {
  public:
    explicit OscZrpm(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    // Pitch table: entry k is the increment for (k - 10000) / 1000 volts, -10 V to 10.34 V.
    static constexpr int kPitchTableSize = 20341;

    // Everything a wave routine reads and advances per sample, copied into the routine for
    // the length of a block so that the compiler can keep it in registers (output buffers
    // are floats too and could otherwise alias it).
    struct Core {
        float phase = 0.0f; // position in the zone, kept in (0, 2048]
        float increment = 0.0f;
        float volts = 0.0f;
        float zoneFraction = 0.0f;
        float zoneBase = static_cast<float>(wavetables::kZoneStart);
        // The read of the next zone up and its crossfade weight: 2048 and the zone fraction
        // between 0 V and the top zone, 0 and 0 outside it, where one zone plays alone.
        gmpi::int32 zoneStep = 0;
        float zoneMix = 0.0f;
        float lastPitch = -100.0f;
        float lastPhaseMod = -100.0f;
        float lastShape = -100.0f;
        float phaseModOffset = -1024.0f;
        float shapeOffset = -1024.0f;
        float wrap = 0.0f;
        float fade = -1.0f; // G: -1 when no reset crossfade runs
        float fadeStep = 0.0f;
        float secondaryPhase = 0.0f;
        bool resetRequest = false;
    };

  private:
    using Reads = zrpm::Reads;

    // The buffers and levels of the part of a block still to render.
    struct Stretch {
        const float* pitch;
        const float* phaseMod;
        const float* shape;
        float* audio;
        float* wrap;
        float* increment;
        float* zoneFade;
        float* zoneBase;
        const float* first; // the slot of the wave's first read
        float firstLevel;
        float sawLevel;
        void advance(int n) {
            pitch += n;
            phaseMod += n;
            shape += n;
            audio += n;
            wrap += n;
            increment += n;
            zoneFade += n;
            zoneBase += n;
        }
    };

    template <int Wave, bool ResetFamily>
    void subProcessWave(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    template <int Wave, bool ResetFamily>
    void renderStretch(Core& c, const Stretch& s, int count) const;
    template <int Wave>
    void steadyStretch(Core& c, const Stretch& s, int count) const;
    template <int Wave>
    void movingCleanly(Core& c, const Stretch& s, int count) const;
    template <int Wave, bool ResetFamily>
    void movingStretch(Core& c, const Stretch& s, int count) const;
    void startReset(Core& c) const;
    template <int Wave>
    void updateOffsets(Core& c, float pm, float s) const;
    void advancePhase(Core& c) const;
    template <int Wave>
    Reads readWave(const Core& c, float phase, const float* first) const;
    template <int Wave>
    void crossfadeReset(Core& c, Reads& r, const float* first) const;
    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void buildPitchTable(float sampleRate);

    using Routine = void (OscZrpm::*)(gmpi::int32, gmpi::int32);
    static const Routine waveRoutines[2][5];

    gmpi::AudioInPin pitchIn{"Pitch"};
    gmpi::AudioInPin phaseModIn{"Phase Mod"};
    gmpi::AudioInPin shapeIn{"Shape"};
    gmpi::AudioInPin gateIn{"Gate"};
    gmpi::AudioInPin syncIn{"Sync"};
    gmpi::AudioOutPin audioOut{"Audio Out"};
    gmpi::AudioOutPin wrapOut{"Wrap Out"};
    gmpi::AudioOutPin incrementOut{"Increment Out"};
    gmpi::AudioOutPin zoneFadeOut{"Zone Fade Out"};
    gmpi::AudioOutPin zoneBaseOut{"Zone Base Out"};
    gmpi::IntInPin spareIn{"Spare"};
    gmpi::IntInPin waveIn{"Wave", &zrpm::kWaveDoc};
    gmpi::IntInPin resetModeIn{"Reset Mode", &zrpm::kResetModeDoc};
    gmpi::AudioInPin spareAudioIn{"Spare Audio"};
    gmpi::FloatInPin sineLevelIn{"Sine Level"};
    gmpi::FloatInPin sawLevelIn{"Saw Level"};
    gmpi::FloatInPin triLevelIn{"Tri Level"};
    gmpi::FloatInPin resetIn{"Reset"};

    const float* sineTable = wavetables::silentSlot();
    const float* sawTable = wavetables::silentSlot();
    const float* triTable = wavetables::silentSlot();

    // Constants set at open.
    gmpi::int32 tableLength = wavetables::kZoneLength;
    float tableLengthF = 2048.0f;
    float zoneCount = 60.0f;
    float zoneWidth = 1.0f / 6.0f; // W, volts per zone
    float zonesPerVolt = 6.0f;     // r = 1 / W
    float topZoneVolts = 10.0f - 1.0f / 6.0f;
    float topZoneBase = 125192.0f;
    gmpi::int32 samplesPerMs = 44;

    Core core;
    gmpi::int32 running = 0;
    gmpi::int32 wasActive = 0;
    gmpi::int32 syncLatch = 0;

    zrpm::PitchTable pitchTable;
};

} // namespace zr
