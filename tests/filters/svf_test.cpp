// "ZR-SVF-02" measured on its output: the state-variable responses against the analytic
// response of the Chamberlin recursion, the one-pole slopes, the all-pass's flat magnitude,
// the resonance gains from the first sample on, and recovery from hostile input.
#include "tests/filters/effects_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>

namespace effectstest {
namespace {

constexpr gmpi::int32 kIn = 0, kPitch = 1, kRes = 2, kOut = 3, kMode = 4, kBlend = 6, kOn = 7,
                      kClear = 8;
constexpr double kRate = 44100.0;
using cd = std::complex<double>;

std::unique_ptr<EffectRig> svf(int mode, float pitch, float res, float blend = 0.0f) {
    auto rig = std::make_unique<EffectRig>(u"ZR-SVF-02", std::vector<gmpi::int32>{0, 1, 2, 5, 6},
                                           std::vector<gmpi::int32>{kOut});
    rig->value(kPitch, pitch);
    rig->value(kRes, res);
    rig->value(kBlend, blend);
    rig->stream(kIn, true);
    rig->setInt(kOn, 1);
    rig->setInt(kMode, mode);
    return rig;
}

// Complex response at `hz` of the settled output to a sine of amplitude 0.1.
cd measured(int mode, float pitch, float res, float blend, double hz) {
    auto rig = svf(mode, pitch, res, blend);
    const long n = std::max(16384L, static_cast<long>(40.0 * kRate / hz));
    rig->signal(kIn, sine(hz, kRate, 0.1));
    const auto y = rig->run(2 * n)[kOut];
    cd acc = 0.0;
    for (long i = n; i < 2 * n; ++i) {
        const double ph = 2.0 * std::numbers::pi * hz * static_cast<double>(i) / kRate;
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i - n) / (n - 1));
        acc += w * static_cast<double>(y[i]) * cd(std::sin(ph), std::cos(ph));
    }
    // y = |H| sin(ph + phi) gives acc = n/2 (window mean) x 0.1 |H| e^(j phi) / 2.
    return acc / (0.5 * n * 0.5 * 0.1);
}

double pitchHz(float p) {
    return 440.0 * std::pow(2.0, p * 10.0 - 5.0);
}

// The Chamberlin section: low += f band; high = x - low - q band; band += f high. In z:
// D = (1 - z^-1)^2 + f^2 z^-1 + q f z^-1 (1 - z^-1); low f^2 z^-1 / D, band f (1 - z^-1) / D,
// high (1 - z^-1)^2 / D.
struct Section {
    cd low, band, high;
};
Section chamberlin(double f, double q, double hz) {
    const cd z1 = std::exp(cd(0.0, -2.0 * std::numbers::pi * hz / kRate));
    const cd d = (1.0 - z1) * (1.0 - z1) + f * f * z1 + q * f * z1 * (1.0 - z1);
    return {f * f * z1 / d, f * (1.0 - z1) / d, (1.0 - z1) * (1.0 - z1) / d};
}

// Modes 1-3 below resonance 0.85 (gains 1): section 1 on a quarter of the input, section 2
// (undamped, frequency limited to 0.78) on its tap, faded by Blend x 0.98, times 4.
cd pairResponse(int mode, float pitch, float res, float blend, double hz) {
    const double f = 2.0 * std::sin(std::numbers::pi * pitchHz(pitch) / kRate);
    const Section s1 = chamberlin(f, 1.0 - res * 0.996, hz);
    const Section s2 = chamberlin(std::min(f, 0.78), 1.0, hz);
    const cd a = mode == 1 ? s1.low : mode == 2 ? s1.high : s1.band;
    const cd b = a * (mode == 1 ? s2.low : mode == 2 ? s2.high : s2.band);
    return a + (b - a) * (blend * 0.98);
}

TEST(SvfResponse, PairModesMatchTheChamberlinResponseAtTheirCutoff) {
    for (int mode : {1, 2, 3}) {
        for (float pitch : {0.4f, 0.6f, 0.75f}) {
            for (float res : {0.0f, 0.5f, 0.8f}) {
                for (float blend : {0.0f, 1.0f}) {
                    SCOPED_TRACE(testing::Message() << "mode " << mode << " pitch " << pitch
                                                    << " res " << res << " blend " << blend);
                    const double hz = pitchHz(pitch);
                    const double got = std::abs(measured(mode, pitch, res, blend, hz));
                    const double want = std::abs(pairResponse(mode, pitch, res, blend, hz));
                    EXPECT_NEAR(dB(got), dB(want), 0.25);
                }
            }
        }
    }
}

TEST(SvfResponse, DoubleNotchCutsAtThePitchAndPassesAround) {
    for (float pitch : {0.4f, 0.6f}) {
        const double fc = pitchHz(pitch);
        const double f = 2.0 * std::sin(std::numbers::pi * fc / kRate);
        for (double hz : {fc / 4.0, fc * 4.0}) {
            const Section s = chamberlin(f, 1.0, hz);
            const cd notch = s.high + s.low;
            EXPECT_NEAR(dB(std::abs(measured(4, pitch, 0.0f, 0.0f, hz))), dB(std::abs(notch)),
                        0.25);
            EXPECT_NEAR(dB(std::abs(measured(4, pitch, 0.0f, 1.0f, hz))),
                        dB(std::abs(notch * notch)), 0.25);
        }
        EXPECT_LT(dB(std::abs(measured(4, pitch, 0.0f, 0.0f, fc))), -30.0);
    }
}

TEST(SvfResponse, OnePoleModesFallSixDbPerOctave) {
    // Low-pass at 55 Hz, measured four and five octaves up; high-pass at 3520 Hz, measured
    // four and five octaves down.
    const double lowCut = pitchHz(0.2f), highCut = pitchHz(0.8f);
    const double lp1 = dB(std::abs(measured(5, 0.2f, 0.0f, 0.0f, lowCut * 16.0)));
    const double lp2 = dB(std::abs(measured(5, 0.2f, 0.0f, 0.0f, lowCut * 32.0)));
    EXPECT_NEAR(lp1 - lp2, 6.0, 0.3);
    // 20 log10(16) below the passband, give or take the sampled pole's error.
    EXPECT_NEAR(lp1, -24.1, 0.5);
    const double hp1 = dB(std::abs(measured(6, 0.8f, 0.0f, 0.0f, highCut / 16.0)));
    const double hp2 = dB(std::abs(measured(6, 0.8f, 0.0f, 0.0f, highCut / 32.0)));
    EXPECT_NEAR(hp1 - hp2, 6.0, 0.3);
    // The band-pass at Pitch 0.5 spans the table's extremes (13.75 Hz .. 14.08 kHz): flat in
    // the middle, as the difference of the two lags says.
    const auto lag = [](double fc, double hz) {
        const double a = std::exp(-2.0 * std::numbers::pi * fc / kRate);
        const cd z1 = std::exp(cd(0.0, -2.0 * std::numbers::pi * hz / kRate));
        return (1.0 - a) / (1.0 - a * z1);
    };
    const cd l1 = lag(pitchHz(1.0f), 1000.0);
    const cd band = l1 - l1 * lag(pitchHz(0.0f), 1000.0);
    EXPECT_NEAR(dB(std::abs(measured(7, 0.5f, 0.0f, 0.0f, 1000.0))), dB(std::abs(band)), 0.1);
}

TEST(SvfResponse, AllPassKeepsTheMagnitudeAndTurnsThePhase) {
    for (float res : {0.0f, 0.6f, 1.0f}) {
        for (double hz : {100.0, 440.0, 2000.0, 9000.0}) {
            SCOPED_TRACE(testing::Message() << "res " << res << " at " << hz);
            EXPECT_NEAR(dB(std::abs(measured(8, 0.5f, res, 0.0f, hz))), 0.0, 0.05);
        }
    }
    // The phase follows the all-pass with poles at angle 2 pi w(p) and radius exp(-pi w(e p)),
    // e = res x 1.5 + 0.5, w(v) the table frequency over the rate: half a turn near the pitch.
    const auto w = [](double v) { return pitchHz(static_cast<float>(v)) / kRate; };
    for (float res : {0.0f, 0.3f, 1.0f}) {
        for (double hz : {220.0, 440.0, 1000.0}) {
            SCOPED_TRACE(testing::Message() << "res " << res << " at " << hz);
            const double r = std::exp(-std::numbers::pi * w((res * 1.5 + 0.5) * 0.5));
            const double c1 = 2.0 * r * std::cos(2.0 * std::numbers::pi * w(0.5)), c2 = r * r;
            const cd z1 = std::exp(cd(0.0, -2.0 * std::numbers::pi * hz / kRate));
            const cd a = (c2 - c1 * z1 + z1 * z1) / (1.0 - c1 * z1 + c2 * z1 * z1);
            const cd got = measured(8, 0.5f, res, 0.0f, hz);
            EXPECT_NEAR(std::arg(got / a), 0.0, 0.01);
        }
    }
}

// Output level of a settled constant input.
double settledDc(int mode, float res, float level = 0.1f) {
    auto rig = svf(mode, 0.5f, res);
    rig->signal(kIn, constant(level));
    // Long enough for the pair at full resonance (damping 0.004) to stop ringing.
    return rig->run(150000)[kOut].back() / level;
}

TEST(SvfGains, ResonanceGainsApplyFromTheFirstOutput) {
    // Low-pass at DC: the pair passes the input, so the level is gain A x gain B, read from
    // A = 17 x 1, 0.75, 0.5, 0.25, 0.125, 0.125 and B = 19 x 1, 1.5, 2, 2 at res x 20.
    struct Case {
        float res;
        double gain;
    };
    for (Case c : {Case{0.5f, 1.0}, Case{0.875f, 0.75 + (0.5 - 0.75) * 0.5}, Case{0.9f, 0.5},
                   Case{0.95f, 0.25 * 1.5}, Case{1.0f, 0.125 * 2.0}}) {
        SCOPED_TRACE(c.res);
        EXPECT_NEAR(settledDc(1, c.res), c.gain, 2e-3);
    }
}

TEST(SvfGains, GainsFollowResonanceAfterTheAllPassCachedIt) {
    // The all-pass compares resonance too; switching from it to the pair at the same
    // resonance must still give the pair its gains.
    auto rig = svf(8, 0.5f, 0.9f);
    rig->signal(kIn, constant(0.1f));
    rig->run(1024);
    rig->setInt(kMode, 1);
    EXPECT_NEAR(rig->run(20000)[kOut].back() / 0.1, 0.5, 2e-3);
}

TEST(SvfBadInput, ResonanceOutsideItsRangeActsAsTheNearestEnd) {
    // Beyond 1/0.996 the first section's damping would be negative and the pair would grow
    // without bound; below 0 the tables would be read before their start.
    struct Case {
        float res, same;
    };
    for (int mode : {1, 2, 3, 8}) {
        for (Case c : {Case{1.2f, 1.0f}, Case{1e30f, 1.0f}, Case{-0.5f, 0.0f}, Case{-1e30f, 0.0f},
                       Case{NAN, 0.0f}}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " res " << c.res);
            auto a = svf(mode, 0.6f, c.res), b = svf(mode, 0.6f, c.same);
            a->signal(kIn, sine(300.0, kRate, 0.5));
            b->signal(kIn, sine(300.0, kRate, 0.5));
            const auto ya = a->run(44100)[kOut], yb = b->run(44100)[kOut];
            EXPECT_EQ(ya, yb);
            float peak = 0.0f;
            for (float v : ya)
                peak = std::max(peak, std::fabs(v));
            EXPECT_LT(peak, 50.0f);
        }
    }
}

TEST(SvfBadInput, NonFiniteInputDoesNoLastingHarm) {
    const Signal tone = sine(500.0, kRate, 0.3);
    for (int mode = 1; mode <= 8; ++mode) {
        for (float bad : {NAN, INFINITY, -INFINITY}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " input " << bad);
            // A clear after the bad stretch: from then on as a fresh filter.
            auto a = svf(mode, 0.55f, 0.5f, 0.5f);
            a->signal(kIn, [&](long t) { return t < 64 ? bad : tone(t); });
            a->run(256);
            a->setFloat(kClear, 1.0f);
            const auto after = a->run(4096)[kOut];
            auto fresh = svf(mode, 0.55f, 0.5f, 0.5f);
            fresh->signal(kIn, [&](long t) { return tone(t + 256); });
            EXPECT_EQ(after, fresh->run(4096)[kOut]);

            // Or a silent stretch: the input idle at 0 stops and clears the filter.
            auto b = svf(mode, 0.55f, 0.5f, 0.5f);
            b->signal(kIn, constant(bad));
            b->run(256);
            b->stream(kIn, false);
            b->signal(kIn, constant(0.0f));
            b->run(256);
            b->stream(kIn, true);
            b->signal(kIn, [&](long t) { return tone(t - 512); });
            EXPECT_TRUE(allFinite(b->run(4096)[kOut]));
        }
    }
}

TEST(SvfCache, AModeChangeAtAHighPitchRecomputesTheCoefficients) {
    // After a mode change the next sample must recompute, also at pitch values where adding
    // a small offset to the cache changes nothing in single precision.
    const Signal tone = sine(2000.0, kRate, 0.3);
    for (float pitch : {2.5f, 40.0f}) {
        for (int to : {5, 6, 7, 8}) {
            SCOPED_TRACE(testing::Message() << "pitch " << pitch << " to mode " << to);
            auto a = svf(4, pitch, 0.5f);
            a->signal(kIn, tone);
            a->run(1024);
            a->setInt(kMode, to);
            const auto switched = a->run(2048)[kOut];
            auto fresh = svf(to, pitch, 0.5f);
            fresh->signal(kIn, [&](long t) { return tone(t + 1024); });
            EXPECT_EQ(switched, fresh->run(2048)[kOut]);
        }
    }
}

TEST(SvfPins, OffSilencesAStreamingInput) {
    auto rig = svf(5, 0.5f, 0.0f);
    rig->signal(kIn, sine(200.0, kRate, 0.5));
    rig->setInt(kOn, 0);
    const auto y = rig->run(1024)[kOut];
    EXPECT_EQ(*std::max_element(y.begin(), y.end()), 0.0f);
    EXPECT_FALSE(rig->declaredStreaming(kOut));
}

} // namespace
} // namespace effectstest
