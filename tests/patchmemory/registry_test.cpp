// Which halves the patch-memory identifiers have, as a host finds them through the factory.
#include "pm_layouts.h"

#include "host/audio_module.h"
#include "host/gui_module.h"

#include <gtest/gtest.h>

using namespace zrhost;

namespace {

TEST(PatchMemoryRegistry, HalvesOfEveryIdentifier) {
    auto lib = pmtest::loadLibrary();
    HostContext context;
    const std::vector<std::pair<std::u16string, bool>> ids = {
        {u"VL PatchMemory Blob", true},
        {u"VL PatchMemory Blob Out", true},
        {u"VL PatchMemory Bool", true},
        {u"VL PatchMemory Bool Out", true},
        {u"VL PatchMemory Float", true},
        {u"VL PatchMemory Float Out", true},
        {u"VL PatchMemory Float Out B2", true},
        {u"VL PatchMemory Int", true},
        {u"VL PatchMemory Int Out", true},
        {u"VL PatchMemory List3", true},
        {u"VL PatchMemory Text2", true},
        {u"VL PatchMemory Text Out", true},
        {u"VL PatchMemory", false},
        {u"VL Patch Info", false}};
    for (const auto& [id, hasAudio] : ids) {
        SCOPED_TRACE(toUtf8(id));
        EXPECT_EQ(AudioModule(*lib, id, context).createResult(),
                  hasAudio ? gmpi::ResultOk : gmpi::ResultNoSupport);
        EXPECT_EQ(GuiModule(*lib, id, context).createResult(), gmpi::ResultOk);
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(lib->factory()->createInstance(id.c_str(), 2, nullptr, &out),
                  gmpi::ResultNoSupport);
        EXPECT_EQ(out, nullptr);
    }
    // Identifiers match exactly: no near misses.
    for (const char16_t* id : {u"VL PatchMemory Text", u"vl patchmemory float",
                               u"VL PatchMemory Float ", u"VL Patchmemory"})
        EXPECT_EQ(GuiModule(*lib, id, context).createResult(), gmpi::ResultNoSupport);
}

} // namespace
