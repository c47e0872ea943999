// The standard wavetables in zrhost's cache folder: found, or generated and renamed into place.
#include "tools/zrhost/wavetable_cache.h"

#include "modules/oscillators/Wavetables.h"

#if ZRHOST_HAS_WAVETABLE_GENERATOR
#include "tools/zrwgen/zrw.h"
#endif

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace zrhost {

namespace {

namespace fs = std::filesystem;

std::vector<std::string> standardFiles() {
    std::vector<std::string> names{kStandardTableFile};
    for (const char* stem : {"sine", "tri", "saw", "sqr"})
        names.push_back(std::string("osc-") + stem + "-" + std::to_string(kStandardTableNumber) +
                        ".zrw");
    return names;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace

fs::path standardWavetableFolder() {
    fs::path base;
    if (!env("ZRHOST_CACHE_DIR").empty())
        base = env("ZRHOST_CACHE_DIR");
    else if (!env("XDG_CACHE_HOME").empty())
        base = fs::path(env("XDG_CACHE_HOME")) / "zrhost";
    else if (!env("HOME").empty())
        base = fs::path(env("HOME")) / ".cache" / "zrhost";
    else
        base = fs::temp_directory_path() / "zrhost-cache";
    // Bump the set's name when the generator's output changes.
    return base / "wavetables-1";
}

bool hasStandardWavetables(const fs::path& folder) {
    for (const auto& name : standardFiles()) {
        std::error_code ec;
        const auto size = fs::file_size(folder / name, ec);
        if (ec || size != static_cast<std::uintmax_t>(zr::wavetables::kFileBytes)) return false;
    }
    return true;
}

void ensureStandardWavetables(const fs::path& folder) {
    if (hasStandardWavetables(folder)) return;
#if ZRHOST_HAS_WAVETABLE_GENERATOR
    std::error_code ec;
    fs::create_directories(folder.parent_path(), ec);
    // A private folder beside the target, renamed into place when complete.
    std::random_device random;
    const fs::path fresh =
        folder.parent_path() / (folder.filename().string() + ".new-" + std::to_string(random()));
    try {
        zrw::writeStandardTables(fresh, kStandardTableNumber);
    } catch (const std::exception& e) {
        fs::remove_all(fresh, ec);
        throw WavetableError("cannot write the standard wavetables into " + fresh.string() + ": " +
                             e.what());
    }
    if (fs::exists(folder, ec) && !hasStandardWavetables(folder)) {
        // Left incomplete (by hand, say): the cache folder is zrhost's own, so its missing or
        // damaged tables are replaced.
        for (const auto& name : standardFiles())
            fs::copy_file(fresh / name, folder / name, fs::copy_options::overwrite_existing, ec);
        fs::remove_all(fresh, ec);
    } else {
        fs::rename(fresh, folder, ec);
        // Another process may have put its own complete set there first.
        if (ec) fs::remove_all(fresh, ec);
    }
    if (!hasStandardWavetables(folder))
        throw WavetableError("cannot write the standard wavetables into " + folder.string());
#else
    throw WavetableError("the standard wavetables are missing from " + folder.string() +
                         " and this zrhost was built without the wavetable generator");
#endif
}

void prepareWavetables(Patch& patch) {
    if (!patch.standardWavetables) return;
    // Tables are written into the cache folder and nowhere else; a patch with a folder of its
    // own provides its own tables (the patch reader refuses asking for both).
    if (patch.folderGiven)
        throw WavetableError("the standard wavetables go into the cache folder only, not into " +
                             patch.folder.string());
    patch.folder = standardWavetableFolder();
    ensureStandardWavetables(patch.folder);
}

} // namespace zrhost
