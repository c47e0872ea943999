// "VL Spring2" and "VL Spring": a value that springs back to its rest value when the mouse
// lets go of the control that moves it.
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class Spring2Gui final : public gmpi::MpGuiBase {
  public:
    explicit Spring2Gui(gmpi::IMpUnknown* host);

  private:
    void onMouseDown();

    gmpi::GuiFloatPin value{"Value", gmpi::DirectionOut};
    gmpi::GuiBoolPin mouseDown{"Mouse Down"};
    gmpi::GuiFloatPin restValue{"Reset Value"};
    bool previous = false;
};

} // namespace zr
