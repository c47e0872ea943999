// Rendering a patch into a sound file, and what zrhost tells the user about it: a progress bar
// on a terminal, one summary line afterwards, and warnings for outputs that are probably not
// what was meant (silence, a table that did not load, automation after the end, clipping).
//
// Threads: the caller's thread only.
#pragma once

#include "host/engine.h"
#include "host/module_library.h"
#include "host/patch.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace zrhost {

// How much zrhost says about a render: Quiet leaves out the summary line and the progress bar
// (warnings and errors stay); Verbose adds the modules and the time spent.
enum class Verbosity { Quiet, Normal, Verbose };

// A bar on standard error for renders that take more than a second; nothing when standard
// error is not a terminal or the user asked for quiet.
class Progress {
  public:
    Progress(std::string label, Verbosity verbosity);
    ~Progress() { finish(); }
    void update(double fraction);
    void finish();

  private:
    using Clock = std::chrono::steady_clock;
    std::string label_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_, lastDraw_;
};

// Refuses what cannot give a finite output before anything is created: an output gain beyond
// what a float holds. Throws PatchError naming the place.
void checkOutputGains(const Patch& patch);

// Renders `patch` into `out` ("-": standard output) in the format the name or `formatOption`
// chooses (see sound_file.h), writes its captured MIDI files, and reports. Throws PatchError,
// FormatError, OutputError; also OutputError, after the file is written, when some samples
// were NaN or infinite.
void renderToSoundFile(ModuleLibrary& library, Patch patch, const std::filesystem::path& out,
                       const std::string& formatOption, Verbosity verbosity);

} // namespace zrhost
