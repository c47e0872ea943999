// Patch files: reads a patch from JSON (docs/patch-format.md) and resolves it against a
// library's module catalog into the engine's form (host/patch.h), so that every pin is known by
// index, direction and datatype before any module is created.
//
// Threads: pure parsing, any thread.
#pragma once

#include "host/module_catalog.h"
#include "host/patch.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zrhost {

struct PatchOptions {
    // Module instances whose GUI half must be created even if no pin of it is named.
    std::vector<std::string> guiModules;
    // Folder that relative "folder" entries and the default folder refer to.
    std::filesystem::path baseFolder;
};

using PatchJson = nlohmann::ordered_json;

// Resolves a parsed patch document. `file` names the patch in messages. Throws PatchError.
Patch resolvePatch(const PatchJson& doc, const std::string& file, const ModuleCatalog& catalog,
                   const PatchOptions& options = {});
// Parses JSON text and resolves it. Throws PatchError, also for malformed JSON (with line and
// column).
Patch parsePatch(std::string_view text, const std::string& file, const ModuleCatalog& catalog,
                 const PatchOptions& options = {});
// Reads a patch file; relative folders refer to the file's own folder unless options say.
Patch loadPatchFile(const std::filesystem::path& path, const ModuleCatalog& catalog,
                    PatchOptions options = {});

} // namespace zrhost
