// "ZrPrgChange", GUI half: relays a trigger value from its input pin to its output pin when
// the two differ.
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class PrgChGui : public gmpi::MpGuiBase {
  public:
    explicit PrgChGui(gmpi::IMpUnknown* host);

  private:
    void onTriggerIn();

    gmpi::GuiIntPin triggerOut{"Trigger Out", gmpi::DirectionOut};
    gmpi::GuiIntPin triggerIn{"Trigger In"};
};

} // namespace zr
