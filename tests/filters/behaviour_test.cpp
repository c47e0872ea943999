// How the filter behaves over time: the clean ladder inside modes 2 and 3, pitch limits,
// restarts on mode changes and Clear, silence and sleep, and hostile input (NaN, infinities,
// far out-of-range controls and modes) after which the filter must work again.
#include "tests/filters/filter_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

namespace filtertest {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Repeatable noise of amplitude `amp`, as a function of the sample index (so that two rigs, or
// one rig restarted at `origin`, see the same samples).
FilterRig::Signal noise(float amp, long origin = 0) {
    return [amp, origin](long t) {
        std::uint32_t x = static_cast<std::uint32_t>(t - origin) * 2654435761u + 12345u;
        x ^= x >> 15;
        x *= 2246822519u;
        x ^= x >> 13;
        return amp * (static_cast<float>(x & 0xFFFFFF) / 8388608.0f - 1.0f);
    };
}

// Equal sample for sample, bit for bit.
::testing::AssertionResult sameSamples(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return ::testing::AssertionFailure() << "sizes differ";
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return ::testing::AssertionFailure()
                   << "sample " << i << ": " << a[i] << " vs " << b[i];
    return ::testing::AssertionSuccess();
}

bool allFinite(const std::vector<float>& y) {
    for (float v : y)
        if (!std::isfinite(v)) return false;
    return true;
}

// What a freshly created filter of `mode` puts out for `input` from its first sample.
std::vector<float> fresh(int mode, Controls c, const FilterRig::Signal& input, long count) {
    FilterRig rig(mode);
    rig.controls = c;
    return rig.run(input, count);
}

TEST(FilterModes, ZeroResonanceInModesTwoAndThreeIsTheCleanLadder) {
    const Controls c{0.45f, 0.0f, 0.0f};
    // Mode 1 is the plain four-stage ladder; also with a pitch that moves every sample.
    for (bool moving : {false, true}) {
        SCOPED_TRACE(moving);
        auto render = [&](int mode) {
            FilterRig rig(mode);
            rig.controls = c;
            if (moving) rig.pitchSignal = [](long t) { return 0.3f + 0.0001f * (t % 3000); };
            return rig.run(noise(1.4f), 4096);
        };
        const auto clean = render(1);
        EXPECT_TRUE(sameSamples(render(2), clean));
        EXPECT_TRUE(sameSamples(render(3), clean)); // input inside mode 3's +-1.5 limit
    }
}

TEST(FilterModes, ModeZeroCopiesAndAuxInIsIgnored) {
    FilterRig copy(0);
    const auto in = noise(3.0f);
    const auto y = copy.run(in, 1000);
    for (long t = 0; t < 1000; ++t)
        ASSERT_EQ(y[static_cast<std::size_t>(t)], in(t));

    // Noise on Aux In changes nothing.
    for (int mode : {2, 8, 17, 21, 28, 30}) {
        SCOPED_TRACE(mode);
        FilterRig rig(mode);
        rig.controls = {0.5f, 0.5f, 0.5f};
        auto aux = rig.module().buffer(kAuxPin);
        for (std::size_t i = 0; i < aux.size(); ++i)
            aux[i] = noise(5.0f)(static_cast<long>(i));
        EXPECT_TRUE(sameSamples(rig.run(noise(1.0f), 512),
                                fresh(mode, {0.5f, 0.5f, 0.5f}, noise(1.0f), 512)));
    }
}

// Highest pitch each mode reads; any higher Pitch gives the same sound.
float pitchLimit(int mode) {
    if (mode <= 4) return 0.99f;
    if (mode <= 18) return 1.039f;
    if (mode <= 22) return 1.0f;
    if (mode <= 25) return 0.9f;
    if (mode <= 28) return 1.0f;
    if (mode == 29) return 0.93f;
    return 1.054f;
}

// Level each mode holds its input to at zero resonance (0: no limit on the input itself).
float inputLimit(int mode) {
    if (mode == 2) return 15.0f;
    if (mode == 3) return 1.5f;
    if (mode == 4 || (mode >= 9 && mode <= 18)) return 2.0f;
    return 0.0f;
}

TEST(FilterModes, PitchAndInputBeyondTheirLimitsSoundLikeTheLimits) {
    for (int mode = 1; mode < 32; ++mode) {
        SCOPED_TRACE(mode);
        // Loud input: the same as the input clipped to the mode's limit beforehand.
        if (const float clip = inputLimit(mode); clip > 0.0f) {
            const auto loud = noise(5.0f);
            const auto clipped = [&](long t) { return std::clamp(loud(t), -clip, clip); };
            EXPECT_TRUE(sameSamples(fresh(mode, {0.4f, 0.0f, 0.3f}, loud, 2048),
                                    fresh(mode, {0.4f, 0.0f, 0.3f}, clipped, 2048)));
        }
        const float limit = pitchLimit(mode);
        // Modes 5 and 6 lower Pitch by a small offset before the limit: compare two values
        // that both lie beyond it.
        const bool offset = mode == 5 || mode == 6;
        const auto atLimit = fresh(mode, {offset ? 1.5f : limit, 0.4f, 0.3f}, noise(0.8f), 2048);
        // Huge values too: there a restart's cache offset of 0.001 vanishes in rounding, and
        // the coefficients must be computed all the same.
        for (float above : {limit + 2.0f, 1e30f, kInf}) {
            SCOPED_TRACE(above);
            EXPECT_TRUE(sameSamples(fresh(mode, {above, 0.4f, 0.3f}, noise(0.8f), 2048), atLimit));
        }
        // Below 0 is 0.
        EXPECT_TRUE(sameSamples(fresh(mode, {-3.0f, 0.4f, 0.3f}, noise(0.8f), 2048),
                                fresh(mode, {0.0f, 0.4f, 0.3f}, noise(0.8f), 2048)));
    }
}

TEST(FilterState, ModeChangeAndClearRestartFromClearedState) {
    for (int to : {1, 3, 5, 8, 13, 19, 22, 26, 30, 31}) {
        SCOPED_TRACE(to);
        const Controls c{0.6f, 0.6f, 0.4f};
        FilterRig rig(9);
        rig.controls = c;
        rig.run(noise(1.0f), 640);
        rig.setMode(to);
        EXPECT_TRUE(sameSamples(rig.run(noise(1.0f, 640), 1024), fresh(to, c, noise(1.0f), 1024)));

        // Clear above 0 restarts; Clear at 0 or below does not.
        rig.clear(1.0f);
        EXPECT_TRUE(sameSamples(rig.run(noise(1.0f, 1664), 1024), fresh(to, c, noise(1.0f), 1024)));
        rig.clear(0.0f);
        EXPECT_FALSE(
            sameSamples(rig.run(noise(1.0f, 2688), 1024), fresh(to, c, noise(1.0f), 1024)));
    }
}

TEST(FilterState, ModeOutsideTheRangeKeepsTheLastMode) {
    const Controls c{0.5f, 0.5f, 0.0f};
    for (int bad : {-1, 32, 1000, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(bad);
        FilterRig rig(4);
        rig.controls = c;
        rig.run(noise(1.0f), 640);
        rig.setMode(bad);
        // The mode event itself restarts the running mode from cleared state.
        EXPECT_TRUE(sameSamples(rig.run(noise(1.0f, 640), 1024), fresh(4, c, noise(1.0f), 1024)));
    }
    // Also across a silent stretch, when the silence routine was the one installed.
    FilterRig rig(4);
    rig.controls = c;
    rig.run(noise(1.0f), 640);
    rig.stopInputStreaming();
    rig.run(constant(0.0f), 640);
    rig.setMode(77);
    rig.startInputStreaming();
    EXPECT_TRUE(sameSamples(rig.run(noise(1.0f, 1280), 1024), fresh(4, c, noise(1.0f), 1024)));
}

TEST(FilterState, SilentInputGoesStaticAndSleepsThenRestartsCleanly) {
    for (int mode : {1, 7, 21, 30}) {
        SCOPED_TRACE(mode);
        const Controls c{0.5f, 0.5f, 0.5f};
        FilterRig rig(mode);
        rig.controls = c;
        rig.run(noise(1.0f), 640);
        EXPECT_FALSE(rig.module().isAsleep());
        rig.stopInputStreaming();
        const auto quiet = rig.run(constant(0.0f), 640);
        for (float v : quiet)
            ASSERT_EQ(v, 0.0f);
        const auto streaming = rig.module().streamingSent(kOutputPin);
        ASSERT_FALSE(streaming.empty());
        EXPECT_EQ(streaming.back(), 0);
        EXPECT_TRUE(rig.module().isAsleep());

        rig.startInputStreaming();
        EXPECT_TRUE(
            sameSamples(rig.run(noise(1.0f, 1280), 1024), fresh(mode, c, noise(1.0f), 1024)));
        EXPECT_EQ(rig.module().streamingSent(kOutputPin).back(), 1);
        EXPECT_FALSE(rig.module().isAsleep());
    }
}

TEST(FilterState, ConstantNonStreamingInputStillRunsTheFilter) {
    FilterRig rig(1);
    rig.streamInput = false;
    rig.controls = {0.3f, 0.0f, 0.0f};
    const auto y = rig.run(constant(0.5f), 8192);
    // The ladder rises smoothly towards the constant instead of copying it.
    EXPECT_LT(y[0], 0.01f);
    EXPECT_NEAR(y.back(), 0.5f, 1e-4f);
    EXPECT_FALSE(rig.module().isAsleep());
    EXPECT_EQ(rig.module().streamingSent(kOutputPin).back(), 1);
}

// Every mode, fed `input` under hostile controls, then cleared and fed noise under sane
// controls, sounds exactly like a fresh filter.
void expectRecovers(const FilterRig::Signal& input, Controls hostile, bool viaSilence) {
    const Controls sane{0.5f, 0.5f, 0.5f};
    for (int mode = 0; mode < 32; ++mode) {
        SCOPED_TRACE(mode);
        FilterRig rig(mode);
        rig.controls = hostile;
        rig.run(input, 640);
        rig.controls = sane;
        if (viaSilence) {
            rig.stopInputStreaming();
            rig.run(constant(0.0f), 640);
            rig.startInputStreaming();
        } else {
            rig.clear(1.0f);
        }
        const long origin = viaSilence ? 1280 : 640;
        const auto y = rig.run(noise(1.0f, origin), 1024);
        EXPECT_TRUE(allFinite(y));
        EXPECT_TRUE(sameSamples(y, fresh(mode, sane, noise(1.0f), 1024)));
    }
}

TEST(FilterBadInput, NaNAndInfiniteInputDoNotPoisonTheFilter) {
    for (bool viaSilence : {false, true}) {
        SCOPED_TRACE(viaSilence);
        expectRecovers(constant(kNaN), {0.5f, 0.5f, 0.5f}, viaSilence);
        expectRecovers([](long t) { return t % 2 ? kInf : -kInf; }, {0.5f, 0.5f, 0.5f}, viaSilence);
        expectRecovers(noise(1e30f), {0.5f, 0.9f, 0.5f}, viaSilence);
    }
}

TEST(FilterBadInput, ControlsFarOutsideTheirRangesDoNotPoisonTheFilter) {
    const float hostile[] = {kNaN, kInf, -kInf, 1e30f, -1e30f, 25.0f, -7.0f};
    for (float v : hostile) {
        SCOPED_TRACE(v);
        expectRecovers(noise(1.0f), {v, 0.5f, 0.5f}, false);
        expectRecovers(noise(1.0f), {0.5f, v, 0.5f}, false);
        expectRecovers(noise(1.0f), {0.5f, 0.5f, v}, false);
        expectRecovers(noise(1.0f), {v, v, v}, true);
    }
}

TEST(FilterBadInput, ControlsJumpingBetweenExtremesEverySample) {
    // Coefficients are recomputed on every sample from hostile values; table reads must stay
    // inside the tables (the sanitizer builds check) and the filter must work afterwards.
    static const float values[] = {kNaN, 3.0f, -1.0f, 0.5f, 1e9f, -kInf, 1.0541f, 0.0f};
    for (int mode = 0; mode < 32; ++mode) {
        SCOPED_TRACE(mode);
        FilterRig rig(mode);
        rig.pitchSignal = [](long t) { return values[t % 8]; };
        rig.resSignal = [](long t) { return values[(t / 3) % 8]; };
        rig.blendSignal = [](long t) { return values[(t / 5) % 8]; };
        rig.run(noise(2.0f), 2048);
        rig.pitchSignal = rig.resSignal = rig.blendSignal = nullptr;
        rig.controls = {0.5f, 0.5f, 0.5f};
        rig.clear(1.0f);
        EXPECT_TRUE(sameSamples(rig.run(noise(1.0f, 2048), 512),
                                fresh(mode, rig.controls, noise(1.0f), 512)));
    }
}

} // namespace
} // namespace filtertest
