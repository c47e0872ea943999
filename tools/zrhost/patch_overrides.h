// Pin values set on the command line (`--set module.pin=value`, on render and play): each one
// replaces the initial value the patch file gave the pin, or its default.
//
// Threads: pure data, any thread.
#pragma once

#include "host/patch.h"

#include <string>
#include <vector>

namespace zrhost {

// Applies each "module.pin=value" in order (a later one for the same pin wins). The pin is
// named as in a patch file ("Pitch", "3", "gui.Capture"); names match exactly, else ignoring
// case. Text and blob pins take the value's text as it is; other pins read it as a patch file's
// JSON value would be read (0.25, 3, true). Timed automation of the pin still applies at its
// time. Throws PatchError (file "--set") naming the setting and what is wrong with it.
void applyPinOverrides(Patch& patch, const std::vector<std::string>& settings);

} // namespace zrhost
