// Standard MIDI Files for zrhost: reading a file's messages with their times in seconds (a
// MIDI-file source of a patch), and writing the messages a MIDI output sent during a render.
// Both go through libsmf.
//
// Threads: any thread, one file at a time per call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace zrhost {

// A file that cannot be read as a MIDI file; what() is the problem, without the file name.
class MidiFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct TimedMessage {
    double seconds = 0.0;
    std::vector<std::uint8_t> bytes;
};

// Every channel message and SysEx message of every track, in time order (meta events, which
// only describe the file, are left out). Throws MidiFileError for a file that is not a MIDI
// file, has no tracks, a division of 0 or a tempo of 0.
std::vector<TimedMessage> readMidiFile(const std::filesystem::path& path);

// Writes `messages` (time order) as a one-track file at 960 pulses per quarter note and the
// default tempo. The file appears whole or not at all. Throws OutputError.
void writeMidiFile(const std::filesystem::path& path, const std::vector<TimedMessage>& messages);

} // namespace zrhost
