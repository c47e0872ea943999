// "VL PatchMemory List3" keeps a list choice with the patch and relays it to the panel.
// The GUI layout and the registrations (no embedded description: the host
// supplies it).
#include "modules/patchmemory/PatchMemoryList.h"

#include "framework/mp_factory.h"

namespace zr {

PatchMemoryListGui::PatchMemoryListGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    using G = PatchMemoryListGui;
    initializePin(0, valueIn, &G::onValueIn);
    initializePin(1, nameIn, &G::onNameIn);
    initializePin(2, menuItemsIn, &G::onMenuItemsIn);
    initializePin(3, fileExtensionIn, &G::onFileExtensionIn);
    initializePin(4, menuSelectionIn, &G::onMenuSelectionIn);
    initializePin(5, mouseDownIn, &G::onMouseDownIn);
    initializePin(6, nameOut, &G::onName);
    initializePin(7, valueOut, &G::onValue);
    initializePin(8, menuItemsOut, &G::onMenuItems);
    initializePin(9, fileExtensionOut, &G::onFileExtension);
    initializePin(10, menuSelectionOut, &G::onMenuSelection);
    initializePin(11, mouseDownOut, &G::onMouseDown);
}

} // namespace zr

namespace {

const gmpi::int32 registeredAudio =
    gmpi::registerAudioModule(u"VL PatchMemory List3", &gmpi::createAudio<zr::PatchMemoryList>);
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL PatchMemory List3", &gmpi::createGui<zr::PatchMemoryListGui>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL PatchMemory List3", "PatchMemory List3", "Sub-Controls");

} // namespace
