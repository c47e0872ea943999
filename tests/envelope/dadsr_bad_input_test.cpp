// Hostile input: curve types outside 0..6, negative, NaN and infinite values, odd block sizes
// and sample rates. Nothing may crash or read outside a table, and the fallbacks hold.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace envtest;

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
bool finiteWithin(const std::vector<float>& v, float hi) {
    return std::all_of(v.begin(), v.end(),
                       [=](float x) { return std::isfinite(x) && x >= 0.0f && x <= hi; });
}
} // namespace

class BadCurveType : public ::testing::TestWithParam<int32> {};

// Without a curve the level stays as it is: the attack never leaves 0, the decay holds full
// scale for its time and then drops to sustain, the release holds its start for its time and
// then ends (the level-scaled routine one step after its phase runs out).
TEST_P(BadCurveType, TheLevelHoldsUntilTheSegmentTimeIsUp) {
    for (int32 fixed : {1, 0}) {
        DadsrRig stuck(44100.0f);
        stuck.initial[AttackShape] = GetParam();
        stuck.initial[FixedTime] = fixed;
        stuck.gate(1);
        stuck.run(4410);
        EXPECT_TRUE(finiteWithin(stuck.out, 0.0f));

        DadsrRig rig(44100.0f);
        rig.initial[DecayShape] = rig.initial[ReleaseShape] = GetParam();
        rig.initial[FixedTime] = fixed;
        rig.audio[Decay] = rig.audio[Release] = 0.5f; // 2^-5 s
        rig.audio[Sustain] = 0.5f;
        const auto g = rig.gate(1);
        rig.run(8820);
        const auto top = g + rig.until(g, [](float v) { return v == 1.0f; });
        // Level-scaled, both move their phase by the increment times 0.5 (1 - S, and the
        // start level), so they take twice as long.
        const double samples = 1378.125 * (fixed ? 1.0 : 2.0);
        const double slack = fixed ? 1.0 : 2.0;
        EXPECT_NEAR(rig.until(top, [](float v) { return v == 0.5f; }), samples, slack);
        const auto r = rig.gate(0);
        rig.run(8820);
        EXPECT_NEAR(rig.until(r, [](float v) { return v == 0.0f; }), samples, slack);
        EXPECT_TRUE(rig.module().isAsleep());
    }
}

INSTANTIATE_TEST_SUITE_P(Envelope, BadCurveType,
                         ::testing::Values(-1, 7, 1000, 65538, std::numeric_limits<int32>::min(),
                                           std::numeric_limits<int32>::max()));

TEST(EnvelopeBadInput, CurveSixStillEndsInTheLevelScaledRoutines) {
    // Type 6 stays at e^-11.5 at its foot; decay and release end all the same.
    DadsrRig rig(44100.0f);
    rig.initial[DecayShape] = rig.initial[ReleaseShape] = 6;
    rig.initial[FixedTime] = 0;
    rig.audio[Decay] = rig.audio[Release] = 0.5f;
    rig.audio[Sustain] = 0.0f;
    rig.gate(1);
    rig.run(4410);
    EXPECT_EQ(rig.out.back(), 0.0f);
    rig.audio[Sustain] = 1.0f;
    rig.gate(1);
    rig.run(4410);
    rig.gate(0);
    rig.run(8820);
    EXPECT_EQ(rig.out.back(), 0.0f);
    EXPECT_TRUE(rig.module().isAsleep());
}

TEST(EnvelopeBadInput, NotANumberAndInfiniteInputsStayInRange) {
    for (float bad : {kNaN, kInf, -kInf, 1e30f, -1e30f, 1e-41f}) {
        for (int32 pin : {Attack, Decay, Sustain, Release, Delay}) {
            for (int32 fixed : {1, 0}) {
                DadsrRig rig(44100.0f, 37);
                rig.initial[FixedTime] = fixed;
                rig.initial[AttackShape] = 4;
                rig.initial[DecayShape] = 6;
                rig.initial[ReleaseShape] = 0;
                rig.initial[RestartFromZero] = 1;
                rig.audio[static_cast<std::size_t>(pin)] = bad;
                for (int32 gate : {1, 1, 0}) {
                    rig.gate(gate);
                    rig.run(3000);
                }
                // Curves 0 and 4 overshoot 1 by less than 0.4 %.
                EXPECT_TRUE(finiteWithin(rig.out, 1.005f)) << pin << " " << bad;
            }
        }
    }
    // Documented readings: NaN sustain is 0, an infinite attack never advances, a NaN delay
    // does not delay.
    DadsrRig rig(44100.0f);
    rig.audio[Sustain] = kNaN;
    rig.source[Delay] = [](std::int64_t i) { return i < 64 ? kNaN : 0.0f; };
    rig.gate(1);
    rig.run(640);
    EXPECT_EQ(rig.out.back(), 0.0f);
    EXPECT_NEAR(rig.at(1), 1.0 / 44.1, 1e-7);
    rig.audio[Attack] = kInf;
    const auto g = rig.gate(1);
    rig.run(640);
    EXPECT_TRUE(std::all_of(rig.out.begin() + g, rig.out.end(), [](float v) { return v == 0.0f; }));
}

TEST(EnvelopeBadInput, HostileTriggerAndLevelValues) {
    DadsrRig rig(44100.0f, 16);
    rig.audio[Sustain] = 0.5f;
    rig.gate(1);
    for (float t : {kNaN, 1.0f, kNaN, 0.0f, kInf, -kInf, 1e-41f, -0.0f}) {
        rig.sendFloat(3, Trigger, t).block();
        rig.run(100);
    }
    EXPECT_TRUE(finiteWithin(rig.out, 1.0f));
    // A NaN level is not 0: the envelope keeps running and its output carries the NaN.
    rig.gate(1);
    rig.audio[Level] = kNaN;
    rig.sendInt(0, AttackShape, 1).block();
    EXPECT_TRUE(std::isnan(rig.out.back()));
}

TEST(EnvelopeBadInput, OneSampleBlocksAndExtremeRates) {
    auto render = [](int32 blockSize) {
        DadsrRig rig(44100.0f, blockSize);
        rig.initial[AttackShape] = 0;
        rig.initial[DecayShape] = 4;
        rig.initial[ReleaseShape] = 5;
        rig.audio = {1.0f, 0.3f, 0.4f, 0.4f, 0.35f, 1.0f};
        rig.gate(1);
        rig.run(1664 - rig.now());
        rig.gate(0);
        rig.run(3264 - rig.now());
        rig.out.resize(3264);
        return rig.out;
    };
    EXPECT_EQ(render(1), render(64));

    for (float rate : {1000.0f, 8000.0f, 192000.0f, 384000.0f}) {
        DadsrRig rig(rate, 128);
        rig.audio[Attack] = 0.9f; // 1/2 s
        const auto g = rig.gate(1);
        rig.run(static_cast<std::int64_t>(rate));
        EXPECT_NEAR(rig.until(g, [](float v) { return v >= 1.0f; }), 0.5 * rate, 1.0) << rate;
    }
}
