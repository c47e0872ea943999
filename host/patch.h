// A patch as the engine runs it: the module instances, their initial pin values, the
// connections between them, timed pin changes and the pins that feed the output channels, every
// pin already known by index, direction and datatype. Patch files are read into this form by
// the command-line host (tools/zrhost/patch_file.h); tests and benchmarks may build one directly.
//
// Threads: plain data, any thread. A Patch owns all its data.
#pragma once

#include "framework/mp_interfaces.h"
#include "host/module_catalog.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zrhost {

// A patch that cannot be used, with the file, the place in it and the problem. what() is the
// one-line message "file: place: problem".
class PatchError : public std::runtime_error {
  public:
    PatchError(std::string file, std::string place, std::string problem);
    const std::string& file() const { return file_; }
    const std::string& place() const { return place_; }
    const std::string& problem() const { return problem_; }

  private:
    std::string file_, place_, problem_;
};

// Limits of the render settings; values outside are refused as impossible.
inline constexpr double kMinSampleRate = 1000.0;
inline constexpr double kMaxSampleRate = 768000.0;
inline constexpr gmpi::int32 kMaxBlockSize = 8192;
inline constexpr double kMaxSeconds = 3600.0;

enum class Half { Audio, Gui };

// One pin of one module instance of the patch.
struct PinAddress {
    int module = -1; // index into Patch::modules
    Half half = Half::Audio;
    gmpi::int32 pin = 0;
    gmpi::PinDirection direction = gmpi::DirectionIn;
    gmpi::PinDatatype datatype = gmpi::DatatypeFloat;
    std::string text; // as the patch wrote it, for messages

    // Pin `pin` of a module's half, named `text` in messages.
    static PinAddress of(int module, Half half, const PinInfo& pin, std::string text) {
        return {module, half, pin.id, pin.direction, pin.datatype, std::move(text)};
    }

    bool operator==(const PinAddress& o) const {
        return module == o.module && half == o.half && pin == o.pin;
    }
};

// A value in the byte form in which it crosses the module boundary (audio: one float).
struct PinValue {
    gmpi::PinDatatype datatype = gmpi::DatatypeFloat;
    std::vector<std::uint8_t> bytes;

    float asFloat() const;
    static PinValue ofFloat(gmpi::PinDatatype datatype, float value);
};

struct PatchModule {
    std::string name;
    std::string id;
    bool audio = false; // halves the host creates
    bool gui = false;
    std::vector<PinInfo> audioPins; // from the catalog
    std::vector<PinInfo> guiPins;
    // Initial values: the patch's, and the catalog's defaults for input pins it leaves out.
    std::vector<std::pair<PinAddress, PinValue>> values;
};

struct PatchConnection {
    PinAddress from;      // an output
    PinAddress to;        // an input
    bool delayed = false; // asked for in the file; the engine also delays loop-closing ones
    std::string place;
};

// A timed pin change. On audio inputs a ramp glides from the value in effect to the new one.
struct PatchChange {
    double seconds = 0.0;
    PinAddress pin;
    int voiceGroup = -1; // >= 0: a MIDI message for that voice group instead of `pin`
    PinValue value;      // for MIDI inputs: the message
    double rampSeconds = 0.0;
    std::string place;
};

struct OutputSource {
    PinAddress pin; // an audio output
    float gain = 1.0f;
};

// What the host offers each voice of a voice group, and drives on its pins.
enum class VoiceSource { Gate, Pitch, Velocity, Active };

// A voice sub-patch played by `count` voices. Its modules are ordinary modules of the patch
// (one copy per voice); the group allocates voices to the notes of the MIDI it receives and
// drives, for each voice, the pins bound to each source: gate (1 while the key is held, else
// 0), pitch (1 V per octave, 0.5 at key 69, 440 Hz), velocity (0..1) and activity (the pins a
// description binds to "Voice/Active": 1 while the voice plays, 0 after release, -1 when stolen).
struct VoiceGroup {
    std::string name;
    int count = 0;
    std::vector<std::vector<int>> modules; // by voice: indices into Patch::modules
    struct Target {
        int voice = 0;
        VoiceSource source = VoiceSource::Gate;
        PinAddress pin; // an input of one of that voice's modules
    };
    std::vector<Target> targets;
    std::vector<PinAddress> midiSources; // MIDI outputs feeding the group
};

// A MIDI output whose messages the host keeps (to write them to a file).
struct MidiCapture {
    PinAddress pin;
    std::filesystem::path file;
};

// One WAV channel: the sum of its sources.
struct OutputChannel {
    std::vector<OutputSource> sources;
};

struct Patch {
    std::string file; // as named in messages
    float sampleRate = 44100.0f;
    gmpi::int32 blockSize = 64;
    double seconds = 4.0;
    // Folder against which getFullPath resolves file names.
    std::filesystem::path folder;
    // Whether the host must provide the standard wavetable files (see wavetable_cache.h).
    bool standardWavetables = false;
    bool folderGiven = false;
    std::vector<PatchModule> modules;
    std::vector<PatchConnection> connections;
    std::vector<PatchChange> changes; // sorted by time, stable
    std::vector<OutputChannel> outputs;
    std::vector<VoiceGroup> voiceGroups;
    std::vector<MidiCapture> midiCaptures;

    int findModule(std::string_view name) const;
    // Frames to render: seconds × rate, rounded.
    std::int64_t totalFrames() const;
};

// The frame at `seconds` at `rate`, rounded. Times past any render (up to infinity) give
// kNeverFrame, so that a change that far away never comes and a glide that long only creeps.
inline constexpr std::int64_t kNeverFrame = std::int64_t{1} << 62;
std::int64_t framesAt(double seconds, double rate);

// Checks render settings and stores them; `place` names the setting in the message (a patch
// entry or a command-line option). Throws PatchError.
void setSampleRate(Patch& patch, double rate, const std::string& place);
void setBlockSize(Patch& patch, double size, const std::string& place);
void setSeconds(Patch& patch, double seconds, const std::string& place);

} // namespace zrhost
