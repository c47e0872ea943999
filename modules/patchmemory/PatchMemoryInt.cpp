// "VL PatchMemory Int" keeps an int with the patch and relays it to the panel.
// Registrations, and the description shared by "VL PatchMemory Float" and
// "VL PatchMemory Int Out" (handed over after the last registration it describes).
#include "modules/patchmemory/PatchMemoryInt.h"

#include "framework/mp_factory.h"
#include "modules/patchmemory/PatchMemoryDescription.h"

namespace {

// "VL PatchMemory Float": parameter 0 drives audio pin 0, which pin 1 republishes; the GUI
// relays six parameter fields to the panel. "VL PatchMemory Int Out": the patch writes
// parameter 0 through audio pin 1 (GUI pin 7 does not exist in the int class).
const std::string& floatIntOutDescription() {
    using namespace zr::pmdesc;
    static const std::string block = compose({
        {"VL PatchMemory Float", "PatchMemory Float3", "Sub-Controls", "float", Layout::Plain},
        {"VL PatchMemory Int Out", "PatchMemory Int Out", "Sub-Controls", "int", Layout::Out},
    });
    return block;
}

const gmpi::int32 registeredAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Int", &gmpi::createAudio<zr::PatchMemoryInt>);
const gmpi::int32 registeredOutAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Int Out", &gmpi::createAudio<zr::PatchMemoryInt>);
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL PatchMemory Int", &gmpi::createGui<zr::PatchMemoryIntGui>);
const gmpi::int32 registeredOutGui =
    gmpi::registerGuiModule(u"VL PatchMemory Int Out", &gmpi::createGui<zr::PatchMemoryIntOutGui>);
const gmpi::int32 describedFloatIntOut =
    gmpi::registerDescriptionBlock(floatIntOutDescription().c_str());
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL PatchMemory Int", "PatchMemory Int", "Sub-Controls");

} // namespace
