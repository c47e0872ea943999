// Fuzz target for the wavetable loader's file reading: the input becomes the table file a
// loader module reads into its slot, through the host library as a host runs it. The slot must
// then hold the file's first 508960 bytes with the status "loaded" exactly when the file is a
// whole table with a valid header, and be left untouched otherwise.
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"
#include "host/text.h"
#include "modules/oscillators/Wavetables.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace wt = zr::wavetables;

void check(bool promise) {
    if (!promise) std::abort();
}

const std::filesystem::path& folder() {
    static const std::filesystem::path f = [] {
        auto p = std::filesystem::temp_directory_path() /
                 ("zr-fuzz-table-" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        return p;
    }();
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zrhost::ModuleLibrary& library = zrhost::ModuleLibrary::shared(ZR_MODULE_LIBRARY_PATH);
    std::ofstream(folder() / "osc-sine-1.zrw", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    zrhost::HostContext context;
    context.setFileFolder(zrhost::toUtf16(folder().string()));
    void* block = nullptr;
    gmpi::int32 fresh = 0;
    context.sharedMemory().allocate(wt::kSlotNames[wt::SineSlot], &block, wt::kSlotSampleRate,
                                    wt::kSlotBytes, fresh);
    auto* slot = static_cast<float*>(block);
    for (int i = 0; i < wt::kSlotEntries; ++i)
        slot[i] = -7.0f;

    bool loaded = false;
    {
        zrhost::AudioModule loader(library, u"INIT Osc ZRPM", context, {});
        loader.attachOwnBuffer(11);
        loader.open();
        zrhost::EventList events;
        events.addGraphStart(0).addText(0, 0, u"base.zrw").addInt(0, 2, 0).addInt(0, 3, 1);
        loader.processBlock(events);
        const auto status = loader.floatsSent(8);
        check(!status.empty());
        loaded = status.back() == 1.0f;
    }
    float header3 = 0.0f;
    if (size >= 16) std::memcpy(&header3, data + 12, sizeof header3);
    const bool whole = size >= static_cast<std::size_t>(wt::kFileBytes);
    check(loaded == (whole && wt::hasValidFormat(header3)));
    if (loaded) check(std::memcmp(slot, data, static_cast<std::size_t>(wt::kFileBytes)) == 0);
    for (int i = loaded ? wt::kFileEntries : 0; i < wt::kSlotEntries; ++i)
        check(slot[i] == -7.0f);
    return 0;
}
