// Warnings about a resolved patch that renders but probably not as meant: initial values and
// timed changes outside the range, or off the value names, that the module's description
// gives for the pin. The modules accept such values (most ignore them), so these are warnings.
#pragma once

#include "host/patch.h"

#include <cstdio>
#include <string>
#include <vector>

namespace zrhost {

// One line of text per suspect value, without the "warning: " prefix, in patch order.
std::vector<std::string> patchRangeWarnings(const Patch& patch);

// Writes each of them to `out` as one line starting with "warning: ".
void printPatchRangeWarnings(const Patch& patch, std::FILE* out = stderr);

} // namespace zrhost
