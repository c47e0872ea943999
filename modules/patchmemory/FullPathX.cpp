// "ZR Full Path Memory-x16", audio half: file name in, resolved full path out.
#include "modules/patchmemory/FullPathX.h"

#include "framework/mp_factory.h"
#include "framework/mp_full_path.h"

namespace zr {

FullPathX::FullPathX(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, fileName);
    initializePin(1, fullPath);
}

// The output pin sends at the current block position, and only a text that differs; an
// unchanged answer costs no allocation.
void FullPathX::pinsChanged() {
    if (!fileName.isUpdated()) return;
    gmpi::FullPathBuffer buffer;
    const std::u16string_view path = gmpi::resolveFullPath(getHost(), fileName.getValue(), buffer);
    if (path != fullPath.getValue()) fullPath.setValue(std::u16string(path));
}

} // namespace zr

namespace {
const gmpi::int32 registeredAudio =
    gmpi::registerAudioModule(u"ZR Full Path Memory-x16", &gmpi::createAudio<zr::FullPathX>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR Full Path Memory-x16", "Full Path Memory", "Sub-Controls");
} // namespace
