// "ZR Osc SINE": the ZRPM oscillator cut down to its sine slot. Same pitch table, zones, zone
// crossfade and reset crossfade as "Osc ZRPM", without phase modulation, wave choice or
// auxiliary outputs; its output is the negated sine read.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/oscillators/OscZrpm.h"
#include "modules/oscillators/ZrpmWave.h"

namespace zr {

class OscZrpmSine : public gmpi::MpBase {
  public:
    explicit OscZrpmSine(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

  private:
    template <bool ResetFamily, bool Wide>
    void subProcessSine(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void steadyStretch(OscZrpm::Core& c, float* audio, float level, int count) const;
    void movingCleanly(OscZrpm::Core& c, const float* pitch, float* audio, float level,
                       int count) const;
    // The same two stretches eight samples at a time, where the processor has AVX2.
    ZR_WIDE void steadyStretchWide(OscZrpm::Core& c, float* audio, float level, int count) const;
    ZR_WIDE void movingCleanlyWide(OscZrpm::Core& c, const float* pitch, float* audio, float level,
                                   int count) const;
    template <bool ResetFamily>
    void movingStretch(OscZrpm::Core& c, const float* pitch, float* audio, float level,
                       int count) const;
    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

    gmpi::AudioInPin pitchIn{"Pitch"};
    gmpi::AudioInPin gateIn{"Gate"};
    gmpi::AudioInPin syncIn{"Sync"};
    gmpi::AudioOutPin audioOut{"Audio Out"};
    gmpi::IntInPin spareIn{"Spare"};
    gmpi::IntInPin resetModeIn{"Reset Mode", &zrpm::kResetModeDoc};
    gmpi::AudioInPin spareAudioIn{"Spare Audio"};
    gmpi::FloatInPin sineLevelIn{"Sine Level"};
    gmpi::FloatInPin resetIn{"Reset"};

    const float* sineTable = wavetables::silentSlot();
    zrpm::Geometry geometry;
    gmpi::int32 samplesPerMs = 44;

    // The oscillator's per-sample state; the phase-mod offset stays 0, so the read position is
    // the phase itself, and the shape fields are unused.
    OscZrpm::Core core;
    gmpi::int32 running = 0;
    gmpi::int32 syncLatch = 0;

    zrpm::PitchTable pitchTable;
};

} // namespace zr
