// "VL Unison Fix": the output key each note takes (least recently released, lowest number on
// ties), the single-note tuning change sent for it, decoded back to a frequency and checked
// against the equal-tempered pitch computed here; incoming tuning messages, whole and cut short;
// and malformed note messages.
#include "midi_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

using namespace miditest;

namespace {

constexpr gmpi::int32 kIn = 0, kOut = 1;

// A single-note tuning change: the universal real-time header and `form` (sub-ID 2 and the
// program, or sub-ID 7 and the bank and program), then one change giving key `slot` tuning t.
Bytes noteTuning(std::initializer_list<std::uint8_t> form, int slot, int t) {
    Bytes b{0xF0, 0x7F, 0x00, 0x08};
    b.insert(b.end(), form);
    b.insert(b.end(), {0x01, static_cast<std::uint8_t>(slot), static_cast<std::uint8_t>(t >> 14),
                       static_cast<std::uint8_t>((t >> 7) & 0x7F),
                       static_cast<std::uint8_t>(t & 0x7F), 0xF7});
    return b;
}
// The change the module sends when output key `slot` takes a note tuned t.
Bytes retune(int slot, int t) {
    return noteTuning({0x02, 0x00}, slot, t);
}
// The banked form sent when an incoming tuning message changes a sounding key's tuning.
Bytes bankedRetune(int slot, int t) {
    return noteTuning({0x07, 0x00, 0x00}, slot, t);
}

// A bulk tuning dump (sub-ID 1) giving key k the tuning `tuningOf(k)`.
template <class F>
Bytes bulkDump(F tuningOf) {
    Bytes m = {0xF0, 0x7E, 0x00, 0x08, 0x01, 0x00};
    m.resize(22, 0x20); // the dump's name
    for (int k = 0; k < 128; ++k) {
        const int t = tuningOf(k);
        m.push_back(static_cast<std::uint8_t>(t >> 14));
        m.push_back(static_cast<std::uint8_t>((t >> 7) & 0x7F));
        m.push_back(static_cast<std::uint8_t>(t & 0x7F));
    }
    m.push_back(0x00); // checksum
    m.push_back(0xF7);
    return m;
}

// A single-note change (sub-ID 2) claiming `count` entries, carrying `entries`.
Bytes singleNote(int count, std::vector<std::pair<int, int>> entries) {
    Bytes m = {0xF0, 0x7F, 0x00, 0x08, 0x02, 0x00, static_cast<std::uint8_t>(count)};
    for (auto [key, t] : entries) {
        m.push_back(static_cast<std::uint8_t>(key));
        m.push_back(static_cast<std::uint8_t>(t >> 14));
        m.push_back(static_cast<std::uint8_t>((t >> 7) & 0x7F));
        m.push_back(static_cast<std::uint8_t>(t & 0x7F));
    }
    m.push_back(0xF7);
    return m;
}

// Frequency of a single-note tuning change: semitone and 14-bit fraction, A4 = key 69 = 440 Hz.
double retuneHz(const Bytes& m) {
    const double semitone = m[8] + ((m[9] << 7) | m[10]) / 16384.0;
    return 440.0 * std::pow(2.0, (semitone - 69.0) / 12.0);
}

TEST(UnisonFix, NotesTakeTheLeastRecentlyReleasedKey) {
    Rig rig(u"VL Unison Fix", {});
    // Channel 1 owns every key at first: note 60 keeps key 60 and needs no retune.
    rig.midi(0, kIn, noteOn(0, 60, 90)).run();
    EXPECT_EQ(rig.takeBytes(kOut), (std::vector<Bytes>{noteOn(0, 60, 90)}));
    // Channel 2's note 60 takes key 0 (all keys released "at 0", lowest number wins) and
    // retunes it to note 60; its next notes take keys 1 and 2.
    rig.midi(0, kIn, noteOn(1, 60, 91)).midi(1, kIn, noteOn(1, 64, 92));
    rig.midi(2, kIn, noteOn(1, 67, 93)).run();
    EXPECT_EQ(rig.takeBytes(kOut),
              (std::vector<Bytes>{retune(0, 60 * 16384), noteOn(0, 0, 91), retune(1, 64 * 16384),
                                  noteOn(0, 1, 92), retune(2, 67 * 16384), noteOn(0, 2, 93)}));
    // Releases in the order 67, 60, 64 stamp keys 2, 0, 1 with 0, 1, 2. Key 2 ties with the
    // never used keys 3.. at 0 and wins by its number; then key 3; then key 0 (released at 1)
    // only once every key from 3 to 127 has been used.
    rig.midi(0, kIn, noteOff(1, 67, 5)).midi(1, kIn, noteOff(1, 60)).midi(2, kIn, noteOff(1, 64));
    rig.run();
    EXPECT_EQ(rig.takeBytes(kOut),
              (std::vector<Bytes>{noteOff(0, 2, 5), noteOff(0, 0), noteOff(0, 1)}));
    rig.midi(0, kIn, noteOn(2, 50, 1)).midi(0, kIn, noteOn(2, 51, 1)).run();
    EXPECT_EQ(rig.takeBytes(kOut), (std::vector<Bytes>{retune(2, 50 * 16384), noteOn(0, 2, 1),
                                                       retune(3, 51 * 16384), noteOn(0, 3, 1)}));
    // A note that still owns its released key takes it back without a retune.
    rig.midi(0, kIn, noteOff(2, 50)).midi(1, kIn, noteOn(2, 50, 7)).run();
    EXPECT_EQ(rig.takeBytes(kOut), (std::vector<Bytes>{noteOff(0, 2), noteOn(0, 2, 7)}));
}

TEST(UnisonFix, DropsDuplicatesAndOrphanReleases) {
    Rig rig(u"VL Unison Fix", {});
    rig.midi(0, kIn, noteOn(3, 70, 100)).midi(1, kIn, noteOn(3, 70, 100)).run();
    EXPECT_EQ(rig.takeBytes(kOut).size(), 2u) << "retune and one note-on";
    // Key 0 goes to channel 5's note 71; channel 4's note 70 lost its key: its note-off and
    // pressure are dropped.
    rig.midi(0, kIn, noteOff(3, 70)).midi(1, kIn, noteOn(5, 71, 1)).run();
    rig.takeBytes(kOut);
    rig.midi(0, kIn, noteOff(3, 70)).midi(0, kIn, {0xA3, 70, 9}).run();
    EXPECT_TRUE(rig.takeBytes(kOut).empty());
    rig.midi(0, kIn, {0xA5, 71, 9}).run();
    EXPECT_EQ(rig.takeBytes(kOut), (std::vector<Bytes>{{0xA0, 0, 9}}));
}

TEST(UnisonFix, RetunesCarryTheIncomingTuning) {
    // Quarter-tone keyboard: key k sounds half a semitone above its equal-tempered pitch.
    Rig rig(u"VL Unison Fix", {});
    const Bytes dump = bulkDump([](int k) { return k * 16384 + 8192; });
    rig.midi(0, kIn, dump).run();
    const auto first = rig.takeBytes(kOut);
    ASSERT_EQ(first.size(), 129u) << "one banked retune per key owned by channel 1, the dump";
    EXPECT_EQ(first[69], bankedRetune(69, 69 * 16384 + 8192));
    EXPECT_EQ(first.back(), dump);
    for (int n : {21, 60, 69, 100, 127}) {
        SCOPED_TRACE(n);
        rig.midi(0, kIn, noteOn(6, n, 64)).run();
        const auto out = rig.takeBytes(kOut);
        ASSERT_EQ(out.size(), 2u);
        const double expected = 440.0 * std::pow(2.0, (n + 0.5 - 69.0) / 12.0);
        EXPECT_NEAR(retuneHz(out[0]) / expected, 1.0, 1e-9);
        EXPECT_EQ(out[1][1], out[0][7]) << "the note plays the retuned key";
    }
}

TEST(UnisonFix, IncomingSingleNoteChangeRetunesTheSoundingKey) {
    Rig rig(u"VL Unison Fix", {});
    // Channel 3's note 62 takes key 0, channel 2's key 1, channel 1 keeps key 62: the first
    // channel (in channel order) whose note owns a key is the one retuned, once.
    rig.midi(0, kIn, noteOn(2, 62, 64)).midi(0, kIn, noteOn(1, 62, 64));
    rig.midi(0, kIn, noteOn(0, 62, 64)).run(); // channel 1 keeps key 62
    rig.takeBytes(kOut);
    Bytes change = singleNote(1, {{62, 62 * 16384 + 4096}});
    rig.midi(0, kIn, change).run();
    EXPECT_EQ(rig.takeBytes(kOut),
              (std::vector<Bytes>{bankedRetune(62, 62 * 16384 + 4096), change}));
}

TEST(UnisonFix, CutTuningMessagesApplyOnlyCompleteEntries) {
    struct Case {
        const char* what;
        Bytes message;
        int retunes; // banked retunes before the forwarded message
    };
    Bytes dump = bulkDump([](int k) { return k * 16384 + 1; });
    Bytes cut30(dump.begin(), dump.begin() + 30); // keys 0 and 1 complete, key 2 cut
    Bytes cutF7 = cut30;
    cutF7.push_back(0xF7); // the end marker inside key 2's entry
    Bytes claimsFive = singleNote(5, {{10, 10 * 16384 + 3}, {11, 11 * 16384 + 3}});
    Bytes tooShort = {0xF0, 0x7F, 0x00, 0x08};
    const Case cases[] = {
        {"bulk dump cut after 30 bytes", cut30, 2},
        {"bulk dump ending with F7 inside an entry", cutF7, 2},
        {"single-note change claiming 5 notes, carrying 2", claimsFive, 2},
        {"header only", tooShort, 0},
        {"sub-ID byte but no count", {0xF0, 0x7F, 0x00, 0x08, 0x02}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(u"VL Unison Fix", {});
        rig.midi(0, kIn, c.message).run();
        const auto out = rig.takeBytes(kOut);
        ASSERT_EQ(out.size(), static_cast<std::size_t>(c.retunes + 1));
        EXPECT_EQ(out.back(), c.message);
    }
}

TEST(UnisonFix, MalformedNoteMessagesNeverLeaveTheKeyMap) {
    struct Case {
        const char* what;
        Bytes in;
        std::vector<Bytes> out;
    };
    const Case cases[] = {
        {"empty", {}, {}},
        {"note-on without key", {0x90}, {}},
        {"note-on without velocity", {0x91, 60}, {}},
        {"key 200", {0x90, 200, 100}, {}},
        {"velocity 255 clamped", {0x90, 60, 255}, {{0x90, 60, 127}}},
        {"running-status data passes as it is", {0x40, 0x7F}, {{0x40, 0x7F}}},
        {"controller on its own channel", {0xB7, 1, 2}, {{0xB7, 1, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(u"VL Unison Fix", {});
        rig.midi(0, kIn, c.in).run();
        EXPECT_EQ(rig.takeBytes(kOut), c.out);
    }
}

} // namespace
