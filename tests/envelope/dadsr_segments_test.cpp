// Segment times in seconds and the course of every curve type through attack, decay and
// release, measured on the output against the closed forms.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

using namespace envtest;

namespace {
constexpr double kLong = 20.0 / 3.0; // long range: control 1 gives 2^(10/3), about 10.08 s
auto reaches(float level) {
    return [level](float v) { return v == level; };
}
// Settles a level-scaled envelope at `level` and gates a release of `release` off; returns the
// sample of the gate.
std::int64_t levelScaledRelease(DadsrRig& rig, float level, float release) {
    rig.initial[FixedTime] = 0;
    rig.settle(level);
    rig.audio[Release] = release;
    return rig.gate(0);
}
} // namespace

struct TimeCase {
    float rate;
    float control;
    int range;
};

class SegmentTimes : public ::testing::TestWithParam<TimeCase> {
  protected:
    double samples() const {
        const auto& p = GetParam();
        // Only the value 1 selects the long range.
        return segmentSamples(p.control, p.range == 1 ? kLong : 10.0, p.rate);
    }
};

TEST_P(SegmentTimes, AttackDecayAndReleaseLastTheirTimes) {
    const auto& p = GetParam();
    {
        DadsrRig rig(p.rate);
        rig.initial[AttackRange] = p.range;
        rig.audio[Attack] = p.control;
        const auto g = rig.gate(1);
        rig.run(static_cast<std::int64_t>(samples()) + 4);
        EXPECT_NEAR(rig.until(g, reaches(1.0f)), samples(), 1.0) << "attack";
    }
    {
        // After the 1 ms attack the decay reaches the sustain level of 0.
        DadsrRig rig(p.rate);
        rig.initial[DecayRange] = p.range;
        rig.audio[Decay] = p.control;
        rig.audio[Sustain] = 0.0f;
        const auto g = rig.gate(1);
        rig.run(static_cast<std::int64_t>(samples() + p.rate * 0.001) + 4);
        EXPECT_NEAR(rig.until(g + 2, reaches(0.0f)) + 2, p.rate * 0.001 + samples(), 2.0)
            << "decay";
    }
    {
        DadsrRig rig(p.rate);
        rig.initial[ReleaseRange] = p.range;
        rig.settle(1.0f);
        rig.audio[Release] = p.control;
        const auto g = rig.gate(0);
        rig.run(static_cast<std::int64_t>(samples()) + 4);
        EXPECT_NEAR(rig.until(g, reaches(0.0f)), samples(), 1.0) << "release";
    }
}

INSTANTIATE_TEST_SUITE_P(Envelope, SegmentTimes,
                         ::testing::Values(TimeCase{44100.0f, 1.0f, 0},     // 1 s
                                           TimeCase{48000.0f, 0.8f, 0},     // 1/4 s
                                           TimeCase{96000.0f, 1.0f, 0},     // 1 s
                                           TimeCase{44100.0f, 1.0f, 1},     // 10.08 s
                                           TimeCase{22050.0f, 0.7f, 1},     // 2^(1/3) s
                                           TimeCase{44100.0f, 0.05f, 0},    // just over 1 ms
                                           TimeCase{44100.0f, 0.0f, 0},     // under 1 ms: 1 ms
                                           TimeCase{44100.0f, -3.0f, 0},    // negative: as 0
                                           TimeCase{44100.0f, 0.5f, 2},     // 1/32 s: short
                                           TimeCase{44100.0f, 0.5f, -1},    // short
                                           TimeCase{44100.0f, 0.5f, 255})); // short

class CurveShapes : public ::testing::TestWithParam<int> {};

TEST_P(CurveShapes, EachSegmentStartsAndEndsWhereItShould) {
    const int type = GetParam();
    const double inc = 1.0 / 44100.0; // one second per segment
    DadsrRig rig(44100.0f);
    // The attack runs another curve, so that the decay takes over from a different routine.
    const int attack = (type + 4) % 7;
    rig.initial[AttackShape] = attack;
    rig.initial[DecayShape] = rig.initial[ReleaseShape] = type;
    rig.audio[Attack] = rig.audio[Decay] = rig.audio[Release] = 1.0f;
    rig.audio[Sustain] = 0.25f;

    // Attack from 0, one sample late: the first sample still shows the old level.
    const auto g = rig.gate(1);
    rig.run(44100 * 2 + 200);
    EXPECT_EQ(rig.at(g), 0.0f);
    std::int64_t top = 1; // first sample where the curve reads 1 in single precision
    while (top < 44100 && static_cast<float>(referenceCurve(attack, top * inc)) < 1.0f)
        ++top;
    for (double x : {1.0 / 44100.0, 0.01, 0.1, 0.25, 0.5, 0.75, 0.9}) {
        const std::int64_t j = std::llround(x * 44100.0);
        if (j < top) {
            EXPECT_NEAR(rig.at(g + j), referenceCurve(attack, j * inc), 5e-6) << j;
        }
    }
    EXPECT_NEAR(rig.at(g + top - 1), referenceCurve(attack, (top - 1) * inc), 5e-6);
    // The sample that completes the attack takes the first decay step at once.
    EXPECT_NEAR(rig.at(g + top), referenceCurve(type, 1.0 - inc) * 0.75 + 0.25, 4e-6);
    for (std::int64_t m : {1, 100, 22050, 44000})
        EXPECT_NEAR(rig.at(g + top + m), referenceCurve(type, 1.0 - (m + 1) * inc) * 0.75 + 0.25,
                    2e-5)
            << "decay " << m;
    EXPECT_EQ(rig.out.back(), 0.25f);

    // Release from 0.25 down to exactly 0: when its time is up, or where the curve itself
    // reaches 0 (type 5 is negative below about 0.0004).
    const auto r = rig.gate(0);
    rig.run(44100 + 200);
    EXPECT_EQ(rig.at(r), 0.25f);
    for (std::int64_t m : {0, 441, 22050, 43000})
        EXPECT_NEAR(rig.at(r + 1 + m), 0.25 * referenceCurve(type, 1.0 - (m + 1) * inc), 2.5e-6)
            << "release " << m;
    std::int64_t end = 1;
    while (end < 44100 && referenceCurve(type, 1.0 - end * inc) > 0.0)
        ++end;
    EXPECT_NEAR(rig.until(r, reaches(0.0f)), end, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Envelope, CurveShapes, ::testing::Range(0, 7));

TEST(EnvelopeScaling, FromHalfLevelFixedTimeKeepsTheTimeAndLevelScaledHalvesThePace) {
    for (int fixed : {1, 0}) {
        DadsrRig rig(44100.0f);
        rig.initial[FixedTime] = fixed;
        rig.settle(0.5f);
        rig.audio[Attack] = 1.0f;
        rig.audio[Sustain] = 1.0f;
        const auto g = rig.gate(1);
        rig.run(88300);
        EXPECT_EQ(rig.at(g), 0.5f); // continuous: no restart from zero
        EXPECT_NEAR(rig.at(g + 22050), fixed ? 0.75 : 0.625, 1e-6);
        EXPECT_NEAR(rig.until(g, reaches(1.0f)), fixed ? 44100.0 : 88200.0, 1.0);
    }
    // Level-scaled release from 0.5 also moves its phase at half pace (2^-1 s becomes 1 s);
    // the routine sees the end one step after its phase has run out.
    DadsrRig rig(44100.0f);
    const auto r = levelScaledRelease(rig, 0.5f, 0.9f);
    rig.run(44300);
    EXPECT_NEAR(rig.at(r + 22050), 0.25, 1e-5);
    EXPECT_NEAR(rig.until(r, reaches(0.0f)), 44100.0, 2.0);
}

TEST(EnvelopeDelay, AttackBeginsInTheSampleThatLeavesTheDelay) {
    DadsrRig rig(44100.0f);
    rig.audio[Attack] = 1.0f;
    rig.audio[Delay] = 0.01f; // 0.1 s
    const auto g = rig.gate(1);
    rig.run(5000);
    EXPECT_EQ(rig.until(g, [](float v) { return v > 0.0f; }), 4411);
    EXPECT_NEAR(rig.at(g + 4411), 1.0 / 44100.0, 1e-9);

    // The delay input is read every sample (here it drops to 0 twenty samples after the
    // gate); the time inputs only at the start of each stretch (the attack time is 1 s at
    // the gate's sample and 0 from the next block on).
    DadsrRig now(44100.0f);
    now.source[Attack] = [](std::int64_t i) { return i == 10 ? 1.0f : 0.0f; };
    now.source[Delay] = [](std::int64_t i) { return i < 30 ? 1.0f : 0.0f; };
    now.gate(1, 10);
    EXPECT_EQ(now.until(10, [](float v) { return v > 0.0f; }), 21);
    for (int j = 0; j < 33; ++j)
        EXPECT_NEAR(now.at(31 + j), (j + 1) / 44100.0, 1e-9) << j;
    now.run(64);
    EXPECT_EQ(now.out.back(), 1.0f);
}

// A level-scaled release from a low level moves its phase by the increment times that level:
// from 0.001 with a 1 s release, 2.3e-8 per sample, below half the spacing of single floats
// just under 1. The phase must still advance, so the level falls by 0.1 % per second.
TEST(EnvelopeScaling, LevelScaledReleaseFromALowLevelStillFalls) {
    DadsrRig rig(44100.0f);
    const auto r = levelScaledRelease(rig, 0.001f, 1.0f);
    rig.run(44200);
    const double start = 0.001f;
    EXPECT_EQ(rig.at(r), 0.001f);
    for (std::int64_t k : {4410, 22050, 44100})
        EXPECT_NEAR(rig.at(r + k), start * (1.0 - k * (start / 44100.0)), 1e-11) << k;
}

// At open the release runs on the long range (2^(10 - 6.666666) s at a control of 1) until a
// range pin says otherwise; a gate of 0 reads `Release Range` again, a falling trigger does not.
TEST(EnvelopeRange, ReleaseIsLongUntilTheRangePinIsRead) {
    for (bool byGate : {false, true}) {
        DadsrRig rig(1000.0f, 64);
        rig.initial.erase(ReleaseRange);
        rig.settle(1.0f);
        rig.audio[Release] = 1.0f;
        std::int64_t r = rig.now() + 3;
        if (byGate)
            rig.gate(0, 3);
        else
            rig.sendFloat(3, Trigger, 0.0f).block();
        rig.run(10200);
        const double expected = (byGate ? 1.0 : std::exp2(10.0 - 20.0 / 3.0)) * 1000.0;
        EXPECT_NEAR(rig.until(r, reaches(0.0f)), expected, 1.0) << byGate;
    }
}
