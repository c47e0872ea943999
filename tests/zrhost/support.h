// Shared pieces of the zrhost tests: the module library and its catalog (loaded once), patches
// from JSON text, rendering to per-channel sample vectors, and measurements on the output.
#pragma once

#include "host/engine.h"
#include "host/module_catalog.h"
#include "host/module_library.h"
#include "tools/zrhost/patch_file.h"

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace zrtest {

zrhost::ModuleLibrary& library();
const zrhost::ModuleCatalog& catalog();
std::filesystem::path scratch();

// The table loader filling the three slots with the standard tables, as a "modules" entry.
extern const char* const kTablesModule;

// Resolves a patch written as JSON; relative folders refer to the scratch folder.
zrhost::Patch patchOf(const std::string& json, const zrhost::PatchOptions& options = {});

// Renders the whole patch; result[channel][frame].
std::vector<std::vector<float>> render(zrhost::Engine& engine);
std::vector<std::vector<float>> render(const std::string& json);

// Frequency from upward zero crossings (linearly interpolated) after `skipSeconds`.
double frequencyOf(std::span<const float> signal, double sampleRate, double skipSeconds = 0.1);

float peakOf(std::span<const float> signal);

} // namespace zrtest
