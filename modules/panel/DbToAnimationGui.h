// "VL dBToAnimation": places a level in decibels on a meter bitmap's animation position, in
// three straight segments (fine steps near 0 dB, coarse ones below -8.75 dB).
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class DbToAnimationGui final : public gmpi::MpGuiBase {
  public:
    explicit DbToAnimationGui(gmpi::IMpUnknown* host);

    // The position for `db`, clamped to 0 .. 1 (NaN gives 0).
    static float position(float db);

  private:
    void onDb();
    void onNothing() {}

    gmpi::GuiFloatPin animationPosition{"Animation Position", gmpi::DirectionOut};
    gmpi::GuiFloatPin db{"Db"};
};

} // namespace zr
