// Gate, trigger, restart from zero, release hold, enable and level, and how the envelope goes
// static and lets the module sleep once its release is over.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace envtest;

namespace {
bool allEqual(const DadsrRig& rig, std::int64_t from, float v) {
    return std::all_of(rig.out.begin() + from, rig.out.end(), [v](float x) { return x == v; });
}
} // namespace

TEST(EnvelopeGate, ReleaseShowsOneSampleLateAndOtherGateValuesAreIgnored) {
    DadsrRig rig(44100.0f);
    rig.settle(0.6f);
    const auto s = rig.now();
    rig.gate(2);
    rig.gate(-1);
    EXPECT_TRUE(allEqual(rig, s, 0.6f));
    rig.audio[Release] = 1.0f;
    const auto g = rig.gate(0, 20);
    EXPECT_EQ(rig.at(g), 0.6f);
    EXPECT_NEAR(rig.at(g + 1), 0.6 * (1.0 - 1.0 / 44100.0), 1e-6);
}

TEST(EnvelopeRestart, FromZeroFadesAtFullScalePerMillisecondThenAttacksFromZero) {
    DadsrRig rig(44100.0f);
    rig.initial[RestartFromZero] = 1;
    rig.settle(0.5f);
    rig.audio[Attack] = 1.0f;
    rig.audio[Sustain] = 1.0f;
    const auto g = rig.gate(1);
    rig.run(44200);
    const double slope = 1.0 / 44.1;
    EXPECT_EQ(rig.at(g), 0.5f);
    for (int k = 1; k <= 22; ++k) // 0.5 of full scale takes 22.05 samples
        EXPECT_NEAR(rig.at(g + k), 0.5 - k * slope, 1e-6) << k;
    // The sample that reaches 0 also takes the first step of an attack over the full span.
    EXPECT_NEAR(rig.at(g + 23), 1.0 / 44100.0, 1e-9);
    EXPECT_NEAR(rig.until(g, [](float v) { return v >= 1.0f; }), 0.5 / slope + 44100.0, 1.0);
}

TEST(EnvelopeHold, ReleaseStaysAtStartTimesCurveEndUntilReleased) {
    DadsrRig rig(44100.0f);
    rig.initial[HoldRelease] = 1;
    rig.initial[ReleaseShape] = 0; // ends at 1.000341, not 1
    rig.settle(0.6f);
    rig.audio[Release] = 0.5f; // 2^-5 s
    const auto g = rig.gate(0);
    rig.run(44100);
    const double held = 0.6 * referenceCurve(0, 1.0);
    for (std::int64_t i = g + 1; i < rig.now(); i += 97)
        ASSERT_NEAR(rig.at(i), held, 1e-6) << i - g;
    EXPECT_FALSE(rig.module().isAsleep());

    // Releasing the hold lets the release run its course and the module sleep.
    rig.sendInt(0, HoldRelease, 0);
    const auto u = rig.now();
    rig.run(2000);
    EXPECT_NEAR(rig.until(u, [](float v) { return v == 0.0f; }), std::exp2(-5.0) * 44100.0, 1.0);
    EXPECT_TRUE(rig.module().isAsleep());
}

TEST(EnvelopeHold, DampFadeTakesItsSlopeFromReleaseOnlyWhileHeld) {
    for (int unhold : {0, 1}) {
        DadsrRig rig(44100.0f);
        rig.initial[HoldRelease] = 1;
        rig.initial[RestartFromZero] = 1;
        rig.settle(0.6f);
        rig.audio[Release] = 0.5f;
        rig.gate(0); // the release takes the damp slope from Release
        rig.run(256);
        rig.audio[Attack] = 1.0f;
        if (unhold) rig.sendInt(0, HoldRelease, 0);
        const auto g = rig.gate(1);
        // Held: (0.1 / (sr x 1 ms)) / Release per sample; otherwise full scale in 1 ms.
        const double slope = unhold ? 1.0 / 44.1 : 0.1 / 44.1 / 0.5;
        for (int k : {1, 10, 20})
            EXPECT_NEAR(rig.at(g + k), 0.6 - k * slope, 1e-5) << unhold << " " << k;
    }
}

TEST(EnvelopeTrigger, RisingZeroesTheLevelFallingReleasesSilentDoesNothing) {
    DadsrRig rig(44100.0f);
    rig.settle(0.7f);
    const auto t = rig.now() + 5;
    rig.sendFloat(5, Trigger, 1.0f).block();
    EXPECT_EQ(rig.at(t - 1), 0.7f);
    EXPECT_EQ(rig.at(t), 0.0f);
    EXPECT_EQ(rig.at(t + 1), 0.7f); // sustain restores its level on the next sample

    rig.audio[Release] = 0.8f; // 1/4 s
    const auto f = rig.now() + 3;
    rig.sendFloat(3, Trigger, 0.0f).block();
    rig.run(12000);
    EXPECT_EQ(rig.at(f), 0.7f);
    EXPECT_NEAR(rig.at(f + 1), 0.7 * (1.0 - 4.0 / 44100.0), 1e-6);
    EXPECT_NEAR(rig.until(f, [](float v) { return v == 0.0f; }), 0.25 * 44100.0, 1.0);
    ASSERT_TRUE(rig.module().isAsleep());

    // Falling again while silent changes nothing.
    const auto q = rig.now();
    rig.sendFloat(0, Trigger, -1.0f).block();
    EXPECT_TRUE(allEqual(rig, q, 0.0f));
    EXPECT_EQ(rig.streaming().back().second, 0);
}

TEST(EnvelopeEnable, DisabledOrZeroLevelAtAPinChangeSilencesAndClearsTheLevel) {
    for (int pin : {Enable, Level}) {
        DadsrRig rig(44100.0f);
        rig.settle(0.7f);
        rig.audio[static_cast<std::size_t>(pin)] = pin == Enable ? -0.5f : 0.0f;
        rig.run(64); // read only at pin changes: the envelope runs on
        EXPECT_EQ(rig.out.back(), pin == Enable ? 0.7f : 0.0f);
        const auto c = rig.now() + 7;
        rig.sendInt(7, DecayShape, 2).block(); // any pin change
        EXPECT_TRUE(allEqual(rig, c, 0.0f));
        EXPECT_EQ(rig.streaming().back().second, 0);
        rig.run(256);
        EXPECT_TRUE(rig.module().isAsleep());

        rig.audio[Enable] = rig.audio[Level] = rig.audio[Attack] = 1.0f;
        const auto g = rig.gate(1);
        EXPECT_NEAR(rig.at(g + 1), 1.0 / 44100.0, 1e-9); // the next attack starts from 0
    }
}

TEST(EnvelopeLevel, OutputIsTheEnvelopeTimesLevelSampleBySample) {
    DadsrRig rig(44100.0f);
    rig.settle(0.5f);
    rig.source[Level] = [](std::int64_t i) { return static_cast<float>(std::sin(i * 0.01)); };
    const auto from = rig.now();
    rig.run(640);
    for (std::int64_t i = from; i < rig.now(); ++i)
        ASSERT_EQ(rig.at(i), 0.5f * static_cast<float>(std::sin(i * 0.01)));
}

TEST(EnvelopeSleep, StaticOnceAWholeStretchIsSilentThenOneBlockMoreThenSleep) {
    // A 1 ms release ends on the 45th sample after the gate: within the gate's block, or
    // (gate at 20) on the first sample of the next, whose silent stretch is then exactly one
    // block long.
    for (const int32 offset : {0, 20}) {
        SCOPED_TRACE(offset);
        DadsrRig rig(44100.0f, 64);
        rig.settle(1.0f);
        rig.audio[Release] = 0.0f;
        const auto b = rig.module().blocksRun();
        rig.module().clearCalls();
        const auto g = rig.gate(0, offset);
        rig.block();
        EXPECT_EQ(rig.until(g, [](float v) { return v == 0.0f; }), 45);
        // Static only in the block after the gate's, stamped at its last sample, when the
        // zero samples since the release ended cover a whole stretch.
        using Calls = std::vector<std::pair<std::int64_t, int32>>;
        EXPECT_EQ(rig.streaming(), (Calls{{b, 1}, {b + 1, 0}}));
        EXPECT_EQ(rig.module().callsOf(zrhost::AudioCallKind::SetPinStreaming).back().time, 63);
        EXPECT_EQ(rig.module().sleepCount(), 0);
        rig.block();
        EXPECT_EQ(rig.module().sleepCount(), 1);
        const int processed = rig.module().processCount();
        rig.run(64 * 20);
        EXPECT_EQ(rig.module().processCount(), processed);
        EXPECT_TRUE(allEqual(rig, g + 45, 0.0f));
    }
}
