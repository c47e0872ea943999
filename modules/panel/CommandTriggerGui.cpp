// "VL Command Trigger": button releases become a command number followed by 0.
#include "modules/panel/CommandTriggerGui.h"

#include "framework/mp_factory.h"
#include "modules/panel/PanelPins.h"

namespace zr {

CommandTriggerGui::CommandTriggerGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    initializePin(0, command);
    initializePin(1, spare);
}

gmpi::int32 CommandTriggerGui::initialize() {
    const gmpi::int32 count = hostPinCount(host);
    pressed.assign(static_cast<std::size_t>(count), false);
    for (gmpi::int32 i = 1; i < count; ++i)
        transmitBool(host, i, false);
    return MpGuiBase::initialize();
}

// A button going from true to false is a release: "Command" carries its number, then 0.
gmpi::int32 CommandTriggerGui::receivePinValue(gmpi::int32 pinId, gmpi::int32 voice,
                                               gmpi::int32 size, const void* data) {
    const gmpi::int32 result = MpGuiBase::receivePinValue(pinId, voice, size, data);
    bool value = false;
    if (pinId < 1 || pinId >= static_cast<gmpi::int32>(pressed.size()) ||
        !decodeBool(size, data, value))
        return result;
    const auto bit = static_cast<std::size_t>(pinId);
    if (!value && pressed[bit]) {
        command.setValue(pinId);
        command.setValue(0);
    }
    pressed[bit] = value;
    return gmpi::ResultOk;
}

// Buttons past pin 1 have no pin object; their notifications are accepted all the same.
gmpi::int32 CommandTriggerGui::notifyPin(gmpi::int32 pinId, gmpi::int32 voice) {
    const gmpi::int32 result = MpGuiBase::notifyPin(pinId, voice);
    return pinId >= 1 && pinId < static_cast<gmpi::int32>(pressed.size()) ? gmpi::ResultOk : result;
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL Command Trigger", &gmpi::createGui<zr::CommandTriggerGui>);
} // namespace
