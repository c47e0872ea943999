// "ZR DIST CS" measured on its output: the plain gain and modulation, the levels through the
// decimation filters (their DC gains worked out from the coefficients), aliasing against a
// saturator run without oversampling, and hostile divisors, drives and levels.
#include "tests/filters/effects_rig.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

namespace effectstest {
namespace {

constexpr gmpi::int32 kIn = 0, kGain = 1, kMod = 3, kDepth = 4, kDrive = 5, kSat = 6, kDivisor = 7,
                      kOut = 9, kMode = 10;
constexpr double kRate = 44100.0;

struct Settings {
    float gain = 1.0f, mod = 0.0f, depth = 0.0f, drive = 1.0f, sat = 0.0f, divisor = 1.0f;
};

std::unique_ptr<EffectRig> dist(int mode, Settings s) {
    auto rig = std::make_unique<EffectRig>(u"ZR DIST CS",
                                           std::vector<gmpi::int32>{0, 1, 2, 3, 4, 5, 6, 7, 8},
                                           std::vector<gmpi::int32>{kOut});
    rig->value(kGain, s.gain);
    rig->value(kMod, s.mod);
    rig->value(kDepth, s.depth);
    rig->value(kDrive, s.drive);
    rig->value(kSat, s.sat);
    rig->value(kDivisor, s.divisor);
    rig->stream(kIn, true);
    rig->stream(kGain, true);
    rig->setInt(kMode, mode);
    return rig;
}

// DC gains from the published coefficients: sum b / sum a (times 0.95 for the single-precision
// filter). The 0.95 is called the filter's gain, but its DC gain comes out near 0.960.
double dcGain2x() {
    const double b = 0.00043129342 * 256.0;
    const double a = 1.0 - 3.8130767 + 8.192174 - 11.757323 + 12.114127 - 9.073977 + 4.824743 -
                     1.6785759 + 0.30113217;
    return 0.95 * b / a;
}
double dcGain4x() {
    const double b = 1.81304578931014e-6 * 256.0;
    const double a = 1.0 - 6.592352076009656 + 19.735586193511615 - 34.94728712084968 +
                     39.965871481921546 - 30.194007737385764 + 14.709339619004739 -
                     4.224678720160039 + 0.5479897407319985;
    return b / a;
}

TEST(DistGain, PlainModeMultipliesByGainAndModulation) {
    for (float depth : {0.0f, 0.5f, 1.0f}) {
        SCOPED_TRACE(depth);
        auto rig = dist(0, {0.7f, 0.0f, depth});
        const Signal x = sine(300.0, kRate, 0.8), m = sine(7.0, kRate, 1.0);
        rig->signal(kIn, x);
        rig->signal(kMod, m);
        const auto y = rig->run(2048)[kOut];
        for (long t = 0; t < 2048; ++t)
            ASSERT_EQ(y[t], (x(t) * 0.7f) * ((m(t) - 1.0f) * depth + 1.0000001f)) << t;
    }
}

TEST(DistGain, OversampledModesPassDcThroughTheirDecimationFilters) {
    EXPECT_NEAR(dcGain2x(), 0.960, 0.001);
    // Saturation 0: the signal passes the input and output filters and the divisor only.
    const double pre = 0.1 * 2.0 * 0.5 * 1.0000001;
    for (int mode : {1, 2, 3, 4}) {
        SCOPED_TRACE(mode);
        auto rig = dist(mode, {0.5f, 0.0f, 0.0f, 2.0f, 0.0f, 4.0f});
        rig->signal(kIn, constant(0.1f));
        const double g = mode <= 2 ? dcGain2x() * dcGain2x() : dcGain4x() * dcGain4x();
        EXPECT_NEAR(rig->run(8192)[kOut].back(), pre * g / 4.0, 1e-6);
    }
    // The modulator: input and Mod through their own filters, the product through a third.
    auto rig = dist(5, {0.5f, 0.6f, 0.5f});
    rig->signal(kIn, constant(0.1f));
    const double g = dcGain2x();
    const double expected = ((0.6 * g - 1.0) * 0.5 + 1.0000001) * (0.1 * g * 0.5) * g;
    EXPECT_NEAR(rig->run(8192)[kOut].back() / expected, 1.0, 1e-4);
}

// Share of the power that lies off the harmonics of tone bin k in y[from .. from + n).
double aliasRatioDb(const std::vector<float>& y, std::size_t from, std::size_t n, std::size_t k) {
    double harmonics = 0.0, total = 0.0;
    for (std::size_t bin = 1; bin < n / 2; ++bin) {
        const double p = filtertest::binPower(y, from, n, bin);
        total += p;
        if (bin % k == 0) harmonics += p;
    }
    return 10.0 * std::log10((total - harmonics) / harmonics);
}

TEST(DistAliasing, OversamplingKeepsFoldedHarmonicsBelowThePlainSaturator) {
    // A 5 kHz tone driven hard into the tanh: harmonics from 25 kHz up fold back onto bins
    // between the harmonics. The plain saturator runs at the base rate, computed here.
    constexpr std::size_t n = 4096, k = 465;
    const double hz = k * kRate / n;
    const Signal x = sine(hz, kRate, 0.9);
    std::vector<float> plain(n);
    for (std::size_t t = 0; t < n; ++t)
        plain[t] = static_cast<float>(std::tanh(std::clamp(x(t) * 3.0, -1.0, 1.0)));
    const double plainDb = aliasRatioDb(plain, 0, n, k);
    double db[2];
    for (int i = 0; i < 2; ++i) {
        auto rig = dist(i == 0 ? 2 : 4, {1.0f, 0.0f, 0.0f, 3.0f, 1.0f, 1.0f});
        rig->signal(kIn, x);
        db[i] = aliasRatioDb(rig->run(2 * n)[kOut], n, n, k);
    }
    std::printf("alias/harmonic power: plain %.1f dB, 2x %.1f dB, 4x %.1f dB\n", plainDb, db[0],
                db[1]);
    EXPECT_LT(db[0], plainDb - 10.0);
    EXPECT_LT(db[1], db[0]);
}

TEST(DistBadInput, ZeroDivisorLeavesTheOutputUndivided) {
    // 0, -0, a subnormal and NaN all divide by 1 (the output stays finite).
    for (int mode : {1, 2, 3, 4}) {
        for (float divisor : {0.0f, -0.0f, 1e-40f, NAN}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " divisor " << divisor);
            auto a = dist(mode, {1.0f, 0.0f, 0.0f, 2.0f, 0.5f, divisor});
            auto b = dist(mode, {1.0f, 0.0f, 0.0f, 2.0f, 0.5f, 1.0f});
            a->signal(kIn, sine(440.0, kRate, 0.5));
            b->signal(kIn, sine(440.0, kRate, 0.5));
            EXPECT_EQ(a->run(1024)[kOut], b->run(1024)[kOut]);
        }
    }
}

TEST(DistBadInput, ExtremeDriveGainAndSaturationPassWithoutPoisoningTheFilters) {
    const Signal tone = sine(440.0, kRate, 0.5);
    for (int mode : {1, 2, 3, 4, 5}) {
        for (float bad : {1e30f, INFINITY, -INFINITY, NAN}) {
            for (gmpi::int32 pin : {kDrive, kGain, kSat, kIn, kMod}) {
                SCOPED_TRACE(testing::Message()
                             << "mode " << mode << " pin " << pin << " = " << bad);
                Settings s{1.0f, 0.0f, 0.5f, 1.0f, 0.5f, 1.0f};
                auto rig = dist(mode, s), fresh = dist(mode, s);
                rig->signal(kIn, tone);
                rig->signal(pin, constant(bad));
                rig->run(512);
                // Back to normal: the filters' histories decay from a bounded level.
                rig->signal(pin, constant(pin == kDrive || pin == kGain ? 1.0f
                                          : pin == kSat                 ? 0.5f
                                                                        : 0.0f));
                rig->signal(kIn, tone);
                const auto y = rig->run(8192)[kOut];
                EXPECT_TRUE(allFinite(y));
                fresh->signal(kIn, tone);
                const auto f = fresh->run(512 + 8192)[kOut];
                EXPECT_NEAR(y.back(), f.back(), 1e-4);
            }
        }
    }
}

TEST(DistPins, IdleInputOrGainSilences) {
    // A constant zero input that is not streaming silences the module whatever the gain.
    auto rig = dist(2, {5.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f});
    rig->stream(kIn, false);
    const auto y = rig->run(256)[kOut];
    EXPECT_EQ(*std::max_element(y.begin(), y.end()), 0.0f);
    EXPECT_FALSE(rig->declaredStreaming(kOut));
    // A gain idle at or below 0 does too, with a live input.
    auto g = dist(1, {-1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f});
    g->stream(kGain, false);
    g->signal(kIn, sine(440.0, kRate, 0.5));
    const auto z = g->run(256)[kOut];
    EXPECT_EQ(*std::max_element(z.begin(), z.end()), 0.0f);
    EXPECT_FALSE(g->declaredStreaming(kOut));
}

} // namespace
} // namespace effectstest
