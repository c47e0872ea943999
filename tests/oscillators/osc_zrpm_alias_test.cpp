// Aliasing: with the generator's tables, every component of the saw and the pulse that is not
// a harmonic below Nyquist (folded harmonics, interpolation images) stays 60 dB below the
// fundamental, at pitches across 0-10 V and at 44.1 and 48 kHz.
#include "osc_rig.h"

namespace osctest {
namespace {

struct Worst {
    double dB = -400.0;
    double hz = 0.0;
};

// Largest bin that is neither DC nor within the main lobe of a harmonic below Nyquist,
// relative to the fundamental.
Worst worstSpur(const std::vector<float>& audio, double rate, double f0) {
    const std::size_t n = 1 << 16;
    const Spectrum s = spectrumOf(audio, audio.size() - n, n, rate);
    std::vector<bool> masked(s.magnitude.size(), false);
    const auto mask = [&](double hz) {
        const long c = std::lround(hz / s.binHz);
        for (long k = c - 6; k <= c + 6; ++k)
            if (k >= 0 && k < static_cast<long>(masked.size())) masked[k] = true;
    };
    mask(0.0);
    for (int k = 1; k * f0 < rate / 2; ++k)
        mask(k * f0);
    const double fundamental = s.peak(f0);
    Worst w;
    for (std::size_t k = 0; k < masked.size(); ++k) {
        if (masked[k]) continue;
        const double level = dB(2.0 * s.magnitude[k] / s.windowSum / fundamental);
        if (level > w.dB) w = {level, k * s.binHz};
    }
    return w;
}

class OscZrpmAliasing : public ::testing::TestWithParam<float> {
  protected:
    void SetUp() override { rig.loadStandardTables(); }
    Rig rig;
};

TEST_P(OscZrpmAliasing, SawAndPulseStayClean) {
    const float rate = GetParam();
    for (int wave : {2, 4}) {
        for (double volts = 0.0; volts <= 10.01; volts += 10.0 / 23.0) {
            Osc osc(rig, rate);
            osc.constant(Pitch, static_cast<float>(volts / 10.0));
            osc.start(wave);
            const Output out = osc.render((1 << 16) + 256);
            // The frequency the oscillator actually plays, from its increment.
            const double f0 = out.increment.back() * rate / 2048.0;
            ASSERT_NEAR(cents(f0, hertz(volts)), 0.0, 0.1);
            const Worst w = worstSpur(out.audio, rate, f0);
            EXPECT_LT(w.dB, -60.0) << (wave == 2 ? "saw" : "pulse") << " at " << volts << " V ("
                                   << f0 << " Hz), " << rate << " Hz: component at " << w.hz;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, OscZrpmAliasing, ::testing::Values(44100.0f, 48000.0f),
                         [](const ::testing::TestParamInfo<float>& info) {
                             return std::to_string(static_cast<int>(info.param)) + "Hz";
                         });

} // namespace
} // namespace osctest
