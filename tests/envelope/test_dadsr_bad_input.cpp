// Hostile input: curve types outside 0..6, negative, NaN and infinite times, levels and
// triggers, odd block sizes and sample rates. Nothing may crash or read outside a table, and
// the documented fallbacks must hold.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace envtest;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool allFiniteWithin(const std::vector<float>& v, float lo, float hi) {
    return std::all_of(v.begin(), v.end(),
                       [=](float x) { return std::isfinite(x) && x >= lo && x <= hi; });
}

} // namespace

class BadCurveType : public ::testing::TestWithParam<int32> {};

TEST_P(BadCurveType, AttackLeavesTheLevelWhereItIs) {
    DadsrRig rig(44100.0f);
    rig.initial[AttackShape] = GetParam();
    rig.audio[Attack] = 0.0f;
    rig.gate(1);
    rig.run(4410);
    // No curve, no change: the attack never leaves its starting level.
    EXPECT_TRUE(std::all_of(rig.out.begin(), rig.out.end(), [](float v) { return v == 0.0f; }));
}

TEST_P(BadCurveType, DecayHoldsFullScaleForItsTimeThenDropsToSustain) {
    for (int32 fixedTime : {1, 0}) {
        DadsrRig rig(44100.0f);
        rig.initial[DecayShape] = GetParam();
        rig.initial[FixedTime] = fixedTime;
        rig.audio[Attack] = 0.0f;
        rig.audio[Decay] = 0.5f; // 2^-5 s
        rig.audio[Sustain] = 0.0f;
        const std::int64_t g = rig.now();
        rig.gate(1);
        rig.run(4410);
        const std::int64_t top = rig.find(g, [](float v) { return v >= 1.0f; });
        const std::int64_t floor = rig.find(top, [](float v) { return v == 0.0f; });
        ASSERT_GE(top, 0);
        ASSERT_GE(floor, 0);
        EXPECT_NEAR(static_cast<double>(floor - top), std::exp2(-5.0) * 44100.0, 1.0)
            << "fixed " << fixedTime;
        EXPECT_TRUE(allFiniteWithin(rig.out, 0.0f, 1.0f));
    }
}

TEST_P(BadCurveType, ReleaseHoldsItsStartForItsTimeThenEndsAndSleeps) {
    for (int32 fixedTime : {1, 0}) {
        DadsrRig rig(44100.0f);
        rig.initial[ReleaseShape] = GetParam();
        rig.initial[FixedTime] = fixedTime;
        rig.audio[Attack] = 0.0f;
        rig.audio[Decay] = 0.0f;
        rig.audio[Sustain] = 1.0f;
        rig.audio[Release] = 0.5f;
        rig.gate(1);
        rig.run(640);
        const std::int64_t g = rig.now();
        rig.gate(0);
        rig.run(4410);
        const std::int64_t end = rig.find(g, [](float v) { return v == 0.0f; });
        // The level-scaled routine sees the end one step after its phase has run out.
        EXPECT_NEAR(static_cast<double>(end - g), std::exp2(-5.0) * 44100.0, fixedTime ? 1.0 : 2.0)
            << "fixed " << fixedTime;
        EXPECT_TRUE(rig.module().isAsleep());
    }
}

INSTANTIATE_TEST_SUITE_P(Dadsr, BadCurveType,
                         ::testing::Values(-1, 7, 8, 1000, std::numeric_limits<int32>::min(),
                                           std::numeric_limits<int32>::max(), 65538));

TEST(DadsrBadInput, CurveTypeSixReleaseEndsInTheLevelScaledRoutine) {
    // Type 6 stays at e^-11.5 at its foot; the level-scaled release still ends and sleeps.
    DadsrRig rig(44100.0f);
    rig.initial[ReleaseShape] = 6;
    rig.initial[DecayShape] = 6;
    rig.initial[FixedTime] = 0;
    rig.audio[Decay] = 0.5f;
    rig.audio[Sustain] = 0.0f;
    rig.gate(1);
    rig.run(4410);
    EXPECT_EQ(rig.out.back(), 0.0f); // the decay reached the sustain level of 0
    rig.audio[Sustain] = 1.0f;
    rig.gate(1);
    rig.run(4410);
    rig.audio[Release] = 0.5f;
    rig.gate(0);
    rig.run(8820);
    EXPECT_EQ(rig.out.back(), 0.0f);
    EXPECT_TRUE(rig.module().isAsleep());
}

TEST(DadsrBadInput, NotANumberAndInfiniteTimesNeitherCrashNorEscape) {
    for (float bad : {kNaN, kInf, -kInf, 1e30f, -1e30f, 1e-41f}) {
        for (int32 pin : {Attack, Decay, Sustain, Release, Delay}) {
            for (int32 fixedTime : {1, 0}) {
                DadsrRig rig(44100.0f, 37);
                rig.initial[FixedTime] = fixedTime;
                rig.initial[AttackShape] = 4;
                rig.initial[DecayShape] = 6;
                rig.initial[ReleaseShape] = 0;
                rig.initial[RestartFromZero] = 1;
                rig.audio[static_cast<std::size_t>(pin)] = bad;
                rig.gate(1);
                rig.run(3000);
                rig.gate(1);
                rig.run(3000);
                rig.gate(0);
                rig.run(3000);
                SCOPED_TRACE("pin " + std::to_string(pin) + " value " + std::to_string(bad));
                // Curves 0 and 4 overshoot 1 by less than 0.4 %.
                EXPECT_TRUE(allFiniteWithin(rig.out, 0.0f, 1.005f));
            }
        }
    }
}

TEST(DadsrBadInput, NotANumberSustainCountsAsZero) {
    DadsrRig rig(44100.0f);
    rig.audio[Sustain] = kNaN;
    rig.gate(1);
    rig.run(640);
    EXPECT_EQ(rig.out.back(), 0.0f);
}

TEST(DadsrBadInput, InfiniteAttackNeverAdvances) {
    DadsrRig rig(44100.0f);
    rig.audio[Attack] = kInf;
    rig.gate(1);
    rig.run(640);
    EXPECT_EQ(rig.out.back(), 0.0f);
}

TEST(DadsrBadInput, NotANumberDelayDoesNotDelay) {
    DadsrRig rig(44100.0f);
    rig.audio[Attack] = 1.0f;
    rig.audio[Delay] = kNaN;
    rig.gate(1);
    EXPECT_NEAR(rig.out[1], 1.0 / 44100.0, 1e-9);
}

TEST(DadsrBadInput, HostileTriggerAndLevelValues) {
    DadsrRig rig(44100.0f, 16);
    rig.audio[Sustain] = 0.5f;
    rig.gate(1);
    for (float t : {kNaN, 1.0f, kNaN, 0.0f, kInf, -kInf, 1e-41f, -0.0f}) {
        rig.next().addFloat(3, Trigger, t);
        rig.block();
        rig.run(100);
    }
    EXPECT_TRUE(allFiniteWithin(rig.out, 0.0f, 1.0f));
    // A NaN level at a pin change is not 0: the envelope keeps running, and the output
    // carries the NaN it was multiplied by.
    rig.gate(1);
    rig.audio[Level] = kNaN;
    rig.next().addInt(0, AttackShape, 1);
    rig.block();
    EXPECT_TRUE(std::isnan(rig.out.back()));
}

TEST(DadsrBadInput, BlocksOfOneSampleMatchLongBlocks) {
    auto render = [](int32 blockSize) {
        DadsrRig rig(44100.0f, blockSize);
        rig.initial[AttackShape] = 0;
        rig.initial[DecayShape] = 4;
        rig.initial[ReleaseShape] = 5;
        rig.audio[Attack] = 0.3f;
        rig.audio[Decay] = 0.4f;
        rig.audio[Sustain] = 0.4f;
        rig.audio[Release] = 0.35f;
        rig.gate(1);
        rig.run(1664 - rig.now());
        rig.gate(0);
        rig.run(3264 - rig.now());
        rig.out.resize(3264);
        return rig.out;
    };
    const auto single = render(1);
    const auto blocked = render(64);
    ASSERT_EQ(single.size(), blocked.size());
    for (std::size_t i = 0; i < single.size(); ++i)
        ASSERT_EQ(single[i], blocked[i]) << i;
}

TEST(DadsrBadInput, ExtremeSampleRates) {
    for (float rate : {1000.0f, 8000.0f, 192000.0f, 384000.0f}) {
        DadsrRig rig(rate, 128);
        rig.audio[Attack] = 0.9f;
        const std::int64_t g = rig.now();
        rig.gate(1);
        rig.run(static_cast<std::int64_t>(rate));
        const std::int64_t top = rig.find(g, [](float v) { return v >= 1.0f; });
        EXPECT_NEAR(static_cast<double>(top - g), 0.5 * rate, 1.0) << rate;
    }
}
