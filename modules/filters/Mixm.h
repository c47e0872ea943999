// "ZR MixM": blends a signal with the same signal multiplied by a second one, from the plain
// signal (Amount -0.5) to the full product (Amount 0.5); beyond that range it extrapolates.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

class Mixm : public gmpi::MpBase {
  public:
    explicit Mixm(gmpi::IMpUnknown* host);

    void pinsChanged() override;

    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessMix(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

  private:
    gmpi::AudioInPin inputIn{"Input"};
    gmpi::AudioInPin amountIn{"Amount"};
    gmpi::AudioInPin multiplierIn{"Multiplier"};
    gmpi::AudioOutPin outputOut{"Output"};
    gmpi::IntInPin onIn{"On"};
};

} // namespace zr
