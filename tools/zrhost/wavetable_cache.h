// The standard wavetable files (sine, triangle, saw and square tables for the oscillators),
// generated once into a cache folder so that patches and the demo need no files of their own.
//
// Generation writes into a fresh folder that is renamed into place, so concurrent renders
// (parallel tests, say) never read a half-written table.
#pragma once

#include "host/patch.h"

#include <filesystem>
#include <stdexcept>

namespace zrhost {

// The number in the standard tables' file names (osc-saw-1.zrw, ...).
inline constexpr int kStandardTableNumber = 1;
// The loader's file name for the folder: the loader keeps its folder and names each slot's file.
inline constexpr const char* kStandardTableFile = "base.zrw";

class WavetableError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// $ZRHOST_CACHE_DIR, else $XDG_CACHE_HOME/zrhost, else ~/.cache/zrhost, else a folder in the
// system's temporary folder; with a subfolder naming the table set.
std::filesystem::path standardWavetableFolder();

// Whether `folder` holds every standard table at its full size.
bool hasStandardWavetables(const std::filesystem::path& folder);

// Makes sure `folder` holds the standard tables, writing them if needed. Throws
// WavetableError.
void ensureStandardWavetables(const std::filesystem::path& folder);

// For a patch that asks for the standard tables: points its file folder at the cache and makes
// sure the tables are there. Nothing is written anywhere else; a patch that names its own
// folder is refused (WavetableError).
void prepareWavetables(Patch& patch);

} // namespace zrhost
