// "ZR-RING ZRPM CS" measured on its output: the coefficient table against the one-pole
// formula, sum and difference tones at the expected frequencies and (at the sample rate) the
// amplitude the band filters predict, band limits, decay of DC, and the enables.
#include "source_driver.h"

namespace osctest {
namespace {

enum RingPin : int { RA, RB, ROut, REnable1 = 4, REnable2, RQuality, RBandA = 8, RBandB, RClear };
const std::vector<int> kRingInputs = {RA, RB, 3, 7, RBandA, RBandB};

using std::numbers::pi;

// One-pole coefficient for a cutoff of `hz`: e^(-2 pi hz / rate).
double pole(double hz, double rate) {
    return std::exp(-2.0 * pi * hz / rate);
}
// Gain at `f` of the band filter: stage 1 (pole k1) minus stage 2 (pole k2) applied to it.
double bandGain(double f, double k1, double k2, double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * pi * f / rate);
    const auto h1 = (1.0 - k1) / (1.0 - k1 * z1);
    const auto h2 = (1.0 - k2) / (1.0 - k2 * z1);
    return std::abs(h1 * (1.0 - h2));
}

struct Ring : ::testing::Test {
    Driver ring(float rate, int quality, float band = 0.5f) {
        Driver d(rig, u"ZR-RING ZRPM CS", rate, kRingInputs, {ROut});
        d.setInt(REnable1, 1);
        d.setInt(REnable2, 1);
        d.setInt(RQuality, quality);
        d.constant(RBandA, band);
        d.constant(RBandB, band);
        return d;
    }
    static Driver::Signal sine(double hz, double rate) {
        return [=](std::int64_t n) {
            return static_cast<float>(std::sin(2.0 * pi * hz * static_cast<double>(n) / rate));
        };
    }
    Rig rig;
};

TEST_F(Ring, TableHoldsTheOnePoleCoefficientOfEachPitch) {
    for (const float rate : {44100.0f, 48000.0f}) {
        Driver d = ring(rate, 0);
        auto bytes = rig.context().sharedMemory().find(u"QORV_VL_RING_P6", rate);
        ASSERT_EQ(bytes.size(), 40008u);
        const float* t = reinterpret_cast<const float*>(bytes.data());
        for (int i : {0, 1234, 5000, 7777, 10000}) {
            const double hz = 440.0 * std::exp2(i / 1000.0 - 5.0);
            EXPECT_NEAR(t[i], pole(hz, rate), 2e-6) << i;
        }
    }
    EXPECT_NEAR(pole(440.0, 44100.0), 0.9392, 1e-4);
}

TEST_F(Ring, SumAndDifferenceTones) {
    const double fa = 1000.0, fb = 300.0;
    for (const float rate : {44100.0f, 48000.0f}) {
        std::map<int, double> level;
        for (const int quality : {0, 1}) {
            Driver d = ring(rate, quality);
            d.signal(RA, sine(fa, rate));
            d.signal(RB, sine(fb, rate));
            const auto out = d.render(1 << 17)[ROut];
            const Spectrum s = spectrumOf(out, out.size() - (1 << 16), 1 << 16, rate);
            const double sum = s.amplitude(fa + fb), difference = s.amplitude(fa - fb);
            const double k1 = pole(14080.0, rate), k2 = pole(13.75, rate);
            const double expected = 0.5 * bandGain(fa, k1, k2, rate) * bandGain(fb, k1, k2, rate);
            if (quality == 0) {
                EXPECT_NEAR(sum / expected, 1.0, 0.01) << rate;
                EXPECT_NEAR(difference / expected, 1.0, 0.01) << rate;
            } else {
                // Three filters of gain 0.95 and a passband ripple of 1 dB around them.
                EXPECT_NEAR(dB(sum / expected), dB(0.857), 1.5) << rate;
                EXPECT_NEAR(dB(difference / expected), dB(0.857), 1.5) << rate;
            }
            for (const double other : {fb, fa, 2 * fa, 2 * fb, fa + 2 * fb, 3000.0})
                EXPECT_LT(dB(s.amplitude(other) / sum), -60.0)
                    << other << " Hz, quality " << quality << " at " << rate;
            level[quality] = sum;
        }
    }
}

// Band controls hold at their ends: -1 plays as 0 and 2 as 1, in both qualities.
TEST_F(Ring, BandControlsHoldAtTheirEnds) {
    for (const int quality : {0, 1}) {
        std::vector<std::vector<float>> outs;
        for (const float band : {-1.0f, 0.0f, 2.0f, 1.0f}) {
            Driver d = ring(44100.0f, quality, band);
            d.signal(RA, sine(500.0, 44100.0));
            d.signal(RB, sine(70.0, 44100.0));
            outs.push_back(d.render(4096)[ROut]);
        }
        EXPECT_EQ(outs[0], outs[1]);
        EXPECT_EQ(outs[2], outs[3]);
        EXPECT_NE(outs[1], outs[3]);
    }
}

// A constant input has no band content: the product decays to nothing.
TEST_F(Ring, DirectCurrentFadesOut) {
    Driver d = ring(44100.0f, 0);
    d.constant(RA, 0.5f);
    d.signal(RB, sine(200.0, 44100.0));
    const auto out = d.render(44100)[ROut];
    float tail = 0.0f;
    for (std::size_t i = out.size() - 4410; i < out.size(); ++i)
        tail = std::max(tail, std::abs(out[i]));
    EXPECT_LT(tail, 1e-4f);
    EXPECT_GT(
        std::abs(*std::max_element(out.begin(), out.begin() + 2000,
                                   [](float a, float b) { return std::abs(a) < std::abs(b); })),
        0.05f);
}

// Enable 1 at 0 writes silence and lets the module sleep; back at 1 it starts from zero
// states, as a new instance does.
TEST_F(Ring, DisablingSilencesAndClears) {
    Driver d = ring(44100.0f, 1);
    d.signal(RA, sine(440.0, 44100.0));
    d.signal(RB, sine(90.0, 44100.0));
    const auto out = d.render(4096 + 4096 + 4096, [](zrhost::EventList& ev, std::int64_t s, int) {
        if (s == 4096) ev.addInt(0, REnable1, 0);
        if (s == 8192) ev.addInt(0, REnable1, 1);
    })[ROut];
    for (int i = 4096; i < 8192; ++i)
        ASSERT_EQ(out[i], 0.0f);
    EXPECT_GE(d.module().sleepCount(), 1);
    Driver fresh = ring(44100.0f, 1);
    fresh.signal(RA, [](std::int64_t n) {
        return static_cast<float>(std::sin(2.0 * pi * 440.0 * (n + 8192) / 44100.0));
    });
    fresh.signal(RB, [](std::int64_t n) {
        return static_cast<float>(std::sin(2.0 * pi * 90.0 * (n + 8192) / 44100.0));
    });
    const auto f = fresh.render(4096)[ROut];
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(out[8192 + i], f[i]) << i;
}

} // namespace
} // namespace osctest
