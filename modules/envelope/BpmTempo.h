// "ZR BPM Tempo": a tempo value and a playing flag as two constant audio signals (the tempo
// scaled by 0.1, so 120 beats per minute reads 12.0; playing 1.0, stopped 0.0).
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

class BpmTempo : public gmpi::MpBase {
  public:
    explicit BpmTempo(gmpi::IMpUnknown* host);

    void pinsChanged() override;

  private:
    void subProcessFill(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

    gmpi::FloatInPin tempoIn{"Tempo"};
    gmpi::BoolInPin playingIn{"Playing"};
    gmpi::AudioOutPin tempoOut{"Tempo Out"};
    gmpi::AudioOutPin playingOut{"Playing Out"};
};

} // namespace zr
