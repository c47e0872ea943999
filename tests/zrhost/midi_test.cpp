// MIDI in zrhost: Standard MIDI Files read and written, voice groups played from a MIDI file
// (pitch of each voice, idle voices silent, the voice mute's fades on release and on stealing,
// measured on the output), the key split's output kept as MIDI, and the host's voice allocation.
#include "tests/zrhost/support.h"

#include "host/voices.h"
#include "tools/zrhost/midi_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>

using zrhost::TimedMessage;
using zrhost::VoiceAction;
using zrhost::VoiceSource;

namespace {

constexpr int kRate = 48000;

TimedMessage on(double s, int key, int velocity = 100, int channel = 0) {
    return {s,
            {static_cast<std::uint8_t>(0x90 + channel), static_cast<std::uint8_t>(key),
             static_cast<std::uint8_t>(velocity)}};
}
TimedMessage off(double s, int key, int channel = 0) {
    return {s, {static_cast<std::uint8_t>(0x80 + channel), static_cast<std::uint8_t>(key), 0}};
}

// Writes `messages` as `name` in the scratch folder; returns the name.
std::string midiFile(const std::string& name, const std::vector<TimedMessage>& messages) {
    zrhost::writeMidiFile(zrtest::scratch() / name, messages);
    return name;
}

// A sine voice group of `voices` voices ending in a voice mute, played from `file`.
std::string sinePad(int voices, const std::string& file, double seconds) {
    return R"({"sampleRate": 48000, "seconds": )" + std::to_string(seconds) +
           R"(, "standardWavetables": true, "modules": {)" + zrtest::kTablesModule +
           R"(}, "voices": {"pad": {"count": )" + std::to_string(voices) +
           R"(, "modules": {"osc": {"id": "Osc ZRPM", "values": {"Gate": 1, "Wave": 0,
           "Sine Level": 0.3}}, "mute": "VL Voice Mute"},
           "connections": [["voice.Pitch", "osc.Pitch"], ["osc.Audio Out", "mute.Input1"]]}},
           "midiFiles": [{"file": ")" +
           file + R"(", "to": "pad.MIDI In"}], "output": ["pad.mute.Output"]})";
}

double keyHz(int key) {
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

std::span<const float> part(const std::vector<float>& y, double from, double to) {
    const auto a = static_cast<std::size_t>(from * kRate), b = static_cast<std::size_t>(to * kRate);
    return std::span<const float>(y).subspan(a, b - a);
}

TEST(MidiFiles, WrittenAndReadBack) {
    const std::vector<TimedMessage> sent = {on(0.0, 60),
                                            on(0.25, 64, 1, 3),
                                            off(1.0, 60),
                                            {1.5, {0xF0, 0x7E, 0x00, 0x09, 0x01, 0xF7}},
                                            off(2.0, 64, 3)};
    const auto read = zrhost::readMidiFile(zrtest::scratch() / midiFile("roundtrip.mid", sent));
    ASSERT_EQ(read.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(read[i].bytes, sent[i].bytes) << i;
        EXPECT_NEAR(read[i].seconds, sent[i].seconds, 1e-3) << i;
    }
}

TEST(MidiFiles, UnreadableFilesAreRefused) {
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"not a MIDI file", {'h', 'e', 'l', 'l', 'o'}},
        {"no tracks", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 0, 1, 0xE0}},
        {"division 0", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0}},
        {"tempo 0", {'M', 'T', 'h', 'd', 0,  0, 0,    6,    0, 0, 0, 1, 1, 0xE0, 'M',  'T', 'r',
                     'k', 0,   0,   0,   11, 0, 0xFF, 0x51, 3, 0, 0, 0, 0, 0xFF, 0x2F, 0}},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        const auto path = zrtest::scratch() / "bad.mid";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
        EXPECT_THROW(zrhost::readMidiFile(path), zrhost::MidiFileError);
        EXPECT_THROW(zrtest::patchOf(sinePad(1, "bad.mid", 0.1)), zrhost::PatchError);
    }
}

TEST(VoiceGroups, EachVoicePlaysItsKeyAndIdleVoicesAreSilent) {
    const auto file = midiFile("two.mid", {on(0.2, 57), on(0.2, 69), off(0.8, 57), off(0.8, 69),
                                           on(1.0, 76), off(1.4, 76)});
    const auto y = zrtest::render(sinePad(4, file, 1.6))[0];
    EXPECT_EQ(zrtest::peakOf(part(y, 0.0, 0.2)), 0.0f) << "no voice plays before the first key";
    // Two voices at once: their sum stays within two voice levels.
    EXPECT_LE(zrtest::peakOf(part(y, 0.3, 0.8)), 0.6f + 1e-4f);
    EXPECT_GT(zrtest::peakOf(part(y, 0.3, 0.8)), 0.45f);
    EXPECT_NEAR(zrtest::frequencyOf(part(y, 1.0, 1.4), kRate, 0.05), keyHz(76), keyHz(76) * 1e-3);
    EXPECT_EQ(zrtest::peakOf(part(y, 1.45, 1.6)), 0.0f) << "released voices fade to silence";
}

TEST(VoiceGroups, VoiceMuteFadesReleasedAndStolenVoices) {
    // One voice: the second key steals the first (5 ms fade, then the new key), the release
    // of the second fades over 20 ms.
    const auto file = midiFile("steal.mid", {on(0.1, 60), on(0.3, 67), off(0.4, 60), off(0.6, 67)});
    const auto y = zrtest::render(sinePad(1, file, 0.7))[0];
    EXPECT_NEAR(zrtest::frequencyOf(part(y, 0.1, 0.3), kRate, 0.02), keyHz(60), keyHz(60) * 1e-3);
    EXPECT_NEAR(zrtest::frequencyOf(part(y, 0.31, 0.6), kRate, 0.02), keyHz(67), keyHz(67) * 1e-3);
    const std::size_t steal = static_cast<std::size_t>(0.3 * kRate), fast = kRate / 200;
    // The stolen key fades: its last cycle before the steal is at full level, the last samples
    // of the 5 ms fade are near zero.
    EXPECT_GT(zrtest::peakOf(std::span<const float>(y).subspan(steal - 400, 400)), 0.29f);
    EXPECT_LT(zrtest::peakOf(std::span<const float>(y).subspan(steal + fast - 10, 10)), 0.01f);
    const std::size_t release = static_cast<std::size_t>(0.6 * kRate), slow = kRate / 50;
    EXPECT_GT(zrtest::peakOf(std::span<const float>(y).subspan(release + slow / 4, 100)), 0.1f);
    EXPECT_EQ(zrtest::peakOf(std::span<const float>(y).subspan(release + slow, 500)), 0.0f);
}

TEST(VoiceGroups, EventsPastTheEndAndKeySplitCapture) {
    // A file longer than the render still renders; the split's output A, tapped from the
    // engine, never holds more than its two voices and releases what it starts.
    const auto file = midiFile("long.mid", {on(0.05, 40), on(0.1, 41), on(0.15, 42), on(0.2, 70),
                                            off(0.3, 40), off(0.3, 41), off(0.3, 42), off(0.4, 70),
                                            on(30.0, 50), off(31.0, 50)});
    const std::string patch =
        R"({"sampleRate": 48000, "seconds": 0.5, "modules": {"split": {"id": "ZR-MOD CS",
        "values": {"Voices": 2, "Steal Mode": 1, "On": 1, "Channel": -1, "Range A High": 59,
        "Range B Low": 60, "Range B High": 127}}}, "voices": {"v": {"count": 2, "modules":
        {"mute": "VL Voice Mute"}}}, "connections": [["split.MIDI Out A", "v.MIDI In"]],
        "midiFiles": [{"file": ")" +
        file + R"(", "to": "split.MIDI In"}], "midiOut": [{"pin": "split.MIDI Out A", "file":
        "a.mid"}], "output": ["v.mute.Output"]})";
    zrhost::Engine engine(zrtest::library(), zrtest::patchOf(patch));
    std::vector<std::vector<std::uint8_t>> a;
    engine.setMidiTap(
        [&](std::size_t, std::int64_t, const std::uint8_t* b, int n) { a.emplace_back(b, b + n); });
    zrtest::render(engine);
    std::map<int, int> sounding;
    int most = 0, total = 0;
    for (const auto& m : a) {
        const bool start = (m[0] & 0xF0) == 0x90 && m[2] > 0;
        total += start ? 1 : (sounding[m[1]] > 0 ? -1 : 0);
        sounding[m[1]] += start ? 1 : (sounding[m[1]] > 0 ? -1 : 0);
        most = std::max(most, total);
    }
    EXPECT_EQ(most, 2);
    EXPECT_EQ(total, 0);
    EXPECT_EQ(a.size(), 6u) << "3 note-ons, 1 steal release, 2 note-offs: the stolen key's "
                               "own note-off holds no voice any more";
}

TEST(VoiceAllocation, ChoosesStealsAndReleases) {
    zrhost::VoiceAllocator alloc(2, 240);
    std::vector<VoiceAction> out;
    const auto send = [&](std::int64_t frame, std::vector<std::uint8_t> m) {
        out.clear();
        alloc.midi(frame, m.data(), static_cast<int>(m.size()), out);
        return out;
    };
    const auto voiceAndFrame = [](const std::vector<VoiceAction>& a, VoiceSource s, float v) {
        for (const auto& x : a)
            if (x.source == s && x.value == v) return std::make_pair(x.voice, x.frame);
        return std::make_pair(-1, std::int64_t{-1});
    };
    EXPECT_EQ(voiceAndFrame(send(0, {0x90, 60, 127}), VoiceSource::Gate, 1.0f),
              std::make_pair(0, std::int64_t{0}));
    auto a = send(10, {0x90, 69, 64});
    EXPECT_EQ(voiceAndFrame(a, VoiceSource::Gate, 1.0f), std::make_pair(1, std::int64_t{10}));
    EXPECT_EQ(voiceAndFrame(a, VoiceSource::Pitch, 0.5f).first, 1) << "key 69 is 5 V";
    EXPECT_EQ(voiceAndFrame(a, VoiceSource::Velocity, 64.0f / 127.0f).first, 1);
    // Both voices busy: the oldest (voice 0) is stolen at once and restarts 240 frames later.
    a = send(20, {0x90, 72, 100});
    EXPECT_EQ(voiceAndFrame(a, VoiceSource::Active, -1.0f), std::make_pair(0, std::int64_t{20}));
    EXPECT_EQ(voiceAndFrame(a, VoiceSource::Active, 1.0f), std::make_pair(0, std::int64_t{260}));
    // Releasing the stolen key does nothing; releasing 69 frees voice 1 (activity 0).
    EXPECT_TRUE(send(30, {0x80, 60, 0}).empty());
    EXPECT_EQ(voiceAndFrame(send(40, {0x90, 69, 0}), VoiceSource::Active, 0.0f),
              std::make_pair(1, std::int64_t{40}));
    // A free voice is taken before stealing; malformed messages do nothing.
    EXPECT_EQ(voiceAndFrame(send(50, {0x90, 50, 1}), VoiceSource::Gate, 1.0f).first, 1);
    EXPECT_TRUE(send(60, {0x90, 200, 1}).empty());
    EXPECT_TRUE(send(60, {0x90, 61}).empty());
    // All notes off releases every held voice of the channel.
    EXPECT_EQ(send(70, {0xB0, 123, 0}).size(), 4u);
}

} // namespace
