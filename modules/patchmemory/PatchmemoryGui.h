// "VL PatchMemory": a GUI-only module that declares the pins of the float patch-memory layout
// and leaves them alone. Every pin has a handler that does nothing, so the host may deliver
// values to any of them.
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class PatchmemoryGui final : public gmpi::MpGuiBase {
  public:
    explicit PatchmemoryGui(gmpi::IMpUnknown* host);

  private:
    void onNothing() {}

    gmpi::GuiFloatPin valueIn{"Value In"};
    gmpi::GuiTextPin nameIn{"Name In"};
    gmpi::GuiTextPin menuItemsIn{"Menu Items"};
    gmpi::GuiIntPin menuSelectionIn{"Menu Selection"};
    gmpi::GuiBoolPin mouseDownIn{"Mouse Down"};
    gmpi::GuiFloatPin animationIn{"AnimationIn"};
    gmpi::GuiTextPin nameOut{"Name", gmpi::DirectionOut};
    gmpi::GuiFloatPin valueOut{"Value", gmpi::DirectionOut};
    gmpi::GuiFloatPin animationPositionOut{"Animation Position", gmpi::DirectionOut};
    gmpi::GuiTextPin menuItemsOut{"Menu Items", gmpi::DirectionOut};
    gmpi::GuiIntPin menuSelectionOut{"Menu Selection", gmpi::DirectionOut};
    gmpi::GuiBoolPin mouseDownOut{"Mouse Down", gmpi::DirectionOut};
};

} // namespace zr
