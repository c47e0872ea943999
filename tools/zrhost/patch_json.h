// Patch-file text to a JSON document: refuses what a document must not hold (deep nesting,
// duplicate keys, numbers out of range) with the place, and reads large patches in linear time.
// Private to zrhost's patch-file reading.
#pragma once

#include "tools/zrhost/patch_file.h"

#include <string>
#include <string_view>

namespace zrhost {

// The document in `text`; `file` names the patch in messages. Throws PatchError.
PatchJson readPatchJson(std::string_view text, const std::string& file);

} // namespace zrhost
