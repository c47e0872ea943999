// Segment times in seconds and the shape of every curve type through attack, decay and
// release, measured on the output and compared with the closed forms.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

#include <string>

using namespace envtest;

namespace {

constexpr double kLongOffset = 20.0 / 3.0; // the long range: control 1 gives 2^(10/3) s

// Brings the rig to its sustain level with the quickest attack and decay (1 ms each).
void settleAtSustain(DadsrRig& rig, float sustain) {
    rig.audio[Attack] = 0.0f;
    rig.audio[Decay] = 0.0f;
    rig.audio[Sustain] = sustain;
    rig.gate(1);
    rig.run(static_cast<std::int64_t>(rig.sampleRate() * 0.01));
    ASSERT_FLOAT_EQ(rig.out.back(), sustain);
}

} // namespace

struct TimeCase {
    float sampleRate;
    float control;
    int range; // Attack/Decay/Release Range pin value
};

class SegmentTimes : public ::testing::TestWithParam<TimeCase> {
  protected:
    double expectedSamples() const {
        const auto& p = GetParam();
        return segmentSeconds(p.control, p.range == 1 ? kLongOffset : 10.0) * p.sampleRate;
    }
};

TEST_P(SegmentTimes, AttackLastsTwoToTheTenfoldControlMinusRangeSeconds) {
    const auto& p = GetParam();
    DadsrRig rig(p.sampleRate);
    rig.initial[AttackRange] = p.range;
    rig.audio[Attack] = p.control;
    const std::int64_t g = rig.now();
    rig.gate(1);
    const std::int64_t n = static_cast<std::int64_t>(expectedSamples()) + 4;
    rig.run(n);
    const std::int64_t top = rig.find(g, [](float v) { return v >= 1.0f; });
    ASSERT_GE(top, 0);
    EXPECT_NEAR(static_cast<double>(top - g), expectedSamples(), 1.0);
}

TEST_P(SegmentTimes, DecayFromFullScaleToSustainFollowsTheAttack) {
    const auto& p = GetParam();
    DadsrRig rig(p.sampleRate);
    rig.initial[DecayRange] = p.range;
    rig.audio[Attack] = 0.0f; // 1 ms
    rig.audio[Decay] = p.control;
    rig.audio[Sustain] = 0.0f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    const double attackSamples = 0.001 * p.sampleRate;
    rig.run(static_cast<std::int64_t>(attackSamples + expectedSamples()) + 4);
    const std::int64_t peak = rig.find(g, [](float v) { return v > 0.9f; });
    const std::int64_t floor = rig.find(peak, [](float v) { return v == 0.0f; });
    ASSERT_GE(floor, 0);
    EXPECT_NEAR(static_cast<double>(floor - g), attackSamples + expectedSamples(), 2.0);
}

TEST_P(SegmentTimes, ReleaseFromFullScaleEndsAtZero) {
    const auto& p = GetParam();
    DadsrRig rig(p.sampleRate);
    rig.initial[ReleaseRange] = p.range;
    settleAtSustain(rig, 1.0f);
    rig.audio[Release] = p.control;
    const std::int64_t g = rig.now();
    rig.gate(0);
    rig.run(static_cast<std::int64_t>(expectedSamples()) + 4);
    const std::int64_t end = rig.find(g, [](float v) { return v == 0.0f; });
    ASSERT_GE(end, 0);
    EXPECT_NEAR(static_cast<double>(end - g), expectedSamples(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Dadsr, SegmentTimes,
                         ::testing::Values(TimeCase{44100.0f, 1.0f, 0},  // 1 s
                                           TimeCase{44100.0f, 0.5f, 0},  // 2^-5 s
                                           TimeCase{48000.0f, 0.8f, 0},  // 2^-2 s
                                           TimeCase{96000.0f, 1.0f, 0},  // 1 s at another rate
                                           TimeCase{44100.0f, 1.0f, 1},  // about 10.08 s
                                           TimeCase{22050.0f, 0.7f, 1},  // 2^(1/3) s
                                           TimeCase{44100.0f, 0.0f, 0},  // below 1 ms: 1 ms
                                           TimeCase{44100.0f, -3.0f, 0}, // negative: as 0
                                           TimeCase{44100.0f, 0.05f,
                                                    0}), // 2^-9.5 s, just above 1 ms
                         [](const auto& info) {
                             const auto& p = info.param;
                             std::string c = std::to_string(static_cast<int>(p.control * 100));
                             if (c[0] == '-') c[0] = 'm';
                             return std::to_string(static_cast<int>(p.sampleRate)) + "_" + c +
                                    (p.range == 1 ? "_long" : "_short");
                         });

TEST(DadsrRelease, NegativeControlCountsAsTheFloorOfTheLongRange) {
    // Release below 0.0001 counts as 0.0001: 2^(0.001 - 20/3) s, about 9.87 ms, on the long
    // range, where even the shortest release is longer than 1 ms.
    DadsrRig rig(44100.0f);
    rig.initial[ReleaseRange] = 1;
    settleAtSustain(rig, 1.0f);
    rig.audio[Release] = -1.0f;
    const std::int64_t g = rig.now();
    rig.gate(0);
    rig.run(1000);
    EXPECT_NEAR(static_cast<double>(rig.find(g, [](float v) { return v == 0.0f; }) - g),
                std::exp2(0.001 - kLongOffset) * 44100.0, 1.0);
}

TEST(DadsrTimes, TimesAreSampledAtTheStartOfEachStretch) {
    // The attack control changes every sample; only the value at the gate's sample matters
    // for the whole first stretch. Here it is 1.0 exactly at the gate and 0 elsewhere, and the
    // gate block is the only one: later blocks start on other values, so the time changes.
    DadsrRig rig(44100.0f, 64);
    const std::int64_t gateAt = 10;
    rig.source[Attack] = [&](std::int64_t i) { return i == gateAt ? 1.0f : 0.0f; };
    rig.gate(1, static_cast<int32>(gateAt));
    // Within the gate block the attack runs at 1 s: 53 samples of 1/44100 each.
    for (int j = 1; j < 54; ++j)
        EXPECT_NEAR(rig.out[static_cast<std::size_t>(gateAt + j)], j / 44100.0, 1e-7);
    // From the next block on the first sample is 0: the attack finishes within 1 ms.
    rig.run(64);
    EXPECT_EQ(rig.out.back(), 1.0f);
}

class CurveShapes : public ::testing::TestWithParam<int> {};

TEST_P(CurveShapes, AttackStartsAtTheCurveFootAndEndsAtFullScale) {
    const int type = GetParam();
    DadsrRig rig(44100.0f);
    rig.initial[AttackShape] = type;
    rig.audio[Attack] = 1.0f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    rig.run(44200);
    const double inc = 1.0 / 44100.0;
    // One-sample lag: the sample of the gate still shows the level before it.
    EXPECT_EQ(rig.out[static_cast<std::size_t>(g)], 0.0f);
    for (int j : {1, 2, 441, 4410, 11025, 22050, 33075, 40000}) {
        const double expected = referenceCurve(type, j * inc);
        if (expected >= 1.0) break;
        EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + j)], expected, 5e-6) << "sample " << j;
    }
    // The attack ends on the first sample whose curve value reads as 1 in single precision
    // (the quarter sine gets there a few samples before its phase does), or at the latest
    // when the phase reaches 1.
    std::int64_t expectedTop = 1;
    while (expectedTop < 44100 &&
           static_cast<float>(referenceCurve(type, expectedTop * inc)) < 1.0f)
        ++expectedTop;
    const std::int64_t top = rig.find(g, [](float v) { return v >= 1.0f; });
    EXPECT_NEAR(static_cast<double>(top - g), static_cast<double>(expectedTop), 1.0);
}

TEST_P(CurveShapes, DecayRunsFromFullScaleDownToSustain) {
    const int type = GetParam();
    DadsrRig rig(44100.0f);
    rig.initial[DecayShape] = type; // the attack stays a straight line
    rig.audio[Attack] = 0.0f;
    rig.audio[Decay] = 1.0f;
    rig.audio[Sustain] = 0.25f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    rig.run(44300);
    // The 1 ms attack at 44.1 kHz completes on its 45th sample, whose decay step is the first:
    // the output one sample later shows the curve at 1 - 1/44100.
    const std::int64_t first = g + 45;
    const double inc = 1.0 / 44100.0;
    for (int m : {0, 1, 100, 4410, 22050, 40000, 44000}) {
        const double expected = referenceCurve(type, 1.0 - (m + 1) * inc) * 0.75 + 0.25;
        EXPECT_NEAR(rig.out[static_cast<std::size_t>(first + m)], expected, 2e-5) << "sample " << m;
    }
    EXPECT_EQ(rig.out.back(), 0.25f);
}

TEST_P(CurveShapes, ReleaseRunsFromTheStartLevelDownToZero) {
    const int type = GetParam();
    DadsrRig rig(44100.0f);
    rig.initial[ReleaseShape] = type;
    settleAtSustain(rig, 0.8f);
    rig.audio[Release] = 1.0f;
    const std::int64_t g = rig.now();
    rig.gate(0);
    rig.run(44200);
    const double inc = 1.0 / 44100.0;
    EXPECT_FLOAT_EQ(rig.out[static_cast<std::size_t>(g)], 0.8f);
    for (int m : {0, 1, 441, 22050, 40000, 44000}) {
        const double expected = 0.8 * referenceCurve(type, 1.0 - (m + 1) * inc);
        EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 1 + m)], expected, 2e-5) << "sample " << m;
    }
    // Every curve ends on exactly 0: when its time is up, or earlier where the curve itself
    // reaches 0 (type 5 is below 0 for positions under about 0.0004).
    std::int64_t expectedEnd = 1;
    while (expectedEnd < 44100 && referenceCurve(type, 1.0 - expectedEnd * inc) > 0.0)
        ++expectedEnd;
    const std::int64_t end = rig.find(g, [](float v) { return v == 0.0f; });
    EXPECT_NEAR(static_cast<double>(end - g), static_cast<double>(expectedEnd), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Dadsr, CurveShapes, ::testing::Range(0, 7));

TEST(DadsrScaling, FixedTimeAttackFromHalfLevelLastsTheFullTime) {
    DadsrRig rig(44100.0f);
    settleAtSustain(rig, 0.5f);
    rig.audio[Attack] = 1.0f;
    rig.audio[Sustain] = 1.0f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    rig.run(44200);
    // Continuous: the attack starts from the current level and spans the rest.
    EXPECT_EQ(rig.out[static_cast<std::size_t>(g)], 0.5f);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 22050)], 0.75, 1e-6);
    EXPECT_NEAR(static_cast<double>(rig.find(g, [](float v) { return v >= 1.0f; }) - g), 44100.0,
                1.0);
}

TEST(DadsrScaling, LevelScaledAttackFromHalfLevelAdvancesAtHalfRate) {
    DadsrRig rig(44100.0f);
    rig.initial[FixedTime] = 0;
    settleAtSustain(rig, 0.5f);
    rig.audio[Attack] = 1.0f;
    rig.audio[Sustain] = 1.0f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    rig.run(88300);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 44100)], 0.75, 1e-6);
    EXPECT_NEAR(static_cast<double>(rig.find(g, [](float v) { return v >= 1.0f; }) - g), 88200.0,
                1.0);
}

TEST(DadsrScaling, LevelScaledDecayAndReleaseScaleWithTheirSpan) {
    // Decay to 0.5: the phase moves by increment x (1 - S), so the decay lasts T / 0.5.
    DadsrRig rig(44100.0f);
    rig.initial[FixedTime] = 0;
    rig.audio[Attack] = 0.0f;
    rig.audio[Decay] = 0.9f; // 2^-1 s
    rig.audio[Sustain] = 0.5f;
    const std::int64_t g = rig.now();
    rig.gate(1);
    rig.run(44100 + 200);
    const std::int64_t peak = rig.find(g, [](float v) { return v > 0.99f; });
    const std::int64_t sustained = rig.find(peak, [](float v) { return v == 0.5f; });
    EXPECT_NEAR(static_cast<double>(sustained - g), 44.1 + 44100.0, 2.0);

    // Release from 0.5: the phase moves by increment x 0.5, so it lasts T / 0.5.
    rig.audio[Release] = 0.9f;
    const std::int64_t r = rig.now();
    rig.gate(0);
    rig.run(44100 + 200);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(r + 22050)], 0.25, 1e-5);
    // The level-scaled routine sees the end one step after its phase has run out.
    EXPECT_NEAR(static_cast<double>(rig.find(r, [](float v) { return v == 0.0f; }) - r), 44100.0,
                2.0);
}

TEST(DadsrDelay, AttackBeginsInTheSampleThatLeavesTheDelay) {
    DadsrRig rig(44100.0f);
    rig.audio[Attack] = 1.0f;
    rig.audio[Delay] = 0.01f; // 0.1 s
    const std::int64_t g = rig.now();
    rig.gate(1);
    rig.run(5000);
    for (std::int64_t i = g; i <= g + 4410; ++i)
        ASSERT_EQ(rig.out[static_cast<std::size_t>(i)], 0.0f) << i - g;
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 4411)], 1.0 / 44100.0, 1e-9);
}

TEST(DadsrDelay, ZeroDelayAttacksInTheGateSample) {
    DadsrRig rig(44100.0f);
    rig.audio[Attack] = 1.0f;
    const std::int64_t g = rig.now() + 10;
    rig.gate(1, 10);
    EXPECT_EQ(rig.out[static_cast<std::size_t>(g)], 0.0f);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 1)], 1.0 / 44100.0, 1e-9);
    EXPECT_NEAR(rig.out[static_cast<std::size_t>(g + 2)], 2.0 / 44100.0, 1e-9);
}

TEST(DadsrDelay, DelayInputIsReadEverySample) {
    // The delay ends on the first sample whose input no longer exceeds the count.
    DadsrRig rig(44100.0f);
    rig.audio[Attack] = 1.0f;
    rig.source[Delay] = [](std::int64_t i) { return i < 100 ? 1.0f : 0.0f; };
    rig.gate(1);
    rig.run(200);
    EXPECT_EQ(rig.out[100], 0.0f);
    EXPECT_NEAR(rig.out[101], 1.0 / 44100.0, 1e-9);
}
