// "ZR Delay v3" measured on its output: impulse echoes at the time the controls ask for (at
// 44.1 and 48 kHz), echo levels through the loop, the equal-power pan law, delays beyond the
// line, hostile values in the loop, and the line's life across stops and reopens.
#include "tests/filters/effects_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace effectstest {
namespace {

constexpr gmpi::int32 kIn = 0, kFeedback = 1, kTime = 2, kSpread = 3, kLevel = 4, kPan = 5,
                      kClearLine = 6, kOutLevel = 7, kLeft = 8, kRight = 9, kDelayed = 10, kOn = 11,
                      kInterp = 12;

struct Settings {
    float time = 1.0f, spread = 0.0f, feedback = 0.0f, level = 1.0f, pan = 0.5f;
    float outLevel = 1.0f;
    bool cubic = false;
};

std::unique_ptr<EffectRig> delay(float rate, Settings s) {
    auto rig = std::make_unique<EffectRig>(u"ZR Delay v3",
                                           std::vector<gmpi::int32>{0, 1, 2, 3, 4, 5, 6, 7},
                                           std::vector<gmpi::int32>{kLeft, kRight, kDelayed}, rate);
    rig->value(kTime, s.time);
    rig->value(kSpread, s.spread);
    rig->value(kFeedback, s.feedback);
    rig->value(kLevel, s.level);
    rig->value(kPan, s.pan);
    rig->value(kOutLevel, s.outLevel);
    rig->stream(kIn, true);
    rig->setInt(kInterp, s.cubic ? 1 : 0);
    rig->setInt(kOn, 1);
    rig->signal(kIn, impulse(0));
    return rig;
}

// Index of the largest magnitude in y[from, to).
long peakAt(const std::vector<float>& y, long from, long to) {
    long best = from;
    for (long i = from; i < to; ++i)
        if (std::fabs(y[i]) > std::fabs(y[best])) best = i;
    return best;
}

TEST(DelayTime, ImpulseEchoesAtTheRequestedTime) {
    // Time 1.0 stands for 10 ms; the line adds 2 samples.
    for (float rate : {44100.0f, 48000.0f}) {
        for (float time : {0.0f, 1.0f, 3.0f, 10.0f, 250.0f}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, Time " << time);
            const long d = std::lround(rate * 0.01 * time) + 2;
            auto rig = delay(rate, {time});
            const auto y = rig->run(d + 64)[kDelayed];
            EXPECT_EQ(peakAt(y, 0, d + 64), d);
            EXPECT_NEAR(y[d], 1.0f, 1e-5);
        }
    }
}

TEST(DelayTime, SpreadStretchesTheDelay) {
    // h = 441 x Time + 2 samples; the spread s gives s x 2 x (h - 1) + h, s held to +-0.499.
    // With Time and Spread both 2 or more at the start, only a forced cache computes the
    // read position on the first sample.
    struct Case {
        float time, spread;
        double d;
    };
    for (Case c :
         {Case{1.0f, 0.25f, 664.0}, Case{1.0f, 0.499f, 0.998 * 442.0 + 443.0},
          Case{1.0f, 7.0f, 0.998 * 442.0 + 443.0}, Case{1.0f, -0.499f, -0.998 * 442.0 + 443.0},
          Case{3.0f, 2.5f, 0.998 * 1324.0 + 1325.0}}) {
        SCOPED_TRACE(testing::Message() << "time " << c.time << " spread " << c.spread);
        auto rig = delay(44100.0f, {c.time, c.spread});
        const auto y = rig->run(4096)[kDelayed];
        // Linear interpolation splits the impulse between the two samples around d.
        const long n = static_cast<long>(std::floor(c.d));
        const double frac = c.d - n;
        EXPECT_NEAR(y[n], 1.0 - frac, 1e-3);
        EXPECT_NEAR(y[n + 1], frac, 1e-3);
    }
}

TEST(DelayLoop, EchoLevelsFollowFeedbackAndLevel) {
    // Echo k: Delay Level^k x fb^(k-1), with fb the Feedback held to +-0.99 and moved 0.0001
    // away from 0. A Feedback of 2 or more must be computed at the start like any other. The
    // value read at one sample enters the line at the next, so each pass adds one sample.
    struct Case {
        float feedback, level;
        double fb;
        bool cubic;
    };
    for (Case c : {Case{0.5f, 0.8f, 0.5001, false}, Case{-0.3f, 1.0f, -0.3001, false},
                   Case{2.5f, 1.0f, 0.9901, false}, Case{-3.0f, 0.5f, -0.9901, false},
                   Case{0.5f, 1.0f, 0.5001, true}}) {
        SCOPED_TRACE(testing::Message() << "feedback " << c.feedback << " cubic " << c.cubic);
        auto rig = delay(44100.0f, {1.0f, 0.0f, c.feedback, c.level, 0.5f, 1.0f, c.cubic});
        const auto y = rig->run(5 * 443)[kDelayed];
        // The cubic read is 0.95 of the linear one.
        const double step = c.level * (c.cubic ? 0.95 : 1.0);
        for (int k = 1; k <= 4; ++k)
            EXPECT_NEAR(y[k * 444 - 1], std::pow(step, k) * std::pow(c.fb, k - 1), 1e-5) << k;
    }
}

TEST(DelayPan, EqualPowerLawAndHeldPosition) {
    // Left = cos(pan x pi / 2), Right = sin(...), each + 0.0000001: L^2 + R^2 stays 1. A pan
    // of 2 or more at the start is computed (held to 1), not left at its start value.
    for (float pan : {0.0f, 0.1f, 0.25f, 0.5f, 0.7f, 0.9f, 1.0f, -1.0f, 2.5f, 40.0f}) {
        SCOPED_TRACE(pan);
        auto rig = delay(44100.0f, {1.0f, 0.0f, 0.0f, 1.0f, pan, 0.5f});
        auto out = rig->run(512);
        const double y = out[kDelayed][443];
        const double l = out[kLeft][443] / (0.5 * y), r = out[kRight][443] / (0.5 * y);
        const double p = std::clamp(static_cast<double>(pan), 0.0, 1.0) * 1.5707963267948966;
        EXPECT_NEAR(l, std::cos(p) + 1e-7, 2e-6);
        EXPECT_NEAR(r, std::sin(p) + 1e-7, 2e-6);
        EXPECT_NEAR(l * l + r * r, 1.0, 1e-5);
    }
}

TEST(DelayLine, DelaysBeyondTheLineWrapOnceWhereverTheWriteIndexIs) {
    // At 1 kHz the line holds 10000 samples. A delay of L + 102 reads as 102, at the start
    // (write index 0) as well as later.
    const float time = 1010.0f; // 10 x 1010 + 2 = 10102 samples
    auto atStart = delay(1000.0f, {time});
    EXPECT_EQ(peakAt(atStart->run(512)[kDelayed], 0, 512), 102);

    auto later = delay(1000.0f, {0.0f});
    later->signal(kIn, impulse(5000));
    later->run(4992);
    later->value(kTime, time);
    const auto y = later->run(512)[kDelayed];
    EXPECT_EQ(peakAt(y, 0, 512) + 4992, 5000 + 102);
}

TEST(DelayBadInput, AnyTimeKeepsTheReadInsideTheLine) {
    for (float time : {1e9f, -1e9f, INFINITY, -INFINITY, NAN, -5.0f, 999.9f, 2000.0f}) {
        for (float spread : {0.0f, 0.499f, -0.499f, NAN}) {
            SCOPED_TRACE(testing::Message() << "time " << time << " spread " << spread);
            auto rig = delay(1000.0f, {time, spread, 0.9f, 1.0f, 0.5f, 1.0f, true});
            rig->signal(kIn, sine(50.0, 1000.0, 0.5));
            EXPECT_TRUE(allFinite(rig->run(30000)[kDelayed]));
        }
    }
    // A NaN Time reads as 0: the two-sample delay.
    auto rig = delay(44100.0f, {NAN});
    EXPECT_EQ(peakAt(rig->run(64)[kDelayed], 0, 64), 2);
}

TEST(DelayBadInput, NonFiniteValuesDoNotCirculate) {
    // A NaN or infinite input sample is not written into the loop; the echoes of the clean
    // impulse after it keep their levels.
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        SCOPED_TRACE(bad);
        auto rig = delay(44100.0f, {1.0f, 0.0f, 0.9f});
        rig->signal(kIn, [bad](long t) { return t == 0 ? bad : (t == 10 ? 1.0f : 0.0f); });
        const auto y = rig->run(4 * 443)[kDelayed];
        EXPECT_TRUE(allFinite(y));
        EXPECT_NEAR(y[10 + 443], 1.0, 1e-5);
        EXPECT_NEAR(y[10 + 2 * 443 + 1], 0.9001, 1e-5);
    }
    // A NaN level for one block: that block's outputs only.
    auto rig = delay(44100.0f, {1.0f, 0.0f, 0.9f});
    rig->signal(kIn, sine(300.0, 44100.0, 0.5));
    rig->run(1024);
    rig->value(kLevel, NAN);
    rig->run(64);
    rig->value(kLevel, 1.0f);
    EXPECT_TRUE(allFinite(rig->run(20000)[kDelayed]));
}

TEST(DelayLine, StoppingOrClearingEmptiesTheLine) {
    // On set to another value than 1: silent, and the line is empty when it runs again.
    auto rig = delay(44100.0f, {1.0f, 0.0f, 0.5f});
    rig->run(128);
    rig->setInt(kOn, 0);
    auto off = rig->run(64);
    EXPECT_EQ(*std::max_element(off[kLeft].begin(), off[kLeft].end()), 0.0f);
    EXPECT_FALSE(rig->declaredStreaming(kDelayed));
    rig->setInt(kOn, 1);
    auto y = rig->run(2048)[kDelayed];
    EXPECT_EQ(*std::max_element(y.begin(), y.end()), 0.0f);
    EXPECT_EQ(*std::min_element(y.begin(), y.end()), 0.0f);

    // Clear Line changing to a non-zero value while running.
    auto c = delay(44100.0f, {1.0f, 0.0f, 0.5f});
    c->run(128);
    c->value(kClearLine, 1.0f);
    c->stream(kClearLine, true);
    y = c->run(2048)[kDelayed];
    EXPECT_EQ(*std::max_element(y.begin(), y.end()), 0.0f);
}

TEST(DelayLine, ReopeningAtAnotherRateResizesTheLine) {
    auto rig = delay(1000.0f, {1.0f});
    EXPECT_EQ(peakAt(rig->run(64)[kDelayed], 0, 64), 12);
    // The host changes the rate between opens (the host library keeps it in its settings).
    const_cast<zrhost::AudioSettings&>(rig->module().settings()).sampleRate = 2000.0f;
    rig->module().open();
    // 19982 samples fit the new 20000-sample line, not the old 10000-sample one.
    rig->value(kTime, 999.0f);
    const long start = rig->now();
    rig->signal(kIn, impulse(start));
    rig->setInt(kOn, 1);
    const auto y = rig->run(20100)[kDelayed];
    EXPECT_EQ(peakAt(y, 0, 20100), 19982);
}

} // namespace
} // namespace effectstest
