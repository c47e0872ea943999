// The examples of the sources, rendered through the engine and checked on what they sound
// like: the sync sweep keeps the master's period, the ring-modulated bell rings at the sum and
// difference tones, the clock's ticks sit on its pulses and its square wave gates an envelope.
#include "tests/zrhost/support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>

namespace {

std::vector<std::vector<float>> renderExample(const std::string& name) {
    std::ifstream in(std::string(ZRHOST_EXAMPLES_DIR) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return zrtest::render(text.str());
}

// Amplitude of the component at `hz` in x[start, start + n), Hann-windowed.
double toneLevel(const std::vector<float>& x, std::size_t start, std::size_t n, double rate,
                 double hz) {
    using std::numbers::pi;
    std::complex<double> acc = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * pi * static_cast<double>(i) / n);
        acc += w * x[start + i] * std::polar(1.0, -2.0 * pi * hz * static_cast<double>(i) / rate);
    }
    return 4.0 * std::abs(acc) / static_cast<double>(n);
}

// Correlation of x with itself `lag` samples later (linearly interpolated), over n samples.
double periodicity(const std::vector<float>& x, std::size_t start, std::size_t n, double lag) {
    double sxy = 0.0, sxx = 0.0, syy = 0.0;
    for (std::size_t i = start; i < start + n; ++i) {
        const double t = static_cast<double>(i) + lag;
        const auto k = static_cast<std::size_t>(t);
        const double y = x[k] + (x[k + 1] - x[k]) * (t - static_cast<double>(k));
        sxy += x[i] * y;
        sxx += x[i] * x[i];
        syy += y * y;
    }
    return sxy / std::sqrt(sxx * syy);
}

TEST(SourcesExamples, SyncSweepKeepsTheMastersPeriod) {
    const auto out = renderExample("sync-sweep.json");
    const auto& x = out.at(0);
    const double period = 44100.0 / 220.0;
    // Through the whole sweep (the slave from 220 Hz up to 880 Hz and back) every stretch
    // repeats after one master period; half a period later it does not.
    for (double t = 0.3; t < 5.8; t += 0.5) {
        const auto at = static_cast<std::size_t>(t * 44100.0);
        EXPECT_GT(periodicity(x, at, 2000, period), 0.97) << t << " s";
        EXPECT_LT(periodicity(x, at, 2000, period * 1.5), 0.9) << t << " s";
    }
    EXPECT_LE(zrtest::peakOf(x), 1.0f);
}

TEST(SourcesExamples, RingModulatedBellRingsAtSumAndDifference) {
    const auto out = renderExample("ring-bell.json");
    const auto& x = out.at(0);
    const double a = 440.0, b = 440.0 * 2.76;
    const std::size_t at = static_cast<std::size_t>(0.1 * 44100.0);
    const double sum = toneLevel(x, at, 8192, 44100.0, a + b);
    const double difference = toneLevel(x, at, 8192, 44100.0, b - a);
    EXPECT_GT(sum, 0.02);
    EXPECT_NEAR(difference / sum, 1.0, 0.35);
    // The inputs themselves are gone from the product.
    for (const double input : {a, b})
        EXPECT_LT(toneLevel(x, at, 8192, 44100.0, input), sum * 0.01) << input;
    // Each strike decays: loud just after it, much quieter before the next.
    EXPECT_GT(
        zrtest::peakOf(std::span(x).subspan(static_cast<std::size_t>(1.5 * 44100), 4410)),
        4.0f * zrtest::peakOf(std::span(x).subspan(static_cast<std::size_t>(1.4 * 44100), 4410)));
}

TEST(SourcesExamples, ClockTicksOnItsPulses) {
    const auto out = renderExample("clock-ticks.json");
    const auto &ticks = out.at(0), &clock = out.at(1);
    // 120 BPM, two pulses per beat: a pulse every 11025 samples, high for the first half.
    for (std::size_t k = 0; k < 11; ++k) {
        const std::size_t rise = k * 11025;
        EXPECT_EQ(clock[rise], 0.5f) << k;
        EXPECT_EQ(clock[rise + 5511], 0.5f) << k; // the fall is due at 5512.5
        EXPECT_EQ(clock[rise + 5512], 0.0f) << k;
        const float tick = zrtest::peakOf(std::span(ticks).subspan(rise, 1500));
        const float gap = zrtest::peakOf(std::span(ticks).subspan(rise + 8000, 3000));
        EXPECT_GT(tick, 0.3f) << k;
        EXPECT_LT(gap, tick * 0.01f) << k;
    }
}

TEST(SourcesExamples, ClockGatesTheEnvelope) {
    const auto out = renderExample("clock-envelope.json");
    const auto& x = out.at(0);
    // Each rise (every 11025 samples) starts the attack, the sustain (0.4 x the 0.9 output gain)
    // holds until the fall at 5512, and the release has ended before the next rise.
    for (std::size_t k = 0; k < 5; ++k) {
        const auto peak = [&](std::size_t a, std::size_t n) {
            return zrtest::peakOf(std::span(x).subspan(k * 11025 + a, n));
        };
        EXPECT_GT(peak(0, 1500), 0.7f) << k;
        EXPECT_NEAR(peak(4000, 1500), 0.36f, 0.02f) << k;
        EXPECT_LT(peak(9500, 1500), 0.01f) << k;
    }
}

} // namespace
