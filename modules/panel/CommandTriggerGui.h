// "VL Command Trigger": a row of panel buttons (the growable bool pins 1, 2, ...) whose release
// sends the button's number on "Command", followed by 0, so that each click is one command.
#pragma once

#include "framework/mp_gui.h"

#include <vector>

namespace zr {

class CommandTriggerGui final : public gmpi::MpGuiBase {
  public:
    explicit CommandTriggerGui(gmpi::IMpUnknown* host);

    // Reads the pin count once and sends false on every button.
    gmpi::int32 MP_STDCALL initialize() override;
    gmpi::int32 MP_STDCALL receivePinValue(gmpi::int32 pinId, gmpi::int32 voice, gmpi::int32 size,
                                           const void* data) override;
    gmpi::int32 MP_STDCALL notifyPin(gmpi::int32 pinId, gmpi::int32 voice) override;

  private:
    gmpi::GuiIntPin command{"Command"};
    gmpi::GuiBoolPin spare{"Spare", gmpi::DirectionOut};
    // Last value of each pin known at start-up; pins the host adds later have no entry and
    // are ignored.
    std::vector<bool> pressed;
};

} // namespace zr
