// "VL Int to Bools" / "VL Bools to Int": one radio group driven from both sides.
#include "modules/panel/IntToBoolsGui.h"

#include "framework/mp_factory.h"
#include "modules/panel/PanelPins.h"

namespace zr {

IntToBoolsGui::IntToBoolsGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    initializePin(0, value, &IntToBoolsGui::onValue);
    initializePin(1, spare);
}

gmpi::int32 IntToBoolsGui::initialize() {
    const gmpi::int32 count = hostPinCount(host);
    buttons = count > 0 ? count - 1 : 0;
    lit = std::int64_t{value.getValue()} + 1;
    for (gmpi::int32 i = 1; i <= buttons; ++i)
        transmitBool(host, i, i == lit);
    return MpGuiBase::initialize();
}

void IntToBoolsGui::onValue() {
    const std::int64_t c = std::int64_t{value.getValue()} + 1;
    if (c == lit) return;
    if (isButton(lit)) transmitBool(host, static_cast<gmpi::int32>(lit), false);
    lit = c;
    if (isButton(c)) transmitBool(host, static_cast<gmpi::int32>(c), true);
}

// A button pressed on the panel selects its value, also on a pin the host added after start-up;
// the lit pin follows when the host hands the new value back to onValue. Released buttons are
// ignored.
gmpi::int32 IntToBoolsGui::receivePinValue(gmpi::int32 pinId, gmpi::int32 voice, gmpi::int32 size,
                                           const void* data) {
    const gmpi::int32 result = MpGuiBase::receivePinValue(pinId, voice, size, data);
    bool pressed = false;
    if (pinId < 1 || !decodeBool(size, data, pressed)) return result;
    if (pressed && pinId - 1 != value.getValue()) value.setValue(pinId - 1);
    return gmpi::ResultOk;
}

// Buttons past pin 1 have no pin object; their notifications are accepted all the same.
gmpi::int32 IntToBoolsGui::notifyPin(gmpi::int32 pinId, gmpi::int32 voice) {
    const gmpi::int32 result = MpGuiBase::notifyPin(pinId, voice);
    return pinId >= 1 ? gmpi::ResultOk : result;
}

} // namespace zr

namespace {
using gmpi::createGui;
using gmpi::registerGuiModule;
const gmpi::int32 registeredGui =
    registerGuiModule(u"VL Int to Bools", &createGui<zr::IntToBoolsGui>);
const gmpi::int32 registeredOldGui =
    registerGuiModule(u"VL Bools to Int", &createGui<zr::IntToBoolsGui>);
} // namespace
