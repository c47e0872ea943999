// "VL Spring2" / "VL Spring": the mouse's release puts the value back at rest.
#include "modules/panel/Spring2Gui.h"

#include "framework/mp_factory.h"

namespace zr {

Spring2Gui::Spring2Gui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    initializePin(0, value);
    initializePin(1, mouseDown, &Spring2Gui::onMouseDown);
    initializePin(2, restValue);
}

void Spring2Gui::onMouseDown() {
    if (!mouseDown.getValue() && previous) value.setValue(restValue.getValue());
    previous = mouseDown.getValue();
}

} // namespace zr

namespace {
using gmpi::catalogDescribe;
using gmpi::createGui;
using gmpi::registerGuiModule;
const gmpi::int32 registeredGui = registerGuiModule(u"VL Spring2", &createGui<zr::Spring2Gui>);
const gmpi::int32 registeredOldGui = registerGuiModule(u"VL Spring", &createGui<zr::Spring2Gui>);
const gmpi::int32 described = catalogDescribe(u"VL Spring2", "Spring", "Sub-Controls");
const gmpi::int32 describedOld = catalogDescribe(u"VL Spring", "Spring (old)", "Old");
} // namespace
