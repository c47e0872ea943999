// Fuzz target for the patch reader: the input is a patch file's text, read and resolved against
// the shipped library's catalog. A patch that cannot be used must be refused with a PatchError;
// any other exception, crash or hang is a finding.
#include "tools/zrhost/patch_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const zrhost::ModuleCatalog& catalog =
        zrhost::sharedModuleCatalog(ZR_MODULE_LIBRARY_PATH);
    zrhost::PatchOptions options;
    // Relative file names (MIDI files) lead nowhere.
    options.baseFolder = "/nonexistent/zr-fuzz";
    try {
        zrhost::parsePatch(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.json",
                           catalog, options);
    } catch (const zrhost::PatchError&) {
    }
    return 0;
}
