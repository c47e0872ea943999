// The built-in demo: four bars of a bass line and a lead melody, each voice an oscillator
// through a resonant filter swept by an envelope and shaped by a second envelope used as its
// amplifier, with the lead's cutoff and pulse width moving over the piece. It needs only the
// standard wavetables, which the host writes into its cache.
#pragma once

#include "tools/zrhost/patch_file.h"

namespace zrhost {

// The demo as a patch document, in the format of docs/patch-format.md.
PatchJson demoPatch();

} // namespace zrhost
