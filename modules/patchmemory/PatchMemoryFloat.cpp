// "VL PatchMemory Float" keeps a float with the patch and relays it to the panel.
// Registrations and the description of the two float "Out" identifiers
// (the plain "VL PatchMemory Float" is described together with "VL PatchMemory Int Out").
#include "modules/patchmemory/PatchMemoryFloat.h"

#include "framework/mp_factory.h"
#include "modules/patchmemory/PatchMemoryDescription.h"

namespace {

// The patch writes parameter 0 through audio pin 1. "B2" differs only in its name, its
// category and in showing the legacy GUI pin 7 instead of minimising it.
const std::string& floatOutDescription() {
    using namespace zr::pmdesc;
    static const std::string block = compose({
        {"VL PatchMemory Float Out", "PatchMemory Float Out3", "Sub-Controls", "float", Layout::Out,
         true, LegacyPin::Minimised},
        {"VL PatchMemory Float Out B2", "PatchMemory Float Out B2", "Debug", "float", Layout::Out,
         true, LegacyPin::Shown},
    });
    return block;
}

const gmpi::int32 registeredAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Float", &gmpi::createAudio<zr::PatchMemoryFloat>);
const gmpi::int32 registeredOutAudio = gmpi::registerAudioModule(
    u"VL PatchMemory Float Out", &gmpi::createAudio<zr::PatchMemoryFloat>);
const gmpi::int32 registeredOutB2Audio = gmpi::registerAudioModule(
    u"VL PatchMemory Float Out B2", &gmpi::createAudio<zr::PatchMemoryFloat>);
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL PatchMemory Float", &gmpi::createGui<zr::PatchMemoryFloatGui>);
const gmpi::int32 registeredOutGui = gmpi::registerGuiModule(
    u"VL PatchMemory Float Out", &gmpi::createGui<zr::PatchMemoryFloatOutGui>);
const gmpi::int32 registeredOutB2Gui = gmpi::registerGuiModule(
    u"VL PatchMemory Float Out B2", &gmpi::createGui<zr::PatchMemoryFloatOutGui>);
const gmpi::int32 describedOut = gmpi::registerDescriptionBlock(floatOutDescription().c_str());

} // namespace
