// "ZrPrgChange": the hold time in samples at 44.1 and 48 kHz, the static declaration after a
// timed pass (placed in the block where the output is silent), mode 2's open-until-note-on,
// and the GUI half's trigger relay.
#include "midi_rig.h"

#include "host/gui_module.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace miditest;

namespace {

constexpr gmpi::int32 kTrigger = 0, kSignal = 1, kHold = 2, kOutput = 3, kMidi = 4, kMode = 5;

Rig& gate(Rig& rig, int mode, float hold) {
    rig.feed(kSignal, [](long t) { return 0.25f + 0.001f * static_cast<float>(t % 100); });
    rig.feed(kHold, [hold](long) { return hold; });
    rig.next().addStreamingStart(0, kSignal).addStreamingStop(0, kHold);
    rig.setInt(kMode, mode);
    return rig;
}

long passedSamples(const std::vector<float>& y) {
    long n = 0;
    for (float v : y)
        n += v != 0.0f;
    return n;
}

TEST(PrgChange, HoldTimeInSamples) {
    struct Case {
        float sampleRate;
        float hold; // x 10 ms
        int mode;
    };
    const Case cases[] = {{44100.0f, 1.0f, 0}, {48000.0f, 1.0f, 0}, {44100.0f, 0.5f, 1},
                          {48000.0f, 2.5f, 1}, {48000.0f, 0.0f, 1}, {44100.0f, -3.0f, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sampleRate << " Hz, hold " << c.hold);
        Rig rig(u"ZrPrgChange", {kSignal, kHold, kOutput}, c.sampleRate);
        gate(rig, c.mode, c.hold);
        if (c.mode == 1) rig.run(1, kOutput), rig.setInt(kTrigger, 1, 0);
        const long start = rig.now();
        const auto y = rig.run(40, kOutput);
        // Hold x 10 ms at the sample rate, whole samples.
        const long expected = std::max(
            0L, static_cast<long>(std::floor(c.hold * 10.0 * c.sampleRate / 1000.0 + 1e-9)));
        EXPECT_EQ(passedSamples(y), expected);
        for (long i = 0; i < expected; ++i)
            ASSERT_FLOAT_EQ(y[i], 0.25f + 0.001f * static_cast<float>((start + i) % 100));
        // Static once a whole block was silent, from that block's first sample.
        const auto d = rig.declarations(kOutput);
        ASSERT_FALSE(d.empty());
        EXPECT_FALSE(d.back().streaming);
        const long firstSilentBlock = (start + expected + 63) / 64 * 64;
        EXPECT_EQ(d.back().time, firstSilentBlock);
    }
}

TEST(PrgChange, StaticDeclarationIsNotAtAnEarlierEventsTime) {
    // The trigger comes at sample 50; 100 samples pass (50..149); the block 192..255 is the
    // first silent one and the output is declared static at its start, not at "50" of it.
    Rig rig(u"ZrPrgChange", {kSignal, kHold, kOutput}, 10000.0f);
    gate(rig, 1, 1.0f).run();
    rig.setInt(kTrigger, 1, 50).run(6);
    const auto d = rig.declarations(kOutput);
    ASSERT_FALSE(d.empty());
    EXPECT_FALSE(d.back().streaming);
    EXPECT_EQ(d.back().time, 64 + 192);
}

TEST(PrgChange, ModeTwoOpensOnTriggerAndClosesOnANoteOn) {
    Rig rig(u"ZrPrgChange", {kSignal, kHold, kOutput});
    gate(rig, 2, 1.0f).run();
    rig.setInt(kTrigger, 1, 10).run();
    // Ignored: velocity 0, note-off, a note-on cut before its velocity.
    rig.midi(0, kMidi, noteOn(0, 60, 0)).midi(1, kMidi, noteOff(0, 60)).midi(2, kMidi, {0x90, 60});
    auto y = rig.run(1, kOutput);
    EXPECT_EQ(passedSamples(y), 64);
    rig.midi(32, kMidi, noteOn(4, 60, 1));
    y = rig.run(1, kOutput);
    EXPECT_EQ(passedSamples(y), 32);
    EXPECT_EQ(passedSamples(rig.run(3, kOutput)), 0);
    // A second trigger opens again.
    rig.setInt(kTrigger, 2, 0);
    EXPECT_EQ(passedSamples(rig.run(1, kOutput)), 64);
}

TEST(PrgChange, GuiRelaysTheTrigger) {
    zrhost::HostContext context;
    zrhost::GuiModule gui(library(), u"ZrPrgChange", context);
    ASSERT_TRUE(gui.valid());
    gui.initialize();
    for (int v : {5, 5, 7, 0})
        gui.deliverInt(1, v);
    EXPECT_EQ(gui.intsSent(0), (std::vector<gmpi::int32>{5, 7, 0}));
}

} // namespace
