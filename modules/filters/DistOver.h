// "ZR DIST CS": a six-mode gain stage. A clean gain with amplitude modulation; two tanh
// saturators run at two and at four times the sample rate, so that the harmonics they create
// above the audio band are filtered out before they can fold back into it; and an amplitude
// modulator run at twice the rate.
#pragma once

#include "dsp/decimator.h"
#include "dsp/decimator4x.h"
#include "dsp/oversampler.h"
#include "dsp/paired_oversampler.h"
#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

// Oversampling state of every mode; a routine copies it for the length of a block.
struct DistOverCore {
    dsp::Oversampler<2> over2;
    dsp::Oversampler<4> over4;
    dsp::PairedOversampler<2> overPair;
    // Single precision at 2x: the input path, the modulator path (mode 5), the output path.
    dsp::Decimator2x decA, decC, decB;
    // Double precision at 4x: input and output paths.
    dsp::Decimator4x decEA, decEB;
    const float* tanhTable = nullptr;

    void resetState();
};

class DistOver : public gmpi::MpBase {
  public:
    explicit DistOver(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessGain(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    template <int Factor, bool Weighted>
    void subProcessSaturate(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessModulate(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

  private:
    using Routine = void (DistOver::*)(gmpi::int32, gmpi::int32);

    gmpi::AudioInPin inputIn{"Input"};
    gmpi::AudioInPin gainIn{"Gain"};
    gmpi::AudioInPin auxIn{"Aux In"};
    gmpi::AudioInPin modIn{"Mod"};
    gmpi::AudioInPin modDepthIn{"Mod Depth"};
    gmpi::AudioInPin driveIn{"Drive"};
    gmpi::AudioInPin saturationIn{"Saturation"};
    gmpi::AudioInPin divisorIn{"Output Divisor"};
    gmpi::AudioInPin aux2In{"Aux In 2"};
    gmpi::AudioOutPin outputOut{"Output"};
    // Mode names in the order of the routines (DistOver.cpp): tanh saturation, its amount
    // scaled by the level or not, at two or four times the rate; amplitude modulation.
    static constexpr gmpi::MpPinDoc kModeDoc{
        "Clean Gain=0,Tanh Level-Scaled 2x=1,Tanh 2x=2,Tanh Level-Scaled 4x=3,Tanh 4x=4,AM 2x=5"};
    gmpi::IntInPin modeIn{"Mode", &kModeDoc};
    gmpi::FloatInPin clearIn{"Clear"};

    DistOverCore core;
    // The routine of the last valid mode, kept when `Mode` leaves 0..5.
    Routine modeRoutine = &DistOver::subProcessGain;
};

} // namespace zr
