// "VL Int to Bools" and "VL Bools to Int": an integer shown as a group of radio buttons. Value
// v lights bool pin v + 1 and clears the one lit before; a button pressed on the panel sends
// its number minus one back as the new value.
#pragma once

#include "framework/mp_gui.h"

#include <cstdint>

namespace zr {

class IntToBoolsGui final : public gmpi::MpGuiBase {
  public:
    explicit IntToBoolsGui(gmpi::IMpUnknown* host);

    // Reads the pin count once and sends every button's state.
    gmpi::int32 MP_STDCALL initialize() override;
    gmpi::int32 MP_STDCALL receivePinValue(gmpi::int32 pinId, gmpi::int32 voice, gmpi::int32 size,
                                           const void* data) override;
    gmpi::int32 MP_STDCALL notifyPin(gmpi::int32 pinId, gmpi::int32 voice) override;

  private:
    void onValue();
    bool isButton(std::int64_t pinId) const { return pinId >= 1 && pinId <= buttons; }

    gmpi::GuiIntPin value{"Value"};
    gmpi::GuiBoolPin spare{"Spare", gmpi::DirectionOut};
    gmpi::int32 buttons = 0; // bool pins known at start-up: 1 .. buttons
    // Pin lit now. 64 bits: value + 1 must not overflow at the int32 maximum.
    std::int64_t lit = -1;
};

} // namespace zr
