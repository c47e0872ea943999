// Gate, trigger, restart from zero, release hold, enable and level, and the way the envelope
// goes static and lets the module sleep once its release is over.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace envtest;
using zrhost::AudioCallKind;

namespace {

void settleAtSustain(DadsrRig& rig, float sustain) {
    rig.audio[Attack] = 0.0f;
    rig.audio[Decay] = 0.0f;
    rig.audio[Sustain] = sustain;
    rig.gate(1);
    rig.run(static_cast<std::int64_t>(rig.sampleRate() * 0.01));
    ASSERT_FLOAT_EQ(rig.out.back(), sustain);
}

// Streaming states the module declared for the output, with the block they were sent in.
std::vector<std::pair<std::int64_t, gmpi::int32>> envelopeStreaming(DadsrRig& rig) {
    std::vector<std::pair<std::int64_t, gmpi::int32>> s;
    for (const auto& c : rig.module().callsOf(AudioCallKind::SetPinStreaming))
        if (c.pinId == Envelope) s.emplace_back(c.block, c.streaming);
    return s;
}

} // namespace

TEST(DadsrGate, OutputLagsTheLevelByOneSample) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 0.6f);
    rig.audio[Release] = 1.0f;
    const std::int64_t g = rig.now() + 20;
    rig.gate(0, 20);
    // The release's first step shows one sample after the gate.
    EXPECT_FLOAT_EQ(rig.out[static_cast<std::size_t>(g)], 0.6f);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 1)], 0.6 * (1.0 - 1.0 / 44100.0), 1e-6);
}

TEST(DadsrGate, GateDuringReleaseAttacksFromTheCurrentLevel) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 1.0f);
    rig.audio[Release] = 1.0f;
    rig.gate(0);
    rig.run(22050 - 64);
    const float reached = rig.out.back();
    ASSERT_GT(reached, 0.4f);
    ASSERT_LT(reached, 0.6f);
    rig.audio[Attack] = 1.0f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    // Continuous, and rising over the remaining span at the fixed time's pace.
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g)], reached, 1.0 / 44100.0 + 1e-6);
    const float from = rig.out[static_cast<std::size_t>(g)];
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 10)], from + (1.0 - from) * 10 / 44100.0,
                1e-6);
}

TEST(DadsrGate, OtherGateValuesAreIgnored) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 0.7f);
    rig.gate(2);
    rig.gate(-1);
    rig.run(256);
    EXPECT_TRUE(std::all_of(rig.out.end() - 384, rig.out.end(), [](float v) { return v == 0.7f; }));
}

TEST(DadsrRestart, FromZeroFadesAtOneMillisecondPerFullScaleThenAttacksFromZero) {
    DadsrRig rig(44100.0f);
    rig.initial[RestartFromZero] = 1;
    settleAtSustain(rig, 0.5f);
    rig.audio[Attack] = 1.0f;
    rig.audio[Sustain] = 1.0f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    rig.run(44200);
    const double slope = 1.0 / (44100.0 * 0.001);
    EXPECT_EQ(rig.out[static_cast<std::size_t>(g)], 0.5f);
    // 0.5 of full scale takes 22.05 samples to fade.
    for (int k = 1; k <= 22; ++k)
        EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + k)], 0.5 - k * slope, 1e-6) << k;
    // The sample that reaches 0 also takes the first attack step, from 0 over the full span.
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 23)], 1.0 / 44100.0, 1e-9);
    const std::int64_t top = rig.find(g, [](float v) { return v >= 1.0f; });
    EXPECT_NEAR(static_cast<double>(top - g), 0.5 / slope + 44100.0, 1.0);
}

TEST(DadsrRestart, WithoutItTheAttackContinuesFromTheLevel) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 0.5f);
    rig.audio[Attack] = 1.0f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    EXPECT_EQ(rig.out[static_cast<std::size_t>(g)], 0.5f);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 1)], 0.5 + 0.5 / 44100.0, 1e-7);
}

TEST(DadsrHold, ReleaseStaysAtStartTimesCurveEndUntilTheNextGate) {
    DadsrRig rig(44100.0f);
    rig.initial[HoldRelease] = 1;
    rig.initial[ReleaseShape] = 0;
    settleAtSustain(rig, 0.6f);
    rig.audio[Release] = 0.3f;
    const std::int64_t g = rig.now();
    rig.gate(0);
    rig.run(44100);
    const float held = static_cast<float>(0.6 * referenceCurve(0, 1.0));
    for (std::int64_t i = g + 1; i < rig.now(); i += 97)
        ASSERT_NEAR(rig.out[static_cast<std::size_t>(i)], held, 1e-6) << i - g;
    EXPECT_FALSE(rig.module().isAsleep());
    EXPECT_EQ(envelopeStreaming(rig).back().second, 1);

    // The next gate attacks from the held level.
    rig.audio[Attack] = 1.0f;
    const std::int64_t a = rig.now();
    rig.gate(1);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(a + 1)], held + (1.0 - held) / 44100.0, 1e-6);
}

TEST(DadsrHold, ReleasingTheHoldLetsTheReleaseRunOut) {
    DadsrRig rig(44100.0f);
    rig.initial[HoldRelease] = 1;
    settleAtSustain(rig, 0.6f);
    rig.audio[Release] = 0.5f; // 2^-5 s
    rig.gate(0);
    rig.run(4410);
    EXPECT_FLOAT_EQ(rig.out.back(), 0.6f);
    rig.next().addInt(0, HoldRelease, 0);
    const std::int64_t u = rig.now();
    rig.block();
    rig.run(2000);
    const std::int64_t end = rig.find(u, [](float v) { return v == 0.0f; });
    EXPECT_NEAR(static_cast<double>(end - u), std::exp2(-5.0) * 44100.0, 1.0);
    EXPECT_TRUE(rig.module().isAsleep());
}

TEST(DadsrHold, DampFadeTakesItsSlopeFromRelease) {
    // Under the hold, the damp stage falls by (0.1 / (sr x 1 ms)) / Release per sample.
    DadsrRig rig(44100.0f);
    rig.initial[HoldRelease] = 1;
    rig.initial[RestartFromZero] = 1;
    settleAtSustain(rig, 0.6f);
    rig.audio[Release] = 0.5f;
    rig.gate(0); // the release picks up the slope from Release
    rig.run(256);
    rig.audio[Attack] = 1.0f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    rig.run(256);
    const double slope = 0.1 / (44100.0 * 0.001) / 0.5;
    for (int k : {1, 10, 50, 100, 130})
        EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + k)], 0.6 - k * slope, 1e-5) << k;
    EXPECT_LT(rig.out[static_cast<std::size_t>(g + 134)], 1e-3);
}

TEST(DadsrHold, WithoutHoldTheDampFadeIsOneMillisecondForFullScale) {
    DadsrRig rig(44100.0f);
    rig.initial[HoldRelease] = 1;
    rig.initial[RestartFromZero] = 1;
    settleAtSustain(rig, 0.6f);
    rig.audio[Release] = 0.5f;
    rig.gate(0);
    rig.run(256);
    rig.next().addInt(0, HoldRelease, 0);
    const std::int64_t g = rig.now();
    rig.gate(1);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 10)], 0.6 - 10 / 44.1, 1e-5);
}

TEST(DadsrTrigger, RisingEdgeZeroesTheLevel) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 0.7f);
    rig.next().addFloat(5, Trigger, 1.0f);
    const std::int64_t t = rig.now() + 5;
    rig.block();
    EXPECT_EQ(rig.out[static_cast<std::size_t>(t - 1)], 0.7f);
    EXPECT_EQ(rig.out[static_cast<std::size_t>(t)], 0.0f);
    // Sustain restores its level on the next sample.
    EXPECT_EQ(rig.out[static_cast<std::size_t>(t + 1)], 0.7f);
}

TEST(DadsrTrigger, FallingToZeroWhileAboveZeroStartsTheRelease) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 0.7f);
    rig.next().addFloat(0, Trigger, 1.0f);
    rig.block();
    rig.run(64);
    rig.audio[Release] = 0.8f; // 2^-2 s
    const std::int64_t t = rig.now() + 3;
    rig.next().addFloat(3, Trigger, 0.0f);
    rig.block();
    rig.run(12000);
    EXPECT_EQ(rig.out[static_cast<std::size_t>(t)], 0.7f);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(t + 1)], 0.7 * (1.0 - 4.0 / 44100.0), 1e-6);
    const std::int64_t end = rig.find(t, [](float v) { return v == 0.0f; });
    EXPECT_NEAR(static_cast<double>(end - t), 0.25 * 44100.0, 1.0);
}

TEST(DadsrTrigger, FallingWhileSilentDoesNothing) {
    DadsrRig rig(44100.0f);
    rig.block();
    rig.run(256);
    ASSERT_TRUE(rig.module().isAsleep());
    rig.next().addFloat(0, Trigger, 0.0f);
    rig.block();
    EXPECT_TRUE(std::all_of(rig.out.begin(), rig.out.end(), [](float v) { return v == 0.0f; }));
    EXPECT_EQ(envelopeStreaming(rig).back().second, 0);
}

TEST(DadsrEnable, DisabledOrZeroLevelAtAPinChangeSilencesAndClearsTheLevel) {
    for (int pin : {Enable, Level}) {
        DadsrRig rig(44100.0f);
        settleAtSustain(rig, 0.7f);
        rig.audio[static_cast<std::size_t>(pin)] = pin == Enable ? -0.5f : 0.0f;
        rig.next().addInt(7, DecayShape, 2); // any pin change
        const std::int64_t c = rig.now() + 7;
        rig.block();
        EXPECT_EQ(rig.out[static_cast<std::size_t>(c - 1)], pin == Enable ? 0.7f : 0.0f);
        EXPECT_EQ(rig.out[static_cast<std::size_t>(c)], 0.0f);
        EXPECT_EQ(envelopeStreaming(rig).back().second, 0);
        rig.run(256);
        EXPECT_TRUE(rig.module().isAsleep());

        // Level and phase were cleared: the next attack starts from 0.
        rig.audio[Enable] = 1.0f;
        rig.audio[Level] = 1.0f;
        rig.audio[Attack] = 1.0f;
        const std::int64_t g = rig.now();
        rig.gate(1);
        EXPECT_EQ(rig.out[static_cast<std::size_t>(g)], 0.0f);
        EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 1)], 1.0 / 44100.0, 1e-9);
    }
}

TEST(DadsrEnable, EnableIsReadOnlyAtPinChanges) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 0.7f);
    rig.audio[Enable] = 0.0f; // no event: the envelope keeps running
    rig.run(128);
    EXPECT_EQ(rig.out.back(), 0.7f);
}

TEST(DadsrLevel, OutputIsTheEnvelopeTimesLevelSampleBySample) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 0.5f);
    rig.source[Level] = [](std::int64_t i) { return static_cast<float>(std::sin(i * 0.01)); };
    const std::int64_t from = rig.now();
    rig.run(640);
    for (std::int64_t i = from; i < rig.now(); ++i)
        ASSERT_FLOAT_EQ(rig.out[static_cast<std::size_t>(i)],
                        0.5f * static_cast<float>(std::sin(i * 0.01)));
}

TEST(DadsrSleep, IdleAfterStartItGoesStaticAndSleeps) {
    DadsrRig rig(44100.0f);
    rig.block();
    rig.run(256);
    EXPECT_TRUE(rig.module().isAsleep());
    EXPECT_EQ(rig.module().processBlocks(10), 0);
    EXPECT_TRUE(std::all_of(rig.out.begin(), rig.out.end(), [](float v) { return v == 0.0f; }));
}

TEST(DadsrSleep, AfterTheReleaseTheOutputGoesStaticAndTheModuleSleeps) {
    DadsrRig rig(44100.0f, 64);
    settleAtSustain(rig, 1.0f);
    rig.audio[Release] = 0.0f; // 1 ms: ends on the 45th sample of the block
    const std::int64_t b = rig.module().blocksRun();
    rig.module().clearCalls();
    rig.gate(0);
    EXPECT_EQ(rig.out.back(), 0.0f);
    // Fewer zero samples than the block holds: still streaming.
    EXPECT_EQ(envelopeStreaming(rig), (std::vector<std::pair<std::int64_t, gmpi::int32>>{{b, 1}}));
    rig.block();
    // Now the silent samples since the release ended cover a whole block: static, stamped
    // at the last sample written.
    const auto s = envelopeStreaming(rig);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[1], (std::pair<std::int64_t, gmpi::int32>{b + 1, 0}));
    EXPECT_EQ(rig.module().callsOf(AudioCallKind::SetPinStreaming).back().time, 63);
    EXPECT_EQ(rig.module().sleepCount(), 0);
    // One more block of silence, then sleep.
    rig.block();
    EXPECT_EQ(rig.module().sleepCount(), 1);
    const int processed = rig.module().processCount();
    rig.run(64 * 20);
    EXPECT_EQ(rig.module().processCount(), processed);
    // From the end of the release on, the output is 0.
    EXPECT_TRUE(std::all_of(rig.out.end() - 64 * 22 - 19, rig.out.end(),
                            [](float v) { return v == 0.0f; }));
}

TEST(DadsrSleep, AnInputThatStreamsKeepsTheModuleAwake) {
    DadsrRig rig(44100.0f);
    rig.next().addStreamingStart(0, Level);
    rig.block();
    rig.run(1024);
    EXPECT_FALSE(rig.module().isAsleep());
    EXPECT_EQ(rig.module().sleepCount(), 0);
}

TEST(DadsrGate, GateOffWhileSilentGoesStatic) {
    DadsrRig rig(44100.0f);
    rig.block();
    rig.run(256);
    rig.module().clearCalls();
    rig.gate(0);
    EXPECT_EQ(envelopeStreaming(rig).back().second, 0);
}
