// Pin values in patch files: JSON values and the catalog's default texts turned into the bytes
// in which each datatype crosses the module boundary, and the words messages use for them.
// Private to zrhost's patch-file reading.
#pragma once

#include "host/module_catalog.h"
#include "host/patch.h"
#include "tools/zrhost/patch_file.h"

#include <optional>
#include <string>
#include <string_view>

namespace zrhost {

// `v` as a value of the datatype of `target`. Throws PatchError (file, place) naming the pin and
// what it expects when `v` is not one.
PinValue pinValueOf(const PatchJson& v, const PinAddress& target, const std::string& file,
                    const std::string& place);

// The catalog's default for an input the patch leaves out, when its text reads as the pin's
// datatype; nothing otherwise.
std::optional<PinValue> defaultValueOf(const PinInfo& info);

// What a JSON value is, in words: "a number", "text", "a list", ...
const char* jsonKind(const PatchJson& v);

// The text in double quotes.
std::string inQuotes(std::string_view s);

} // namespace zrhost
