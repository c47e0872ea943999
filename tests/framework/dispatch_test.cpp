// Event dispatch, block routines and the sleep check, observed through the log that the
// probe module reports and through the calls it makes on the host.
#include "probe.h"

using namespace gmpi;
using namespace probe;
using zrhost::AudioCallKind;
using zrhost::EventList;

namespace {

// First block of every probe: graph start, so the audio output declares itself streaming,
// and the input's static state, which clears the updated flag an audio input starts with.
void start(Probe& p) {
    EventList e;
    e.addGraphStart(0).addStreamingStop(0, AudioIn);
    p.run(e);
}

int sleeps(const Probe& p) {
    return static_cast<int>(p.module.callsOf(AudioCallKind::Sleep).size());
}

} // namespace

TEST(Dispatch, BlockWithoutEventsIsOneRoutineCall) {
    Probe p;
    start(p);
    p.run();
    EXPECT_EQ(p.log(1), (Lines{"R 0 64"}));
}

TEST(Dispatch, EventsSharingATimeAreOneGroupAndGraphStartComesFirst) {
    Probe p;
    EventList e;
    e.addFloat(0, FloatIn, 1.5f).addGraphStart(0).addInt(0, IntIn, 7);
    p.run(e);
    // An audio input counts as updated until its first streaming event.
    EXPECT_EQ(p.log(), (Lines{"G", "P f=1.5 i=7 a=0:0", "R 0 64"}));
}

TEST(Dispatch, StretchesSplitAtEventTimesAndSeeOnlyEarlierEvents) {
    Probe p;
    start(p);
    EventList e;
    e.addFloat(0, FloatIn, 1.0f)
        .addInt(10, IntIn, 2)
        .addBool(10, BoolIn, true)
        .addFloat(20, FloatIn, 3.0f);
    p.run(e);
    EXPECT_EQ(p.log(1), (Lines{"P f=1", "R 0 10", "P i=2 b=1", "R 10 10", "P f=3", "R 20 44"}));
}

TEST(Dispatch, MidiOnlyGroupsReachMidiReceivedButNotPinsChanged) {
    Probe p;
    start(p);
    const std::uint8_t noteOn[] = {0x90, 0x3C, 0x64};
    const std::uint8_t longSysEx[] = {0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0xF7};
    EventList e;
    e.addMidi(5, MidiIn, noteOn).addMidi(5, MidiIn, longSysEx);
    p.run(e);
    EXPECT_EQ(p.log(1),
              (Lines{"R 0 5", "M 8 3 903c64", "M 8 11 f0010203040506070809f7", "R 5 59"}));
    // A value event addressed to the MIDI pin is no message.
    EventList value;
    value.addFloat(0, MidiIn, 1.0f);
    p.run(value);
    EXPECT_EQ(p.log(2), (Lines{"P", "R 0 64"}));
}

TEST(Dispatch, UnknownPinsAndEventTypesAreSkipped) {
    Probe p;
    start(p);
    const std::uint8_t four[] = {0, 0, 0x80, 0x3F};
    EventList e;
    e.addRaw(3, EventPinValue, 99, 4, four)
        .addRaw(3, EventPinValue, -5, 4, four)
        .addRaw(3, 555, FloatIn, 4, four)
        .addRaw(4, EventMidi, 1234, 3, four);
    p.run(e);
    // The value events name no pin of the module, so no pin stores anything; the group
    // still counts as a value change.
    EXPECT_EQ(p.log(1), (Lines{"R 0 3", "P", "R 3 1", "R 4 60"}));
}

TEST(Dispatch, EventTimesOutsideTheBlockNeverRenderPastIt) {
    Probe p;
    start(p);
    EventList late;
    late.addFloat(100, FloatIn, 1.0f);
    p.run(late);
    EXPECT_EQ(p.log(1), (Lines{"R 0 64"}));
    EventList atEnd;
    atEnd.addFloat(64, FloatIn, 2.0f);
    p.run(atEnd);
    EXPECT_EQ(p.log(2), (Lines{"R 0 64"}));
}

TEST(Sleep, StaticOutputRendersOneHostBlockThenSleeps) {
    Probe p;
    start(p);
    EventList e;
    e.addInt(40, Command, DeclareStatic);
    p.run(e);
    EXPECT_EQ(p.log(1), (Lines{"R 0 40", "P c=1", "R 40 24"}));
    EXPECT_EQ(sleeps(p), 0);
    EXPECT_TRUE(p.run());
    EXPECT_EQ(p.log(2), (Lines{"R 0 40"}));
    EXPECT_EQ(sleeps(p), 1);
    EXPECT_TRUE(p.module.isAsleep());
    // Asleep: the host does not call the module until an event is due.
    EXPECT_FALSE(p.run());
    EXPECT_EQ(p.module.processCount(), 3);
    // The static output keeps its last value across the sleep.
    EXPECT_EQ(p.module.buffer(AudioOut)[63], 1.0f);

    const auto streaming = p.module.streamingSent(AudioOut);
    EXPECT_EQ(streaming, (std::vector<int32>{1, 0}));
    const auto calls = p.module.callsOf(AudioCallKind::SetPinStreaming);
    EXPECT_EQ(calls.back().time, 40);
}

TEST(Sleep, StretchBeforeAPendingEventIsRenderedInFull) {
    Probe p;
    start(p);
    EventList e;
    e.addInt(40, Command, DeclareStatic);
    p.run(e);
    EventList later;
    later.addFloat(50, FloatIn, 1.0f);
    p.run(later);
    // 40 samples finish the countdown; the 10 before the event are still rendered; after the
    // event the module asks for sleep at once.
    EXPECT_EQ(p.log(2), (Lines{"R 0 40", "R 40 10", "P f=1"}));
    EXPECT_EQ(sleeps(p), 1);
}

TEST(Sleep, CountdownEndingWithTheStretchSleepsInTheSameCall) {
    Probe p;
    start(p);
    EventList e;
    e.addInt(0, Command, DeclareStatic);
    p.run(e);
    EXPECT_EQ(p.log(1), (Lines{"P c=1", "R 0 64"}));
    EXPECT_EQ(sleeps(p), 1);
    EXPECT_EQ(p.module.callsOf(AudioCallKind::Sleep)[0].block, 1);
}

TEST(Sleep, RepeatedStaticDeclarationReloadsTheCountdown) {
    Probe p;
    start(p);
    EventList first;
    first.addInt(16, Command, DeclareStatic);
    p.run(first);
    EventList again;
    again.addInt(8, Command, DeclareStatic);
    p.run(again);
    // Without the reload the module would have slept at sample 16 of this block.
    EXPECT_EQ(p.log(2), (Lines{"R 0 8", "P c=1", "R 8 56"}));
    EXPECT_EQ(sleeps(p), 0);
    p.run();
    EXPECT_EQ(p.log(3), (Lines{"R 0 8"}));
    EXPECT_EQ(sleeps(p), 1);
    // The host heard every declaration, changed or not.
    EXPECT_EQ(p.module.streamingSent(AudioOut), (std::vector<int32>{1, 0, 0}));
}

TEST(Sleep, ForbiddenSleepNeverSleepsAndAllowedSleepAlwaysChecks) {
    Probe p;
    start(p);
    EventList e;
    e.addInt(10, Command, DeclareStatic).addInt(20, Command, ForbidSleep);
    p.run(e);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(p.run());
    EXPECT_EQ(sleeps(p), 0);

    // allowSleep(true) runs the sleep check even while the output streams. The countdown
    // left when sleep was forbidden (64 - 10 samples) runs out first.
    EventList stream;
    stream.addInt(0, Command, DeclareStreaming);
    p.run(stream);
    EXPECT_EQ(sleeps(p), 0);
    EventList allow;
    allow.addInt(5, Command, AllowSleep);
    p.run(allow);
    EXPECT_EQ(p.log(p.module.blocksRun() - 1), (Lines{"R 0 5", "P c=3", "R 5 54"}));
    EXPECT_EQ(sleeps(p), 1);
}

TEST(Sleep, RoutineSelectedDuringTheCheckTakesOverWithoutStoppingIt) {
    Probe p;
    start(p);
    EventList e;
    e.addInt(40, Command, DeclareStatic).addInt(50, Command, SelectRoutineB);
    p.run(e);
    EXPECT_EQ(p.log(1), (Lines{"R 0 40", "P c=1", "R 40 10", "P c=5", "B 50 14"}));
    p.run();
    EXPECT_EQ(p.log(2), (Lines{"B 0 40"}));
    EXPECT_EQ(sleeps(p), 1);
    // Streaming again: the new routine runs normally.
    EventList wake;
    wake.addInt(0, Command, DeclareStreaming);
    p.run(wake);
    EXPECT_EQ(p.log(3), (Lines{"P c=2", "B 0 64"}));
}

TEST(Sleep, StreamingInputKeepsTheModuleAwakeAndCountsOnce) {
    Probe p;
    start(p);
    EventList e;
    e.addInt(0, Command, DeclareStatic).addStreamingStart(0, AudioIn);
    p.run(e);
    EventList again;
    again.addStreamingStart(0, AudioIn);
    p.run(again);
    for (int i = 0; i < 4; ++i)
        p.run();
    EXPECT_EQ(sleeps(p), 0);
    // One stop balances the two starts: a repeated start changed nothing.
    EventList stop;
    stop.addStreamingStop(0, AudioIn);
    p.run(stop);
    p.run();
    EXPECT_EQ(sleeps(p), 1);
    // Each streaming event was visible to pinsChanged, repeated or not: the stop at start,
    // two starts and the last stop.
    int updates = 0;
    for (const auto& line : p.log())
        if (line.find(" a=") != std::string::npos) ++updates;
    EXPECT_EQ(updates, 4);
}

TEST(Sleep, AudioInputValueInsidePinsChangedIsTheSampleAtTheEvent) {
    Probe p;
    auto in = p.module.buffer(AudioIn);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(i);
    EventList e;
    e.addGraphStart(0).addStreamingStart(17, AudioIn);
    p.run(e);
    EXPECT_EQ(p.log(0), (Lines{"G", "R 0 17", "P a=1:17", "R 17 47"}));
}
