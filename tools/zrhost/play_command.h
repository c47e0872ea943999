// `zrhost play PATCH`: renders a patch in real time into the machine's audio server through
// JACK (PipeWire serves JACK clients too), from a render thread through a lock-free queue of
// blocks to the server's callback, until the patch ends or Ctrl-C.
#pragma once

#include "host/module_catalog.h"
#include "host/module_library.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace zrhost {

struct PlayArguments {
    std::filesystem::path patchFile;
    double seconds = 0;
    CLI::Option* secondsOpt = nullptr;
    std::vector<std::string> settings; // --set module.pin=value
};

// Adds the subcommand to `app`; the parsed arguments land in `args`.
CLI::App* addPlayCommand(CLI::App& app, PlayArguments& args);

// No audio server to play into (none running, or this build has no JACK): bad input as far as
// the exit status goes, since the user's machine, not zrhost, has to change.
class AudioServerError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Plays the patch at the server's sample rate, then writes one line on standard error (MIDI
// captures are not written: play leaves no files behind):
// "played N frames in M callbacks, U underruns, worst callback X µs of Y µs period".
// Returns the exit status: 0 when the patch played to its end, 128 + the signal when SIGINT or
// SIGTERM stopped it. Throws PatchError, AudioServerError, or std::runtime_error when the
// server goes away while playing.
int playPatchFile(ModuleLibrary& library, const ModuleCatalog& catalog, const PlayArguments& args);

} // namespace zrhost
