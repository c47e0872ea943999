// The patch-memory classes that have hand-written description blocks, registered here under
// the same identifiers but without the blocks: the catalog of this test library lists the pins
// the classes really bind, which the catalog test compares with the blocks.
#include "framework/mp_factory.h"
#include "modules/patchmemory/PatchMemoryBool.h"
#include "modules/patchmemory/PatchMemoryFloat.h"
#include "modules/patchmemory/PatchMemoryInt.h"
#include "modules/patchmemory/PatchMemoryText.h"

namespace {

using gmpi::createAudio;
using gmpi::createGui;
using gmpi::registerAudioModule;
using gmpi::registerGuiModule;
using namespace zr;

const gmpi::int32 registered[] = {
    registerAudioModule(u"VL PatchMemory Float", &createAudio<PatchMemoryFloat>),
    registerGuiModule(u"VL PatchMemory Float", &createGui<PatchMemoryFloatGui>),
    registerAudioModule(u"VL PatchMemory Float Out", &createAudio<PatchMemoryFloat>),
    registerGuiModule(u"VL PatchMemory Float Out", &createGui<PatchMemoryFloatOutGui>),
    registerAudioModule(u"VL PatchMemory Float Out B2", &createAudio<PatchMemoryFloat>),
    registerGuiModule(u"VL PatchMemory Float Out B2", &createGui<PatchMemoryFloatOutGui>),
    registerAudioModule(u"VL PatchMemory Int Out", &createAudio<PatchMemoryInt>),
    registerGuiModule(u"VL PatchMemory Int Out", &createGui<PatchMemoryIntOutGui>),
    registerAudioModule(u"VL PatchMemory Bool Out", &createAudio<PatchMemoryBool>),
    registerGuiModule(u"VL PatchMemory Bool Out", &createGui<PatchMemoryBoolOutGui>),
    registerAudioModule(u"VL PatchMemory Text2", &createAudio<PatchMemoryText>),
    registerGuiModule(u"VL PatchMemory Text2", &createGui<PatchMemoryTextGui>),
    registerAudioModule(u"VL PatchMemory Text Out", &createAudio<PatchMemoryText>),
    registerGuiModule(u"VL PatchMemory Text Out", &createGui<PatchMemoryTextOutGui>),
};

} // namespace
