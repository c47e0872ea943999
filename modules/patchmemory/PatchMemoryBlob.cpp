// "VL PatchMemory Blob" keeps a blob with the patch and relays it to the panel.
// The "Out" GUI layout and the registrations (no embedded description:
// the host supplies it).
#include "modules/patchmemory/PatchMemoryBlob.h"

#include "framework/mp_factory.h"

namespace zr {

PatchMemoryBlobOutGui::PatchMemoryBlobOutGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    using G = PatchMemoryBlobOutGui;
    initializePin(0, valueIn, &G::onValueIn);
    initializePin(1, nameIn, &G::onNameIn);
    initializePin(2, menuItemsIn, &G::onMenuItemsIn);
    initializePin(3, menuSelectionIn, &G::onMenuSelectionIn);
    initializePin(4, nameOut, &G::onName);
    initializePin(5, valueOut, &G::onValue);
    initializePin(6, menuItemsOut, &G::onMenuItems);
    initializePin(7, menuSelectionOut, &G::onMenuSelection);
}

} // namespace zr

namespace {

const gmpi::int32 registeredAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Blob", &gmpi::createAudio<zr::PatchMemoryBlob>);
const gmpi::int32 registeredOutAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Blob Out", &gmpi::createAudio<zr::PatchMemoryBlob>);
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL PatchMemory Blob", &gmpi::createGui<zr::PatchMemoryBlobGui>);
const gmpi::int32 registeredOutGui = gmpi::registerGuiModule(
    u"VL PatchMemory Blob Out", &gmpi::createGui<zr::PatchMemoryBlobOutGui>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL PatchMemory Blob", "PatchMemory Blob", "Sub-Controls");
const gmpi::int32 describedOut =
    gmpi::catalogDescribe(u"VL PatchMemory Blob Out", "PatchMemory Blob Out", "Sub-Controls");

} // namespace
