// The double-precision decimation low-passes for 2, 4 and 8 times oversampling: about unity
// gain at DC, the audio band passed up to 0.4 of the base rate, deep rejection from 0.6 of it
// on; and the newest-last summation agrees with the plainly ordered one to far better than
// single precision (the output's resolution).
#include "dsp/decimator.h"
#include "tests/dsp/decimator_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace {

using namespace zr::dsp;

// Gain at `ratio` x the oversampled rate, over a longer settling and measuring stretch than
// the default: the near-DC reference has a period of 10000 samples.
template <class Filter>
double gainAt(double ratio) {
    return zr::test::measuredGain<Filter>(ratio, 20000, 80000);
}

template <class Filter>
void checkResponse(int factor) {
    const double base = 1.0 / factor; // the base rate in units of the oversampled rate
    const double dc = gainAt<Filter>(0.0001);
    EXPECT_NEAR(dc, 1.0, 0.05) << factor;
    for (double r = 0.05; r <= 0.4; r += 0.05) {
        const double g = 20.0 * std::log10(gainAt<Filter>(r * base) / dc);
        EXPECT_GT(g, -1.5) << factor << "x at " << r;
        EXPECT_LT(g, 1.5) << factor << "x at " << r;
    }
    EXPECT_LT(20.0 * std::log10(gainAt<Filter>(0.6 * base)), -40.0) << factor;
}

TEST(OversampledDecimators, ResponseAtTwoFourAndEightTimes) {
    checkResponse<Decimator2xDouble>(2);
    checkResponse<Decimator4xDouble>(4);
    checkResponse<Decimator8xDouble>(8);
}

TEST(OversampledDecimators, NewestLastSumsAgreeWithTheWrittenOrder) {
    DecimationFilter8<double, kDecimation8xDouble> ordered;
    Decimator8xDouble newestLast;
    for (int i = 0; i < 20000; ++i) {
        const float x = static_cast<float>(std::sin(0.003 * i) + 0.5 * std::sin(1.1 * i));
        const double a = ordered.process(x), b = newestLast.process(x);
        ASSERT_NEAR(a, b, 1e-7 * (1.0 + std::abs(a))) << i;
    }
    newestLast.clear();
    EXPECT_EQ(newestLast.process(0.0f), 0.0);
}

} // namespace
