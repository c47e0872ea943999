// "ZR-RING ZRPM CS": a ring modulator with a band filter on each input. Each band is the
// difference of two one-pole low-passes whose cutoffs one control sweeps, first the upper edge
// and then the lower one; the product runs at the sample rate or two times oversampled between
// eighth-order low-passes.
#pragma once

#include "dsp/decimator.h"
#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

class RingEqCS : public gmpi::MpBase {
  public:
    explicit RingEqCS(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    // Entries of the shared coefficient table ("QORV_VL_RING_P6"): entry i is the one-pole
    // coefficient for the cutoff of i / 1000 volts (13.75 Hz at 0, 14080 Hz at 10000).
    static constexpr int kTableEntries = 10001;

    // One input's band filter: two one-pole low-pass stages and their coefficients, and the
    // control sample they were computed from.
    struct Band {
        float lastControl = -100.0f;
        float k1 = 0.0f;
        float k2 = 0.0f;
        float s1 = 0.0f;
        float s2 = 0.0f;
        float previous = 0.0f; // band value of the previous sample (oversampled routine)
    };

  private:
    template <bool Oversampled>
    void subProcessRing(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void clearStates();

    gmpi::AudioInPin inputA{"Input A"};
    gmpi::AudioInPin inputB{"Input B"};
    gmpi::AudioOutPin audioOut{"Audio Out"};
    gmpi::AudioInPin spareAudioIn{"Spare Audio"};
    gmpi::IntInPin enable1In{"Enable 1"};
    gmpi::IntInPin enable2In{"Enable 2"};
    gmpi::IntInPin qualityIn{"Quality"};
    gmpi::AudioInPin spareAudio2In{"Spare Audio 2"};
    gmpi::AudioInPin bandAIn{"Band A"};
    gmpi::AudioInPin bandBIn{"Band B"};
    gmpi::FloatInPin clearIn{"Clear"};

    const float* table = nullptr;
    Band bandA;
    Band bandB;
    dsp::Decimator2x filterA;
    dsp::Decimator2x filterB;
    dsp::Decimator2x filterProduct;
};

} // namespace zr
