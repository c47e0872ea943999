// What a user hears from the filter modes: gain at DC, slopes, cutoff tracking, the
// state-variable responses around the pitch frequency, resonance peaks and aliasing. Every
// figure is measured on rendered sines and compared with filter theory.
#include "tests/filters/filter_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace filtertest {
namespace {

constexpr float kRate = 44100.0f;

// Output level once a constant input has settled.
double settledDc(int mode, Controls c, float level) {
    FilterRig rig(mode);
    rig.controls = c;
    const auto y = rig.run(constant(level), 16384);
    return y.back();
}

// DC gain of the two-times decimation filter (sum b / sum a, scaled by 0.95), worked out from
// its published coefficients: an oversampled mode passes DC through it twice.
double decimatorDcGain() {
    const double b = 0.00043129342 * 256.0;
    const double a = 1.0 - 3.8130767 + 8.192174 - 11.757323 + 12.114127 - 9.073977 + 4.824743 -
                     1.6785759 + 0.30113217;
    return 0.95 * b / a;
}

TEST(FilterDc, LowPassModesPassDcAtUnityGain) {
    // Ladders and state-variable low-pass outputs, no resonance, Blend at the single section.
    for (int mode : {1, 2, 3, 4, 9, 12, 15, 19, 23, 26}) {
        SCOPED_TRACE(mode);
        EXPECT_NEAR(settledDc(mode, {0.5f, 0.0f, 0.0f}, 0.1f), 0.1, 1e-4);
    }
    // The double state-variable low-pass passes DC through both sections.
    EXPECT_NEAR(settledDc(19, {0.5f, 0.0f, 1.0f}, 0.1f), 0.1, 1e-4);
}

TEST(FilterDc, OversampledModesPassDcThroughBothDecimators) {
    const double expected = 0.1 * decimatorDcGain() * decimatorDcGain();
    for (int mode : {5, 6, 7, 30, 31}) {
        SCOPED_TRACE(mode);
        EXPECT_NEAR(settledDc(mode, {0.5f, 0.0f, 0.0f}, 0.1f), expected, 2e-4);
    }
}

TEST(FilterDc, HighPassModesRejectDc) {
    // High-pass chains after the ladder taps, the plain high-pass, and the state-variable
    // high-pass outputs.
    for (int mode : {10, 11, 13, 14, 16, 17, 18, 20, 24}) {
        SCOPED_TRACE(mode);
        EXPECT_NEAR(settledDc(mode, {0.5f, 0.0f, 0.0f}, 0.5f), 0.0, 1e-4);
    }
}

TEST(FilterSlope, FourStageLadderFallsTwentyFourDbPerOctave) {
    // Far above the cutoff each of four one-pole stages loses 6 dB per octave. Kept well below
    // the Nyquist frequency, where the bilinear stages' zero steepens the slope.
    for (float pitch : {0.15f, 0.25f, 0.35f}) {
        SCOPED_TRACE(pitch);
        const double fc = pitchHz(pitch);
        const double g8 = gainDb(1, {pitch, 0.0f, 0.0f}, 8.0 * fc);
        const double g16 = gainDb(1, {pitch, 0.0f, 0.0f}, 16.0 * fc);
        EXPECT_NEAR(g8 - g16, 24.0, 1.0);
        // Eight times the cutoff: 4 x 10 log10(1 + 64) = 72.5 dB down for four ideal poles.
        EXPECT_NEAR(g8, -72.5, 2.5);
    }
}

// Frequency at which mode 1 is 12 dB down (each of its four stages 3 dB down), by bisection
// on a log scale.
double minus12DbHz(float pitch) {
    double lo = pitchHz(pitch) / 4.0, hi = pitchHz(pitch) * 4.0;
    for (int i = 0; i < 18; ++i) {
        const double mid = std::sqrt(lo * hi);
        (gainDb(1, {pitch, 0.0f, 0.0f}, mid) > -12.0 ? lo : hi) = mid;
    }
    return std::sqrt(lo * hi);
}

TEST(FilterSlope, FourStageLadderCutoffFollowsOneVoltPerOctave) {
    double previous = 0.0;
    for (float pitch : {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}) {
        SCOPED_TRACE(pitch);
        const double fc = minus12DbHz(pitch);
        // The cutoff sits at the pitch frequency (the tables run slightly sharp towards the
        // top, less than a tenth of an octave here) ...
        EXPECT_NEAR(std::log2(fc / pitchHz(pitch)), 0.0, 0.1);
        // ... and each volt doubles it.
        if (previous > 0.0) {
            EXPECT_NEAR(std::log2(fc / previous), 1.0, 0.06);
        }
        previous = fc;
    }
}

TEST(FilterSlope, HighPassPassesHighs) {
    EXPECT_NEAR(gainDb(18, {0.5f, 0.0f, 0.0f}, 8000.0), 0.0, 0.5);
    EXPECT_LT(gainDb(18, {0.5f, 0.0f, 0.0f}, 10.0), -40.0);
}

TEST(FilterStateVariable, LowHighAndBandAroundThePitchFrequency) {
    // One Chamberlin section with damping 1 (no resonance): 12 dB per octave skirts; the band
    // output is at unity at its centre, which is the pitch frequency.
    const float pitch = 0.5f;
    const double f = pitchHz(pitch);
    const Controls c{pitch, 0.0f, 0.0f};
    EXPECT_NEAR(gainDb(23, c, f / 8.0), 0.0, 0.3);
    EXPECT_LT(gainDb(23, c, f * 8.0), -30.0);
    EXPECT_NEAR(gainDb(24, c, f * 8.0), 0.0, 0.5);
    EXPECT_LT(gainDb(24, c, f / 8.0), -30.0);
    EXPECT_NEAR(gainDb(25, c, f), 0.0, 0.5);
    EXPECT_LT(gainDb(25, c, f / 8.0), -15.0);
    EXPECT_LT(gainDb(25, c, f * 8.0), -15.0);

    // The band output peaks at the pitch frequency (within a semitone), at several pitches.
    for (float p : {0.3f, 0.5f, 0.7f}) {
        SCOPED_TRACE(p);
        int best = 0;
        double bestGain = -1e9;
        for (int semis = -6; semis <= 6; ++semis) {
            const double g = gainDb(25, {p, 0.5f, 0.0f}, pitchHz(p) * std::pow(2.0, semis / 12.0));
            if (g > bestGain) {
                bestGain = g;
                best = semis;
            }
        }
        EXPECT_LE(std::abs(best), 1);
    }
}

TEST(FilterStateVariable, ResonancePeakMatchesTheDamping) {
    // Resonance 0.8 gives damping q = 1 - 0.8 x 0.88; at the centre the low-pass and band-pass
    // outputs reach 1 / q.
    const float pitch = 0.5f;
    const double q = 1.0 - 0.8 * 0.88;
    EXPECT_NEAR(gainDb(23, {pitch, 0.8f, 0.0f}, pitchHz(pitch)), dB(1.0 / q), 1.0);
    EXPECT_NEAR(gainDb(25, {pitch, 0.8f, 0.0f}, pitchHz(pitch)), dB(1.0 / q), 1.0);
}

TEST(FilterResonance, ResonanceRaisesTheResponseAtTheCutoff) {
    // Largest rise that resonance 0.7 brings over resonance 0, looked for within two thirds of
    // an octave of the pitch frequency.
    for (int mode : {2, 3, 4, 5, 6, 7, 8, 9, 12, 15, 19, 23, 25, 26, 30, 31}) {
        SCOPED_TRACE(mode);
        double rise = -1e9;
        for (int step = -4; step <= 4; ++step) {
            const double f = pitchHz(0.4) * std::pow(2.0, step / 6.0);
            rise = std::max(rise, gainDb(mode, {0.4f, 0.7f, 0.0f}, f, 0.05) -
                                      gainDb(mode, {0.4f, 0.0f, 0.0f}, f, 0.05));
        }
        EXPECT_GT(rise, 3.0);
    }
}

// Power outside the harmonics of f0 relative to the fundamental, in dB, for a loud sine on bin
// `bin` of a 16384-sample stretch (every harmonic and every folded image then lies on a bin).
double aliasLevelDb(int mode, Controls c, double amplitude, std::size_t bin) {
    constexpr std::size_t n = 16384;
    FilterRig rig(mode, kRate);
    rig.controls = c;
    const auto y = rig.run(sine(kRate * static_cast<double>(bin) / n, kRate, amplitude), 8192 + n);
    double total = 0.0;
    for (std::size_t i = 8192; i < y.size(); ++i)
        total += static_cast<double>(y[i]) * y[i] / n;
    double harmonics = binPower(y, 8192, n, 0);
    for (std::size_t k = bin; k < n / 2; k += bin)
        harmonics += binPower(y, 8192, n, k);
    return 10.0 * std::log10((total - harmonics) / binPower(y, 8192, n, bin));
}

TEST(FilterAliasing, OversampledModesAliasLessThanPlainModes) {
    // A loud 5 kHz sine drives every shaper into saturation; its harmonics above 22 kHz fold
    // back into the audio band unless the shaping runs at the higher rate.
    const std::size_t bin = 1858; // 5001.4 Hz
    const Controls c{1.0f, 0.3f, 0.0f};
    double leastPlain = -1e9;
    for (int mode : {3, 9, 12, 15}) {
        const double level = aliasLevelDb(mode, c, 2.5, bin);
        EXPECT_GT(level, -40.0) << mode; // the plain shapers do alias audibly
        leastPlain = std::max(leastPlain, level);
    }
    for (int mode : {5, 6, 7, 30, 31}) {
        SCOPED_TRACE(mode);
        EXPECT_LT(aliasLevelDb(mode, c, 2.5, bin), leastPlain - 15.0);
    }
    // Mode 8 triples its input before the shaper: the same drive needs a third of the level.
    EXPECT_LT(aliasLevelDb(8, c, 2.5 / 3.0, bin), leastPlain - 10.0);
}

} // namespace
} // namespace filtertest
