// The eighth-order decimation low-pass on its own, at the oversampled rate: passband within a
// 1 dB ripple up to 0.4 of the base rate, -3 dB near 0.42 of it, strong rejection of what would
// fold back into the audio band when every second sub-sample is dropped.
#include "dsp/decimator.h"
#include "tests/dsp/decimator_rig.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

namespace {

using zr::test::measuredGain;

double dB(double g) {
    return 20.0 * std::log10(g);
}

TEST(FilterDecimator, PassbandStopbandAndCutoff) {
    using F = zr::dsp::Decimator2x;
    // Relative to the response at DC (which includes the 0.95 output factor).
    F dc;
    double level = 0.0;
    for (int i = 0; i < 4000; ++i)
        level = dc.process(1.0f);
    // The audio band up to 0.4 of the base rate (0.2 of the oversampled one) stays within a
    // 1 dB ripple above the DC level.
    for (double r = 0.01; r <= 0.2; r += 0.01) {
        const double g = dB(measuredGain<F>(r) / level);
        EXPECT_GT(g, -0.1) << r;
        EXPECT_LT(g, 1.1) << r;
    }
    // -3 dB near 0.42 of the base rate, that is 0.21 of the oversampled rate.
    EXPECT_NEAR(dB(measuredGain<F>(0.21) / level), -3.0, 1.5);
    // At the base rate's Nyquist frequency the filter is well into its stopband, and what
    // would fold back below 0.8 of it is far down.
    EXPECT_LT(dB(measuredGain<F>(0.25) / level), -35.0);
    for (double r : {0.3, 0.35, 0.4, 0.45, 0.49})
        EXPECT_LT(dB(measuredGain<F>(r) / level), -60.0) << r;
}

// The same coefficients in double precision: a decimator computed in double takes float input
// and agrees with the single-precision one to single-precision accuracy.
constexpr zr::dsp::DecimationCoefficients8<double> kDouble2x{
    {0.00043129342, 0.0034503473, 0.012076216, 0.024152432, 0.03019054, 0.024152432, 0.012076216,
     0.0034503473, 0.00043129342},
    {1.0, -3.8130767, 8.192174, -11.757323, 12.114127, -9.073977, 4.824743, -1.6785759, 0.30113217},
    0.95};

TEST(FilterDecimator, DoublePrecisionVariantAndClear) {
    zr::dsp::Decimator2x single;
    zr::dsp::DecimationFilter8<double, kDouble2x> wide;
    std::vector<float> first;
    for (int i = 0; i < 2000; ++i) {
        const float x = static_cast<float>(std::sin(0.01 * i) + 0.3 * std::sin(0.7 * i));
        const float a = single.process(x);
        const double b = wide.process(x);
        EXPECT_NEAR(a, b, 1e-4) << i;
        first.push_back(a);
    }
    // After clear the filter starts exactly as a new one.
    single.clear();
    for (int i = 0; i < 2000; ++i) {
        const float x = static_cast<float>(std::sin(0.01 * i) + 0.3 * std::sin(0.7 * i));
        ASSERT_EQ(single.process(x), first[static_cast<std::size_t>(i)]) << i;
    }
}

// The difference equation written out term by term in single precision: y[n] = sum of
// b[j] x[n-j] minus sum of a[j] y[n-j], each sum taken in ascending j, the output y[n] x 0.95.
// Where float arithmetic is plain IEEE single precision (no wider intermediates, no fused
// multiply-add) the filter must give these samples exactly; elsewhere to rounding accuracy.
TEST(FilterDecimator, FollowsTheDifferenceEquationTermByTerm) {
    const float b[9] = {0.00043129342f, 0.0034503473f, 0.012076216f,  0.024152432f,  0.03019054f,
                        0.024152432f,   0.012076216f,  0.0034503473f, 0.00043129342f};
    const float a[9] = {1.0f,       -3.8130767f, 8.192174f,   -11.757323f, 12.114127f,
                        -9.073977f, 4.824743f,   -1.6785759f, 0.30113217f};
    float x[9] = {}, y[9] = {};
    zr::dsp::Decimator2x filter;
    for (int n = 0; n < 20000; ++n) {
        // An impulse first, then a mixture of a low and a high tone.
        const float in =
            n == 0 ? 1.0f : static_cast<float>(std::sin(0.05 * n) + 0.5 * std::sin(1.3 * n));
        for (int j = 8; j > 0; --j) {
            x[j] = x[j - 1];
            y[j] = y[j - 1];
        }
        x[0] = in;
        float forward = 0.0f;
        for (int j = 0; j < 9; ++j)
            forward += b[j] * x[j];
        float feedback = 0.0f;
        for (int j = 1; j < 9; ++j)
            feedback += a[j] * y[j];
        y[0] = forward - feedback;
        const float expected = y[0] * 0.95f;
        const float got = filter.process(in);
#if FLT_EVAL_METHOD == 0 && !defined(FP_FAST_FMAF)
        ASSERT_EQ(got, expected) << n;
#else
        ASSERT_NEAR(got, expected, 1e-4f) << n;
#endif
    }
}

} // namespace
