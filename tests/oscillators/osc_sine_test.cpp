// "ZR Osc SINE" measured on its output: frequency, purity, the match with the ZRPM
// oscillator's sine, the reset families, the gate, and hostile pitch values at four rates.
#include "source_driver.h"

namespace osctest {
namespace {

enum SinePin : int { SPitch, SGate, SSync, SAudio, SResetMode = 5, SLevel = 7, SReset = 8 };

struct OscSine : ::testing::Test {
    void SetUp() override { rig.loadStandardTables(); }

    Driver sine(float rate, float pitch, int resetMode = 0, int block = 64) {
        Driver d(rig, u"ZR Osc SINE", rate, {SPitch, SGate, SSync, 6}, {SAudio}, block);
        d.constant(SPitch, pitch);
        d.constant(SGate, 1.0f);
        d.setInt(SResetMode, resetMode);
        d.setFloat(SLevel, 1.0f);
        return d;
    }
    Rig rig;
};

TEST_F(OscSine, FrequencyWithinATenthOfACentAndHarmonicsBelowMinus90dB) {
    for (const float rate : {44100.0f, 48000.0f, 96000.0f}) {
        for (const double volts : {1.5, 3.0, 5.0, 6.25, 8.0}) {
            Driver d = sine(rate, static_cast<float>(volts / 10.0));
            const auto out = d.render(1 << 17)[SAudio];
            const double f = measureFrequency(out, rate);
            EXPECT_NEAR(cents(f, hertz(volts)), 0.0, 0.1) << volts << " V at " << rate;
            const Spectrum s = spectrumOf(out, out.size() - (1 << 16), 1 << 16, rate);
            const double fundamental = s.amplitude(f);
            EXPECT_NEAR(fundamental, 1.0, 0.01);
            for (int k = 2; k * f < rate / 2 && k <= 10; ++k)
                EXPECT_LT(dB(s.amplitude(k * f) / fundamental), -90.0)
                    << "harmonic " << k << " of " << volts << " V at " << rate;
        }
    }
}

// The sine slot's second half is the negative of its first, so the negated read without the
// half-cycle offset of Phase Mod 0 is the ZRPM oscillator's wave 0 (to the rounding of the
// read position, which lies half a table apart).
TEST_F(OscSine, MatchesTheZrpmSineWithPhaseModZero) {
    for (const int resetMode : {0, 1}) {
        Driver d = sine(44100.0f, 0.47f, resetMode);
        d.signal(SPitch, [](std::int64_t n) { return 0.3f + 0.4f * ((n / 700) % 5) / 5.0f; });
        Osc zrpm(rig, 44100.0f);
        zrpm.signal(Pitch, [](std::int64_t n) { return 0.3f + 0.4f * ((n / 700) % 5) / 5.0f; });
        zrpm.start(0, resetMode);
        const auto a = d.render(8192)[SAudio];
        const auto b = zrpm.render(8192).audio;
        for (std::size_t i = 0; i < a.size(); ++i)
            ASSERT_NEAR(a[i], b[i], 5e-5) << "sample " << i;
    }
}

// Reset Mode 0 ignores Sync; Reset Mode 1 restarts at once; Reset Mode 10 (1 ms) crossfades
// and takes the restarted phase after the fade; the Reset pin works in every mode from 0.
TEST_F(OscSine, SyncAndResetRestartThePhase) {
    const auto syncAt = [](std::int64_t at) {
        return [at](zrhost::EventList& ev, std::int64_t start, int n) {
            if (at >= start && at < start + n)
                ev.addFloat(static_cast<int>(at - start), SReset, 1.0f);
        };
    };
    // A free-running reference and one reset at sample 1000: after the reset the output is
    // the reference shifted to restart at 1000.
    Driver ref = sine(44100.0f, 0.5f);
    const auto r = ref.render(4000)[SAudio];
    Driver reset = sine(44100.0f, 0.5f);
    const auto o = reset.render(4000, syncAt(1000))[SAudio];
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(o[i], r[i]);
    for (int i = 1000; i < 4000; ++i)
        ASSERT_NEAR(o[i], r[i - 1000], 1e-5) << i;

    // Sync edges: ignored with Reset Mode 0, served with 1, crossfaded over 44 samples with 10.
    for (const int mode : {0, 1, 10}) {
        Driver d = sine(44100.0f, 0.5f, mode);
        d.signal(SSync, [](std::int64_t n) { return n >= 1000 ? 1.0f : 0.0f; });
        const auto out = d.render(4000, [](zrhost::EventList& ev, std::int64_t start, int) {
            if (start == 1000 - 1000 % 64) ev.addStreamingStop(1000 % 64, SSync);
        })[SAudio];
        const int restart = mode == 0 ? -1 : mode == 1 ? 1000 : 1000 + 46;
        for (int i = 2000; i < 4000; ++i) {
            const float expected = restart < 0 ? r[i] : r[i - 1000];
            ASSERT_NEAR(out[i], expected, 1e-5) << "mode " << mode << " sample " << i;
        }
        if (mode == 10) {
            EXPECT_GT(std::abs(out[1020] - r[1020]), 1e-3); // inside the fade: a mix
            EXPECT_GT(std::abs(out[1020] - r[20]), 1e-3);
        }
    }
}

// Unlike the ZRPM oscillator, a streaming gate that falls stops the sine at the next pin
// change; it restarts from phase 0 and sleeps while stopped.
TEST_F(OscSine, AStreamingGateStopsItToo) {
    Driver d = sine(44100.0f, 0.5f);
    d.signal(SGate, [](std::int64_t n) { return n < 640 ? 1.0f : 0.0f; });
    const auto out = d.render(2048, [](zrhost::EventList& ev, std::int64_t start, int) {
        if (start == 0) ev.addStreamingStart(1, SGate);
        if (start == 640) ev.addStreamingStart(0, SGate);
    })[SAudio];
    for (int i = 640; i < 2048; ++i)
        ASSERT_EQ(out[i], 0.0f) << i;
    EXPECT_GE(d.module().sleepCount(), 1);
}

// Hostile pitches: NaN and values below -10 V keep the previous pitch; infinite and huge ones
// play the top pitch; the output stays finite and within the level, at every rate (the last
// crossfade step may take G just below 0, which overshoots by a few per cent).
TEST_F(OscSine, HostilePitchesAtEveryRate) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f}) {
        for (const float bad : {nan, inf, -inf, 1e30f, -1e30f, 7.0f, -3.0f}) {
            Driver d = sine(rate, 0.5f, 10);
            d.signal(SPitch, [bad](std::int64_t n) { return n % 3 == 1 ? bad : 0.5f; });
            d.signal(SSync, [](std::int64_t n) { return (n / 100) % 2 ? 1.0f : 0.0f; });
            const auto out = d.render(4096, [](zrhost::EventList& ev, std::int64_t, int) {
                ev.addStreamingStop(36, SSync);
            })[SAudio];
            for (float v : out)
                ASSERT_TRUE(std::isfinite(v) && std::abs(v) <= 1.05f)
                    << bad << " at " << rate << ": " << v;
        }
    }
}

} // namespace
} // namespace osctest
