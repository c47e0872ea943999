// "ZR-MOD CS" driven as a host drives it and measured on both MIDI outputs: the key split, the
// polyphony limiter (never more than Voices notes on output A, stealing the oldest or the
// newest), releases on the stolen note's channel, controller 123 and resets, copy mode, hostile
// settings and messages, and a random stream that must leave no note hanging.
#include "tests/midi/midi_rig.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace miditest;

namespace {

constexpr gmpi::int32 kIn = 0, kOutA = 1, kMode = 2, kVoices = 3, kRotate = 4, kSteal = 5,
                      kParam6 = 6, kOn = 8, kChannel = 9, kOutB = 10, kALow = 11, kAHigh = 12,
                      kBLow = 13, kBHigh = 14;

struct Settings {
    int mode = 0, voices = 2, rotate = 0, steal = 0, channel = -1;
    int aLow = 0, aHigh = 59, bLow = 60, bHigh = 127;
};

void configure(Rig& rig, const Settings& s) {
    rig.setInt(kMode, s.mode).setInt(kVoices, s.voices).setInt(kRotate, s.rotate);
    rig.setInt(kSteal, s.steal).setInt(kChannel, s.channel).setInt(kOn, 1);
    rig.setInt(kALow, s.aLow).setInt(kAHigh, s.aHigh).setInt(kBLow, s.bLow);
    rig.setInt(kBHigh, s.bHigh).run();
}

// Sends each message in its own block and returns what came out on A and B.
struct Outputs {
    std::vector<Bytes> a, b;
};
Outputs play(Rig& rig, const std::vector<Bytes>& messages) {
    for (const auto& m : messages)
        rig.midi(0, kIn, m).run();
    return {rig.takeBytes(kOutA), rig.takeBytes(kOutB)};
}

struct Case {
    const char* what;
    Settings settings;
    std::vector<Bytes> in;
    std::vector<Bytes> a, b;
};

const Case kCases[] = {
    {"voices 2, no stealing: the third note is dropped",
     {.voices = 2},
     {noteOn(0, 40, 1), noteOn(0, 41, 2), noteOn(0, 42, 3)},
     {noteOn(0, 40, 1), noteOn(0, 41, 2)},
     {}},
    {"steal mode 2 releases the newest (age 2) and takes its slot",
     {.voices = 2, .steal = 2},
     {noteOn(0, 40, 1), noteOn(0, 41, 2), noteOn(0, 42, 3)},
     {noteOn(0, 40, 1), noteOn(0, 41, 2), noteOn(0, 41, 0), noteOn(0, 42, 3)},
     {}},
    {"steal mode 1 releases the oldest, one note per note-on",
     {.voices = 2, .steal = 1},
     {noteOn(0, 40, 1), noteOn(0, 41, 2), noteOn(0, 42, 3), noteOn(0, 43, 4), noteOn(0, 44, 5)},
     {noteOn(0, 40, 1), noteOn(0, 41, 2), noteOn(0, 40, 0), noteOn(0, 42, 3), noteOn(0, 41, 0),
      noteOn(0, 43, 4), noteOn(0, 42, 0), noteOn(0, 44, 5)},
     {}},
    {"a stolen note is released on its own channel",
     {.voices = 1, .steal = 1},
     {noteOn(2, 40, 1), noteOn(6, 41, 2)},
     {noteOn(2, 40, 1), noteOn(2, 40, 0), noteOn(6, 41, 2)},
     {}},
    {"note-offs free their voice; range B passes unchanged",
     {.voices = 1},
     {noteOn(0, 40, 1), noteOff(0, 40, 9), noteOn(0, 41, 2), noteOn(0, 70, 3), noteOff(0, 70, 4)},
     {noteOn(0, 40, 1), noteOff(0, 40, 9), noteOn(0, 41, 2)},
     {noteOn(0, 70, 3), noteOff(0, 70, 4)}},
    {"a note-off without a voice is not forwarded on A",
     {.voices = 1},
     {noteOff(0, 40), noteOn(0, 40, 0)},
     {},
     {}},
    {"a note in both ranges takes both paths",
     {.aLow = 40, .aHigh = 70, .bLow = 60, .bHigh = 90},
     {noteOn(1, 65, 100)},
     {noteOn(1, 65, 100)},
     {noteOn(1, 65, 100)}},
    {"copy mode with Voices 5: channels 1 to 3 on A, its own on B",
     {.mode = 1, .voices = 5},
     {noteOn(7, 65, 100), noteOff(7, 65, 1), {0xA7, 65, 1}},
     {noteOn(0, 65, 100), noteOn(1, 65, 100), noteOn(2, 65, 100), noteOff(0, 65, 1),
      noteOff(1, 65, 1), noteOff(2, 65, 1)},
     {noteOn(7, 65, 100), noteOff(7, 65, 1)}},
    {"copy mode with Voices -1 copies nothing onto A",
     {.mode = 1, .voices = -1},
     {noteOn(3, 65, 100)},
     {},
     {noteOn(3, 65, 100)}},
    {"Voices 9 is limited to 8",
     {.voices = 9},
     {noteOn(0, 1, 1), noteOn(0, 2, 1), noteOn(0, 3, 1), noteOn(0, 4, 1), noteOn(0, 5, 1),
      noteOn(0, 6, 1), noteOn(0, 7, 1), noteOn(0, 8, 1), noteOn(0, 9, 1)},
     {noteOn(0, 1, 1), noteOn(0, 2, 1), noteOn(0, 3, 1), noteOn(0, 4, 1), noteOn(0, 5, 1),
      noteOn(0, 6, 1), noteOn(0, 7, 1), noteOn(0, 8, 1)},
     {}},
    {"Voices 0 and below pass nothing on A", {.voices = 0, .steal = 1}, {noteOn(0, 1, 1)}, {}, {}},
    {"Voices -4", {.voices = -4, .steal = 2}, {noteOn(0, 1, 1)}, {}, {}},
    {"a range with low above high holds no note",
     {.aLow = 50, .aHigh = 40, .bLow = 90, .bHigh = 80},
     {noteOn(0, 45, 1), noteOn(0, 85, 1)},
     {},
     {}},
    {"split keys outside 0..127 widen the range",
     {.aLow = -10, .aHigh = 300, .bLow = 128, .bHigh = 500},
     {noteOn(0, 0, 1), noteOn(0, 127, 1)},
     {noteOn(0, 0, 1), noteOn(0, 127, 1)},
     {}},
    {"only the accepted channel",
     {.channel = 4},
     {noteOn(3, 40, 1), noteOn(4, 41, 1), noteOn(4, 70, 1)},
     {noteOn(4, 41, 1)},
     {noteOn(4, 70, 1)}},
    {"malformed messages are ignored, a loud velocity is clamped",
     {},
     {{},
      {0x90},
      {0x90, 40},
      {0x90, 40, 1, 0},
      {0x90, 200, 1},
      {0x40, 0x7F, 0x10},
      {0xF0, 0xF7},
      {0x90, 41, 255}},
     {noteOn(0, 41, 127)},
     {}},
};

TEST(ZrmodCS, SplitLimitStealAndCopy) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        Rig rig(u"ZR-MOD CS", {});
        configure(rig, c.settings);
        const auto out = play(rig, c.in);
        EXPECT_EQ(out.a, c.a);
        EXPECT_EQ(out.b, c.b);
    }
}

TEST(ZrmodCS, AllNotesOffFreesEveryVoice) {
    // With 8 voices and no stealing, all eight voices are free again after controller 123:
    // eight new notes all sound.
    Rig rig(u"ZR-MOD CS", {});
    configure(rig, {.voices = 8});
    std::vector<Bytes> first, second;
    for (int k = 0; k < 8; ++k) {
        first.push_back(noteOn(5, 10 + k, 1));
        second.push_back(noteOn(5, 30 + k, 1));
    }
    play(rig, first);
    auto out = play(rig, {allNotesOff(5)});
    EXPECT_EQ(out.a, std::vector<Bytes>{allNotesOff(5)});
    EXPECT_EQ(out.b, std::vector<Bytes>{allNotesOff(5)});
    EXPECT_EQ(play(rig, second).a, second);
    // A controller 123 on another channel frees nothing of channel 6's voices.
    out = play(rig, {allNotesOff(1), noteOn(5, 50, 1)});
    EXPECT_EQ(out.a, std::vector<Bytes>{allNotesOff(1)});
}

TEST(ZrmodCS, ResetsSilenceEveryChannelThatSounded) {
    Rig rig(u"ZR-MOD CS", {});
    configure(rig, {.voices = 4});
    EXPECT_TRUE(play(rig, {}).a.empty()) << "the first reset sends nothing";
    play(rig, {noteOn(3, 40, 1), noteOn(9, 80, 1)});
    rig.setInt(kParam6, 1).run();
    EXPECT_EQ(rig.takeBytes(kOutA), (std::vector<Bytes>{allNotesOff(0), allNotesOff(3)}));
    EXPECT_EQ(rig.takeBytes(kOutB), (std::vector<Bytes>{allNotesOff(0), allNotesOff(9)}));
    rig.setInt(kOn, 0).run(); // switching off resets again: only channel 1 now
    EXPECT_EQ(rig.takeBytes(kOutA), std::vector<Bytes>{allNotesOff(0)});
    EXPECT_TRUE(play(rig, {noteOn(0, 40, 1)}).a.empty()) << "off ignores messages";
}

TEST(ZrmodCS, NotesArrivingWithTheFirstSettingsAreSilencedByTheFirstReset) {
    // The first settings and a note share the graph-start event group: the note passes before
    // the settings reset the limiter, so the reset silences it rather than losing its voice.
    Rig rig(u"ZR-MOD CS", {});
    rig.midi(0, kIn, noteOn(2, 40, 1));
    configure(rig, {.voices = 2});
    EXPECT_EQ(rig.takeBytes(kOutA), (std::vector<Bytes>{noteOn(2, 40, 1), allNotesOff(2)}));
    EXPECT_TRUE(play(rig, {noteOff(2, 40)}).a.empty());
}

// A random stream of note-ons, note-offs, controller 123 and setting changes on four channels.
// Output A is followed as a set of sounding notes: it never holds more than Voices, and once the
// stream has released every note it played, nothing sounds on A.
TEST(ZrmodCS, RandomStreamNeverExceedsVoicesAndLeavesNoNoteHanging) {
    for (int voices : {1, 3, 8})
        for (int steal : {0, 1, 2})
            for (int rotate : {0, 1}) {
                SCOPED_TRACE(testing::Message()
                             << "voices " << voices << " steal " << steal << " rotate " << rotate);
                Rig rig(u"ZR-MOD CS", {});
                configure(rig, {.voices = voices,
                                .rotate = rotate,
                                .steal = steal,
                                .aLow = 30,
                                .aHigh = 60,
                                .bLow = 50,
                                .bHigh = 80});
                std::mt19937 rng(static_cast<unsigned>(voices * 100 + steal * 10 + rotate));
                std::map<std::pair<int, int>, int> held;     // by the stream
                std::map<std::pair<int, int>, int> sounding; // on output A
                int maxSounding = 0;
                auto follow = [&] {
                    for (const auto& m : rig.takeBytes(kOutA)) {
                        const int c = m[0] & 0x0F;
                        if ((m[0] & 0xF0) == 0xB0) {
                            std::erase_if(sounding, [c](auto& e) { return e.first.first == c; });
                            continue;
                        }
                        auto& n = sounding[{c, m[1]}];
                        if ((m[0] & 0xF0) == 0x90 && m[2] > 0)
                            ++n;
                        else if (n > 0)
                            --n;
                        int total = 0;
                        for (auto& [k, v] : sounding)
                            total += v;
                        maxSounding = std::max(maxSounding, total);
                    }
                    rig.takeBytes(kOutB);
                };
                for (int e = 0; e < 10000; ++e) {
                    const int c = static_cast<int>(rng() % 4),
                              note = 25 + static_cast<int>(rng() % 40);
                    const unsigned pick = rng() % 100;
                    if (pick < 50) {
                        rig.midi(static_cast<int>(rng() % 64), kIn,
                                 noteOn(c, note, 1 + rng() % 127));
                        ++held[{c, note}];
                    } else if (pick < 95) {
                        rig.midi(static_cast<int>(rng() % 64), kIn,
                                 pick < 75 ? noteOff(c, note) : noteOn(c, note, 0));
                        if (held[{c, note}] > 0) --held[{c, note}];
                    } else if (pick < 98) {
                        rig.midi(0, kIn, allNotesOff(c));
                    } else {
                        rig.setInt(kParam6, static_cast<int>(rng() % 5));
                    }
                    if (e % 4 == 3) {
                        rig.run();
                        follow();
                    }
                }
                for (auto& [key, n] : held)
                    for (; n > 0; --n)
                        rig.midi(0, kIn, noteOff(key.first, key.second));
                rig.run();
                follow();
                EXPECT_LE(maxSounding, voices);
                EXPECT_GT(maxSounding, 0);
                for (auto& [key, n] : sounding)
                    EXPECT_EQ(n, 0) << "hanging: channel " << key.first << " note " << key.second;
            }
}

} // namespace
