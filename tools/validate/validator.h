// The cases every module half of a library must pass, in the manner of the plug-in validators
// audio developers use: creation and destruction in a loop; opening at 22.05 to 192 kHz;
// random block sizes (1 to 4096) and random event times; every input fed silence, denormals,
// NaN, infinities, huge and random values; outputs finite whenever the inputs are; guard zones
// around every audio buffer; no allocation or lock while process runs (when the program has
// the hooks, see audio_thread_watch.h); re-opening; GUI halves painted at degenerate sizes.
//
// Each case runs in the calling process and returns what went wrong; isolating cases in child
// processes with a timeout is the caller's part (zrhost does so on Linux). Every random choice
// comes from the case's seed, so a seed reproduces a failure exactly.
//
// Threads: one case at a time, all on the calling thread (it plays both audio and UI thread).
#pragma once

#include "host/module_catalog.h"
#include "host/module_library.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zrvalidate {

enum class Half { Audio, Gui };

enum class Case {
    CreateDestroy,
    SampleRates,
    BlockSizes,
    Silence,
    Denormals,
    NaN,
    Infinities,
    HugeValues,
    RandomValues,
    Reopen,
    GuiValues,
    GuiPaint,
};

const char* caseName(Case c);
const char* halfName(Half h);

// The cases of one half, in the order they run.
std::vector<Case> casesFor(Half half);

// The seed of one case, derived from the run's seed, the identifier and the case, so that a
// case draws the same numbers whether it runs alone (--only) or among all.
std::uint64_t caseSeed(std::uint64_t runSeed, std::string_view id, Case c);

// Whether the library builds this half of `id` (createInstance succeeds).
bool hasHalf(zrhost::ModuleLibrary& library, std::string_view id, Half half);

// Pins of a library without a catalog (the Windows DLL exports none): every pin index below 64
// that takes a buffer is listed as an audio input, and values of every type are sent to them.
// `blind` in the result says the pin types were not known.
struct Subject {
    zrhost::ModuleInfo info;
    bool blind = false;
};
Subject probeSubject(zrhost::ModuleLibrary& library, std::string_view id);
Subject catalogSubject(const zrhost::ModuleInfo& info);

// Runs one case of one half in this process. Returns an empty string when it passes, else one
// line saying what failed (the block, the sample rate, the pin ...).
std::string runCase(zrhost::ModuleLibrary& library, const Subject& subject, Half half, Case c,
                    std::uint64_t seed);

// What a module's own rules allow beyond the general cases, each with its reason (null: not
// allowed). `nonFinite`: outputs that are not finite for finite input. `allocatesOnValues`: a
// block that delivers a control value may allocate on the audio thread (blocks of audio alone
// must not).
struct ModuleAllowance {
    const char* nonFinite = nullptr;
    const char* allocatesOnValues = nullptr;
};
ModuleAllowance allowanceFor(std::string_view id);

} // namespace zrvalidate
