// "VL PatchMemory Bool" keeps a bool with the patch and relays it to the panel.
// Registrations and the description of "VL PatchMemory Bool Out".
#include "modules/patchmemory/PatchMemoryBool.h"

#include "framework/mp_factory.h"
#include "modules/patchmemory/PatchMemoryDescription.h"

namespace {

// The patch writes parameter 0 through audio pin 1; the GUI half shows its fields on the
// panel. GUI pin 7 (the float class's legacy pin) does not exist here.
const std::string& boolOutDescription() {
    using namespace zr::pmdesc;
    static const std::string block = compose({
        {"VL PatchMemory Bool Out", "PatchMemory Bool Out", "Sub-Controls", "bool", Layout::Out},
    });
    return block;
}

const gmpi::int32 registeredAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Bool", &gmpi::createAudio<zr::PatchMemoryBool>);
const gmpi::int32 registeredOutAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Bool Out", &gmpi::createAudio<zr::PatchMemoryBool>);
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL PatchMemory Bool", &gmpi::createGui<zr::PatchMemoryBoolGui>);
const gmpi::int32 registeredOutGui = gmpi::registerGuiModule(
    u"VL PatchMemory Bool Out", &gmpi::createGui<zr::PatchMemoryBoolOutGui>);
const gmpi::int32 describedOut = gmpi::registerDescriptionBlock(boolOutDescription().c_str());
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL PatchMemory Bool", "PatchMemory Bool", "Sub-Controls");

} // namespace
