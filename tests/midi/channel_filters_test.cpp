// "zr midi all off" and "zr midi on off": channel forcing on the emitted messages, the
// all-notes-off on channel changes and gate closing (which channels, in which order, when),
// and malformed input: empty messages, channels outside 0..15, system messages.
#include "midi_rig.h"

#include <gtest/gtest.h>

using namespace miditest;

namespace {

constexpr gmpi::int32 kIn = 0, kOut = 1, kChannel = 2, kGate = 3;

struct ForceCase {
    const char* what;
    int channel;
    Bytes in;
    std::vector<Bytes> out;
};

const ForceCase kForceCases[] = {
    {"note-on to channel 4", 3, {0x90, 0x40, 0x7F}, {{0x93, 0x40, 0x7F}}},
    {"note-off keeps its kind", 3, {0x81, 0x40, 0x10}, {{0x83, 0x40, 0x10}}},
    {"program change, 2 bytes", 15, {0xC2, 0x05}, {{0xCF, 0x05}}},
    {"channel -1 passes nothing", -1, {0x90, 0x40, 0x7F}, {}},
    {"channel 16 passes nothing, no note-off turned note-on", 16, {0x80, 0x40, 0x00}, {}},
    {"system message unchanged",
     5,
     {0xF0, 0x7E, 0x00, 0x09, 0x01, 0xF7},
     {{0xF0, 0x7E, 0x00, 0x09, 0x01, 0xF7}}},
    {"empty message", 3, {}, {}},
    {"one byte: a channel status alone", 3, {0xD0}, {{0xD3}}},
};

TEST(MidiAllOff, ForcesEveryChannelMessageOntoTheChannel) {
    for (const auto& c : kForceCases) {
        SCOPED_TRACE(c.what);
        Rig rig(u"zr midi all off", {});
        rig.setInt(kChannel, c.channel).midi(3, kIn, c.in).run();
        EXPECT_EQ(rig.takeBytes(kOut), c.out);
    }
}

TEST(MidiOnOff, PassesOnlyWhileTheGateIsOne) {
    for (const auto& c : kForceCases) {
        if (c.channel == -1) continue; // "on off" passes everything unchanged at -1
        SCOPED_TRACE(c.what);
        for (int gate : {0, 1, 2}) {
            Rig rig(u"zr midi on off", {});
            rig.setInt(kChannel, c.channel).setInt(kGate, gate).midi(3, kIn, c.in).run();
            EXPECT_EQ(rig.takeBytes(kOut), gate == 1 ? c.out : std::vector<Bytes>{});
        }
    }
    Rig rig(u"zr midi on off", {});
    rig.setInt(kChannel, -1).setInt(kGate, 1).midi(0, kIn, {0x9A, 60, 1}).run();
    EXPECT_EQ(rig.takeBytes(kOut), (std::vector<Bytes>{{0x9A, 60, 1}}));
}

// Channel settings in successive blocks and the all-notes-off each change emits.
struct ChangeCase {
    const char* what;
    std::vector<int> channels;
    std::vector<Bytes> out;
};

TEST(MidiAllOff, SilencesThePreviousChannelOnAChange) {
    const ChangeCase cases[] = {
        {"first value emits nothing", {2}, {}},
        {"2 then 5", {2, 5}, {allNotesOff(2)}},
        {"same value again", {2, 2}, {allNotesOff(2)}},
        {"from -1 nothing", {-1, 4}, {}},
        {"from 16 nothing: 0xB0 + 16 is a program change", {16, 4}, {}},
        {"three changes", {0, 15, 7}, {allNotesOff(0), allNotesOff(15)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(u"zr midi all off", {});
        for (int ch : c.channels)
            rig.setInt(kChannel, ch).run();
        EXPECT_EQ(rig.takeBytes(kOut), c.out);
    }
}

TEST(MidiAllOff, AllNotesOffComesBetweenTheNotesOfTheOldAndNewChannel) {
    Rig rig(u"zr midi all off", {});
    rig.setInt(kChannel, 2).run();
    rig.midi(5, kIn, noteOn(0, 60, 100)).setInt(kChannel, 5, 10).midi(20, kIn, noteOff(0, 60));
    rig.run();
    const std::vector<Sent> expected = {
        {64 + 5, noteOn(2, 60, 100)}, {64 + 10, allNotesOff(2)}, {64 + 20, noteOff(5, 60)}};
    EXPECT_EQ(rig.take(kOut), expected);
}

TEST(MidiOnOff, ClosingTheGateSilencesWhatPassed) {
    std::vector<Bytes> everyChannel;
    for (int c = 0; c < 16; ++c)
        everyChannel.push_back(allNotesOff(c));
    struct Case {
        const char* what;
        int channel;
        std::vector<Bytes> out;
    };
    const Case cases[] = {
        {"all channels passed: 16 messages, ascending", -1, everyChannel},
        {"one channel", 9, {allNotesOff(9)}},
        {"a channel outside 0..15 passed nothing", 20, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(u"zr midi on off", {});
        rig.setInt(kChannel, c.channel).setInt(kGate, 1).run();
        EXPECT_TRUE(rig.takeBytes(kOut).empty());
        rig.setInt(kGate, 0).run();
        EXPECT_EQ(rig.takeBytes(kOut), c.out);
        rig.setInt(kGate, 1).run(); // opening again silences nothing
        EXPECT_TRUE(rig.takeBytes(kOut).empty());
    }
}

TEST(MidiOnOff, ChangingTheChannelSilencesTheOldOne) {
    Rig rig(u"zr midi on off", {});
    rig.setInt(kChannel, 3).setInt(kGate, 1).run();
    rig.setInt(kChannel, 11).run();
    EXPECT_EQ(rig.takeBytes(kOut), (std::vector<Bytes>{allNotesOff(3)}));
}

} // namespace
