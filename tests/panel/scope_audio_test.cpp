// The oscilloscope's audio half seen from a host: what it records, when it triggers, how
// long it holds off, and what Run does.
#include "scope_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace scopetest;
using zrhost::AudioCallKind;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

float sine(double hz, double rate, std::int64_t t, double phaseSamples = 0.0) {
    return static_cast<float>(std::sin(2.0 * std::numbers::pi * hz * (t + phaseSamples) / rate));
}

TEST(ScopeAudio, FirstWindowStartsAtRunWithoutTrigger) {
    ScopeRig rig(48000.0f, 64);
    const std::int64_t run = 2 * 64 + 10;
    // Ten chosen levels, then a 1 kHz sine.
    const float levels[] = {0.5f, -0.5f, 2.0f, -3.0f, kInf, -kInf, kNaN, 0.999f, -0.25f, 0.0f};
    const std::int8_t stored[] = {63, -63, 127, -127, 127, -127, 0, 126, -31, 0};
    rig.signal = [&](std::int64_t t) {
        const std::int64_t k = t - run;
        return k >= 0 && k < 10 ? levels[k] : sine(1000, 48000, k);
    };
    rig.runTo(run - 10);
    rig.setRun(1, 10);
    rig.runTo(2000);

    // open sent the empty Capture value before any block.
    const auto sent = rig.module.valuesSent(kCapturePin);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front().block, -1);
    EXPECT_TRUE(sent.front().bytes.empty());

    const auto windows = rig.windows();
    ASSERT_EQ(windows.size(), 1u); // a sine crosses zero, but the hold-off has not elapsed
    const Window& w = windows[0];
    EXPECT_EQ(w.length, 480); // Time 1.0 = 10 ms at 48 kHz
    EXPECT_EQ(w.rate, 48000);
    // Stamped within the block in which the window's last sample arrived.
    const std::int64_t last = run + 479;
    EXPECT_EQ(w.at / 64, last / 64);
    EXPECT_LE(w.at, last);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(w.data[i], stored[i]) << "level " << levels[i];
    for (int i = 10; i < 480; ++i)
        EXPECT_LT(std::abs(w.data[i] - 127.0 * sine(1000, 48000, i)), 1.0) << i;
}

TEST(ScopeAudio, WindowLengthFollowsTimeAndSampleRate) {
    struct Case {
        float rate, time;
        gmpi::int32 length;
    };
    const Case cases[] = {{48000, 1.0f, 480}, {48000, 10.0f, 4800}, {48000, 25.0f, 4800},
                          {48000, 0.0f, 11},  {48000, 0.02f, 11},   {48000, -1.0f, 11},
                          {48000, kNaN, 11},  {48000, kInf, 4800},  {44100, 1.0f, 441},
                          {44100, 0.5f, 220}, {96000, 0.05f, 48}};
    for (const Case& c : cases) {
        ScopeRig rig(c.rate, 64);
        rig.time = [&](std::int64_t) { return c.time; };
        rig.setRun(1);
        rig.runTo(20000);
        const auto windows = rig.windows(); // silence never crosses zero: one window only
        ASSERT_EQ(windows.size(), 1u) << c.rate << " Hz, Time " << c.time;
        EXPECT_EQ(windows[0].length, c.length) << c.rate << " Hz, Time " << c.time;
        EXPECT_EQ(windows[0].rate, static_cast<gmpi::int32>(c.rate));
    }
}

TEST(ScopeAudio, LaterWindowsStartOnAnUpwardZeroCrossing) {
    // A sine that starts mid-cycle: every window after the first begins at its rise through 0.
    ScopeRig rig(48000.0f, 64);
    rig.signal = [](std::int64_t t) { return 0.9f * sine(100, 48000, t, 37.3); };
    rig.setRun(1);
    rig.runTo(48000);
    const auto windows = rig.windows();
    ASSERT_GE(windows.size(), 5u);
    for (std::size_t k = 1; k < windows.size(); ++k)
        for (int i = 0; i < 480; ++i) // the sine's 480-sample cycle from the crossing
            EXPECT_LE(std::abs(windows[k].data[i] - 127.0 * 0.9 * sine(100, 48000, i)), 3.0)
                << "window " << k << " sample " << i;

    // A positive signal opens no window until it dips below zero; then the first strictly
    // positive sample after the dip opens one, also when the signal rests at exactly 0 first.
    for (const std::int64_t rest : {0, 5}) {
        SCOPED_TRACE("samples at 0: " + std::to_string(rest));
        const std::int64_t rise = 10005 + rest;
        ScopeRig pulse(48000.0f, 64);
        pulse.time = [](std::int64_t) { return 0.1f; }; // 48 samples
        pulse.signal = [rise](std::int64_t t) {
            if (t < 10000) return 0.5f;
            if (t < 10005) return -0.5f;
            if (t < rise) return 0.0f;
            return static_cast<float>(t - rise + 1) / 128.0f; // stored as t - rise
        };
        pulse.setRun(1);
        pulse.runTo(12000);
        const auto both = pulse.windows();
        ASSERT_EQ(both.size(), 2u);
        for (int i = 0; i < 48; ++i)
            EXPECT_EQ(both[1].data[i], i);
    }
}

// Hold-off: after a window, max(window, a fifteenth of a second) samples pass, and only then
// is the trigger armed, from the next call on. With one-sample blocks every call is one
// sample, so the earliest sample the trigger examines is fill + holdOff + 2.
class ScopeHoldOff : public ::testing::TestWithParam<float> {};

TEST_P(ScopeHoldOff, ArmsTheTriggerAfterAFifteenthOfASecond) {
    const float rate = GetParam();
    const gmpi::int32 length = static_cast<gmpi::int32>(rate / 100); // Time 1.0 = 10 ms
    const gmpi::int32 holdOff = static_cast<gmpi::int32>(rate / 15);
    const std::int64_t armed = (length - 1) + holdOff + 2;
    // Pattern A: a crossing just before arming must be ignored. Pattern B: the first
    // negative sample at arming must count.
    const std::vector<std::int64_t> negativesA = {armed - 1, armed + 1};
    const std::vector<std::int64_t> negativesB = {armed, armed + 2};
    for (const auto& [negatives, start] :
         {std::pair{negativesA, armed + 2}, std::pair{negativesB, armed + 1}}) {
        ScopeRig rig(rate, 1);
        rig.signal = [&](std::int64_t t) {
            for (auto n : negatives)
                if (t == n) return -0.5f;
            return 0.5f;
        };
        rig.setRun(1);
        rig.runTo(armed + length + 10);
        const auto windows = rig.windows();
        ASSERT_EQ(windows.size(), 2u);
        EXPECT_EQ(windows[0].at, length - 1);
        EXPECT_EQ(windows[1].at, start + length - 1);
    }
}

TEST_P(ScopeHoldOff, LongWindowsHoldOffForTheirOwnLength) {
    // With ordinary blocks and a trigger available at every other sample, windows follow one
    // another every window + hold-off samples, give or take the block granularity.
    const float rate = GetParam();
    const std::int64_t length = static_cast<std::int64_t>(rate / 10); // Time 10 = 100 ms
    ScopeRig rig(rate, 64);
    rig.time = [](std::int64_t) { return 10.0f; };
    rig.signal = [](std::int64_t t) { return t % 2 ? 0.5f : -0.5f; };
    rig.setRun(1);
    rig.runTo(static_cast<std::int64_t>(rate));
    const auto windows = rig.windows();
    ASSERT_GE(windows.size(), 4u);
    for (std::size_t k = 1; k < windows.size(); ++k) {
        EXPECT_EQ(windows[k].length, length);
        const std::int64_t gap = windows[k].at - windows[k - 1].at;
        EXPECT_GE(gap, 2 * length - 64);
        EXPECT_LE(gap, 2 * length + 2 * 64 + 4);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, ScopeHoldOff, ::testing::Values(44100.0f, 48000.0f));

TEST(ScopeAudio, RunOtherThanOneEmptiesTheDisplayAndSleeps) {
    for (gmpi::int32 stop : {0, 2, -1}) {
        ScopeRig rig(48000.0f, 64);
        rig.signal = [](std::int64_t t) { return sine(1000, 48000, t); }; // 48-sample cycle
        rig.setRun(1);
        rig.runTo(1024);
        ASSERT_EQ(rig.windows().size(), 1u);
        rig.module.clearCalls();

        rig.setRun(stop, 5);
        const auto sent = rig.module.valuesSent(kCapturePin);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_TRUE(sent[0].bytes.empty());
        EXPECT_EQ(sent[0].time, 5);
        EXPECT_EQ(rig.module.callsOf(AudioCallKind::Sleep).size(), 1u);
        EXPECT_EQ(rig.module.processBlocks(100), 0);

        // Run = 1 again records at once from the event, at a sine trough: no trigger waited.
        rig.advance(100 * 64);
        rig.setRun(1, 36); // absolute sample 1088 + 6400 + 36 = 156 × 48 + 36: sine at -1
        rig.runTo(rig.now() + 1024);
        const auto windows = rig.windows();
        ASSERT_EQ(windows.size(), 1u) << "Run " << stop;
        EXPECT_EQ(windows[0].data[0], -127);
    }

    // While stopped the cycle goes on in whatever the host still runs: a window begun before
    // the stop is completed and published in the stretches before later events.
    ScopeRig rig(48000.0f, 64);
    rig.time = [](std::int64_t) { return 10.0f; }; // 4800 samples
    rig.setRun(1);
    rig.runTo(640);
    rig.setRun(0);
    for (int b = 0; b < 100; ++b) {
        zrhost::EventList wake;
        wake.addInt(63, 99, 0); // no such pin: only wakes the module
        rig.block(wake);
    }
    ASSERT_EQ(rig.windows().size(), 1u);
    EXPECT_EQ(rig.windows()[0].length, 4800);
}

TEST(ScopeAudio, ShorterTimeMidWindowPublishesAtOnce) {
    ScopeRig rig(48000.0f, 64);
    rig.time = [](std::int64_t t) { return t < 640 ? 10.0f : 0.0f; };
    // A ramp stored as 0, 1, 2 ..., then a trigger at every other sample.
    rig.signal = [](std::int64_t t) {
        return t < 700 ? static_cast<float>(t % 100 + 1) / 128.0f : t % 2 ? 0.5f : -0.5f;
    };
    rig.setRun(1);
    rig.runTo(8000);
    const auto windows = rig.windows();
    ASSERT_GE(windows.size(), 2u);
    EXPECT_EQ(windows[0].at, 640); // the first call that saw the shorter length
    EXPECT_EQ(windows[0].length, 11);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(windows[0].data[i], i);
    // The hold-off still counts a full fifteenth of a second from that call.
    EXPECT_GE(windows[1].at, 640 + 3200);
    EXPECT_LE(windows[1].at, 640 + 3200 + 2 * 64);
}

} // namespace
