// "VL PatchMemory Text2" keeps a text with the patch and relays it to the panel.
// Registrations and the description of its two identifiers.
#include "modules/patchmemory/PatchMemoryText.h"

#include "framework/mp_factory.h"
#include "modules/patchmemory/PatchMemoryDescription.h"

namespace {

// "VL PatchMemory Text2": parameter 0 drives audio pin 0, which pin 1 republishes.
// "VL PatchMemory Text Out": the patch writes parameter 0 through audio pin 1. Its GUI class
// binds neither pin 4 (a text has no normalised position, so pin 4 is left out here) nor
// pin 8, which stays listed as private so that the pin numbering of the "Out" family holds.
const std::string& textDescription() {
    using namespace zr::pmdesc;
    static const std::string block = compose({
        {"VL PatchMemory Text2", "PatchMemory Text2", "Sub-Controls", "string", Layout::TextLike},
        {"VL PatchMemory Text Out", "PatchMemory Text Out", "Sub-Controls", "string", Layout::Out,
         false, LegacyPin::None, false},
    });
    return block;
}

const gmpi::int32 registeredAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Text2", &gmpi::createAudio<zr::PatchMemoryText>);
const gmpi::int32 registeredOutAudio =
    gmpi::registerAudioModule(u"VL PatchMemory Text Out", &gmpi::createAudio<zr::PatchMemoryText>);
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL PatchMemory Text2", &gmpi::createGui<zr::PatchMemoryTextGui>);
const gmpi::int32 registeredOutGui = gmpi::registerGuiModule(
    u"VL PatchMemory Text Out", &gmpi::createGui<zr::PatchMemoryTextOutGui>);
const gmpi::int32 describedText = gmpi::registerDescriptionBlock(textDescription().c_str());

} // namespace
