// "ZrPrgChange", GUI half: the trigger relay and its registration.
#include "modules/midi/PrgChGui.h"

#include "framework/mp_factory.h"

namespace zr {

PrgChGui::PrgChGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    initializePin(0, triggerOut);
    initializePin(1, triggerIn, &PrgChGui::onTriggerIn);
}

void PrgChGui::onTriggerIn() {
    // setValue stores and transmits only a value that differs from the one held.
    triggerOut.setValue(triggerIn.getValue());
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"ZrPrgChange", &gmpi::createGui<zr::PrgChGui>);
} // namespace
