// The MIDI parts of a patch file: voice groups ("voices": a sub-patch played by N voices),
// MIDI-file sources ("midiFiles") and MIDI outputs kept as files ("midiOut"). Voice groups are
// expanded into ordinary modules before the patch is resolved; the rest is attached to the
// resolved patch (docs/patch-format.md, "MIDI and voices").
//
// Threads: pure parsing (and reading the MIDI files named), any thread.
#pragma once

#include "host/patch.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

namespace zrhost {

// What the expansion leaves for after resolution, with the places to name in messages.
struct PatchMidiEntries {
    struct Target {
        int group = 0, voice = 0;
        VoiceSource source = VoiceSource::Gate;
        std::string pin, place; // "module.pin" of the expanded patch
    };
    struct Source {
        int group = 0;
        std::string pin, place; // a MIDI output feeding the group
    };
    struct FileSource {
        std::filesystem::path file;
        int group = -1;         // a voice group, or
        std::string pin, place; // a MIDI input
    };
    struct Capture {
        std::string pin, place;
        std::filesystem::path file;
    };
    struct Group {
        std::string name;
        int count = 0;
        std::vector<std::vector<std::string>> modules; // by voice, expanded names
    };
    std::vector<Group> groups;
    std::vector<Target> targets;
    std::vector<Source> sources;
    std::vector<FileSource> files;
    std::vector<Capture> captures;
};

// Returns the document with its voice groups expanded and the MIDI entries taken out (recorded
// in `entries`). Throws PatchError.
nlohmann::ordered_json expandMidiEntries(const nlohmann::ordered_json& doc, const std::string& file,
                                         PatchMidiEntries& entries);

// Attaches the recorded entries to the resolved patch: voice groups with their targets and
// sources, the MIDI files' messages as timed changes (read from `baseFolder`), and the MIDI
// outputs to capture. Throws PatchError.
void attachMidiEntries(Patch& patch, const PatchMidiEntries& entries,
                       const std::filesystem::path& baseFolder);

} // namespace zrhost
