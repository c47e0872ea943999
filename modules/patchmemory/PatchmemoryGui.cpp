// "VL PatchMemory": pin declarations only.
#include "modules/patchmemory/PatchmemoryGui.h"

#include "framework/mp_factory.h"

namespace zr {

PatchmemoryGui::PatchmemoryGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    using G = PatchmemoryGui;
    initializePin(0, valueIn, &G::onNothing);
    initializePin(1, nameIn, &G::onNothing);
    initializePin(2, menuItemsIn, &G::onNothing);
    initializePin(3, menuSelectionIn, &G::onNothing);
    initializePin(4, mouseDownIn, &G::onNothing);
    initializePin(5, animationIn, &G::onNothing);
    initializePin(6, nameOut, &G::onNothing);
    initializePin(7, valueOut, &G::onNothing);
    initializePin(8, animationPositionOut, &G::onNothing);
    initializePin(9, menuItemsOut, &G::onNothing);
    initializePin(10, menuSelectionOut, &G::onNothing);
    initializePin(11, mouseDownOut, &G::onNothing);
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL PatchMemory", &gmpi::createGui<zr::PatchmemoryGui>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL PatchMemory", "PatchMemory", "Sub-Controls");
} // namespace
