// "ZR PanST CS": an equal-power panner with two modes: the sum of two inputs placed between
// two outputs, or two inputs cross-mixed as a stereo pair (position 0 passes them, 1 swaps
// them). The gains come from quarter-wave tables shared by every instance.
#pragma once

#include "dsp/pan.h"
#include "dsp/quarter_wave_pan.h"
#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

class PanStCS : public gmpi::MpBase {
  public:
    explicit PanStCS(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    template <bool CrossMix>
    void subProcessPan(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

  private:
    using Routine = void (PanStCS::*)(gmpi::int32, gmpi::int32);

    gmpi::AudioInPin inA{"In A"};
    gmpi::AudioInPin inB{"In B"};
    gmpi::AudioInPin panIn{"Pan"};
    gmpi::AudioOutPin leftOut{"Left"};
    gmpi::AudioOutPin rightOut{"Right"};
    static constexpr gmpi::MpPinDoc kModeDoc{"Pan Sum=0,Cross-Mix=1"};
    gmpi::IntInPin modeIn{"Mode", &kModeDoc};

    dsp::QuarterWaveTables tables;
    float cachedPan = -100.0f;
    dsp::PanGains gains; // left: cosine, right: sine
    // The routine of the last valid mode, kept when `Mode` is neither 0 nor 1.
    Routine modeRoutine = &PanStCS::subProcessPan<false>;
};

} // namespace zr
