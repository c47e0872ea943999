// The gain matrix, the modulation mixer and the stereo panner, measured on their outputs:
// every matrix input on its output with the common gain, the mixer's blend, the panner's
// equal-power law in both modes, and what hostile gains and positions do.
#include "tests/filters/effects_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace effectstest {
namespace {

// ---- "ZR MATRICE 12": Common 0, inputs 1..12, outputs 13..24, On 25.
constexpr gmpi::int32 kCommon = 0, kOnMatrix = 25;
constexpr gmpi::int32 inPin(int n) {
    return n;
}
constexpr gmpi::int32 outPin(int n) {
    return 12 + n;
}

std::unique_ptr<EffectRig> matrix() {
    std::vector<gmpi::int32> ins{kCommon}, outs;
    for (int n = 1; n <= 12; ++n) {
        ins.push_back(inPin(n));
        outs.push_back(outPin(n));
    }
    return std::make_unique<EffectRig>(u"ZR MATRICE 12", ins, outs);
}

TEST(Matrix, EveryInputReachesItsOutputTimesTheCommonGain) {
    auto rig = matrix();
    const Signal g = sine(3.0, 44100.0, 2.0);
    rig->signal(kCommon, g);
    rig->stream(kCommon, true);
    for (int n = 1; n <= 12; ++n)
        rig->signal(inPin(n), sine(100.0 * n, 44100.0, 0.05 * n));
    rig->setInt(kOnMatrix, 1);
    auto out = rig->run(1024);
    for (int n = 1; n <= 12; ++n) {
        SCOPED_TRACE(n);
        const Signal x = sine(100.0 * n, 44100.0, 0.05 * n);
        for (long t = 0; t < 1024; ++t)
            ASSERT_EQ(out[outPin(n)][t], x(t) * g(t)) << t;
        EXPECT_TRUE(rig->declaredStreaming(outPin(n)));
    }
}

TEST(Matrix, StaticInputsGiveStaticOutputsAndOffGivesZeros) {
    auto rig = matrix();
    rig->value(kCommon, 1.0f);
    for (int n = 1; n <= 12; ++n)
        rig->value(inPin(n), 0.1f * n);
    rig->setInt(kOnMatrix, 1);
    auto out = rig->run(128);
    for (int n = 1; n <= 12; ++n) {
        EXPECT_EQ(out[outPin(n)].back(), 0.1f * n);
        EXPECT_FALSE(rig->declaredStreaming(outPin(n)));
    }
    rig->setInt(kOnMatrix, 2);
    out = rig->run(128);
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(out[outPin(n)].back(), 0.0f);
}

TEST(Matrix, HostileGainsLastOnlyAsLongAsTheyAreThere) {
    // No state: a NaN or huge gain gives the plain product for its samples, nothing after.
    auto rig = matrix();
    rig->signal(kCommon, [](long t) { return t < 64 ? NAN : (t < 128 ? 1e30f : 0.5f); });
    rig->stream(kCommon, true);
    for (int n = 1; n <= 12; ++n)
        rig->value(inPin(n), 1e30f);
    rig->setInt(kOnMatrix, 1);
    auto out = rig->run(256);
    for (int n = 1; n <= 12; ++n) {
        EXPECT_TRUE(std::isnan(out[outPin(n)][0]));
        EXPECT_TRUE(std::isinf(out[outPin(n)][100]));
        EXPECT_EQ(out[outPin(n)][200], 0.5e30f);
    }
}

// ---- "ZR MixM": Input 0, Amount 1, Multiplier 2, Output 3, On 4.
TEST(Mixer, AmountBlendsFromTheSignalToTheProduct) {
    struct Case {
        float amount;
        std::function<double(double, double)> expect;
    };
    const Case cases[] = {{-0.5f, [](double x, double) { return x; }},
                          {0.5f, [](double x, double b) { return x * b; }},
                          {1.5f, [](double x, double b) { return 2.0 * x * b - x; }},
                          {0.0f, [](double x, double b) { return 0.5 * (x + x * b); }}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amount);
        EffectRig rig(u"ZR MixM", {0, 1, 2}, {3});
        const Signal x = sine(440.0, 44100.0, 0.8), b = sine(5.0, 44100.0, 1.0);
        rig.signal(0, x);
        rig.signal(2, b);
        rig.value(1, c.amount);
        rig.stream(0, true);
        rig.setInt(4, 1);
        const auto y = rig.run(512)[3];
        for (long t = 0; t < 512; ++t)
            ASSERT_NEAR(y[t], c.expect(x(t), b(t)), 1e-6) << t;
        EXPECT_TRUE(rig.declaredStreaming(3));
    }
}

TEST(Mixer, OffOrStaticAndHostileInput) {
    EffectRig rig(u"ZR MixM", {0, 1, 2}, {3});
    rig.value(0, 0.5f);
    rig.value(1, NAN);
    rig.value(2, 2.0f);
    rig.setInt(4, 1);
    auto y = rig.run(64)[3];
    EXPECT_TRUE(std::isnan(y.back()));
    EXPECT_FALSE(rig.declaredStreaming(3));
    // A new static value comes with a streaming event, which wakes the module.
    rig.value(1, 0.5f);
    rig.stream(1, false);
    EXPECT_EQ(rig.run(64)[3].back(), 1.0f);
    rig.setInt(4, 0);
    EXPECT_EQ(rig.run(64)[3].back(), 0.0f);
}

// ---- "ZR PanST CS": In A 0, In B 1, Pan 2, Left 3, Right 4, Mode 5.
constexpr gmpi::int32 kA = 0, kB = 1, kPan = 2, kLeft = 3, kRight = 4, kPanMode = 5;

std::unique_ptr<EffectRig> panner(int mode, float pan, float a, float b) {
    auto rig = std::make_unique<EffectRig>(u"ZR PanST CS", std::vector<gmpi::int32>{0, 1, 2},
                                           std::vector<gmpi::int32>{kLeft, kRight});
    rig->value(kA, a);
    rig->value(kB, b);
    rig->value(kPan, pan);
    rig->stream(kA, true);
    rig->setInt(kPanMode, mode);
    return rig;
}

// The gains of the law: cos and sin of pan x pi / 2 (pan held to 0..1), each + 0.0000001.
double cosGain(double pan) {
    return std::cos(std::clamp(pan, 0.0, 1.0) * std::numbers::pi / 2.0) + 1e-7;
}
double sinGain(double pan) {
    return std::sin(std::clamp(pan, 0.0, 1.0) * std::numbers::pi / 2.0) + 1e-7;
}

TEST(Panner, SumModeFollowsTheEqualPowerLaw) {
    for (float pan : {0.0f, 0.2f, 0.5f, 0.8f, 1.0f, -3.0f, 2.5f, 1e30f}) {
        SCOPED_TRACE(pan);
        auto rig = panner(0, pan, 0.3f, 0.2f);
        auto out = rig->run(64);
        const double l = out[kLeft].back() / 0.5, r = out[kRight].back() / 0.5;
        EXPECT_NEAR(l, cosGain(pan), 1e-6);
        EXPECT_NEAR(r, sinGain(pan), 1e-6);
        EXPECT_NEAR(l * l + r * r, 1.0, 1e-5);
    }
    // NaN is held to 0, the left side.
    auto rig = panner(0, NAN, 0.3f, 0.2f);
    EXPECT_NEAR(rig->run(64)[kLeft].back(), 0.5 * cosGain(0.0), 1e-6);
}

TEST(Panner, CrossModePassesSwapsAndBlendsThePair) {
    for (float pan : {0.0f, 0.5f, 1.0f, 0.3f}) {
        SCOPED_TRACE(pan);
        auto rig = panner(1, pan, 0.3f, -0.2f);
        auto out = rig->run(64);
        EXPECT_NEAR(out[kLeft].back(), -0.2 * sinGain(pan) + 0.3 * cosGain(pan), 1e-6);
        EXPECT_NEAR(out[kRight].back(), -0.2 * cosGain(pan) + 0.3 * sinGain(pan), 1e-6);
    }
}

TEST(Panner, AModeChangeRecomputesTheGainsAtAnyPosition) {
    // Pan moves from 0 to 2.5 in the block where Mode changes. The cache is forced at the
    // change; adding 0.0000001 to 2.5 would change nothing and leave the gains of pan 0.
    for (float pan : {0.7f, 2.5f, 100.0f}) {
        SCOPED_TRACE(pan);
        auto rig = panner(0, 0.0f, 0.5f, 0.5f);
        rig->run(64);
        rig->value(kPan, pan);
        rig->setInt(kPanMode, 1);
        auto out = rig->run(64);
        EXPECT_NEAR(out[kLeft].back(), 0.5 * sinGain(pan) + 0.5 * cosGain(pan), 1e-6);
        EXPECT_NEAR(out[kRight].back(), 0.5 * cosGain(pan) + 0.5 * sinGain(pan), 1e-6);
    }
}

TEST(Panner, IdleInputsGiveStaticSilence) {
    auto rig = panner(0, 0.5f, 0.0f, 0.0f);
    rig->stream(kA, false);
    auto out = rig->run(128);
    EXPECT_EQ(out[kLeft].back(), 0.0f);
    EXPECT_EQ(out[kRight].back(), 0.0f);
    EXPECT_FALSE(rig->declaredStreaming(kLeft));
    EXPECT_FALSE(rig->declaredStreaming(kRight));
}

} // namespace
} // namespace effectstest
