// The double-precision decimation low-passes for 2, 4 and 8 times oversampling: about unity
// gain at DC, the audio band passed up to 0.4 of the base rate, deep rejection from 0.6 of it
// on; the newest-last summation agrees with the plainly ordered one to far better than single
// precision (the output's resolution); and its AVX2 grouped compile matches it bit for bit.
#include "dsp/decimator.h"
#include "tests/dsp/decimator_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <vector>

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

// Group by group with the third pair of terms taken per lane (the eight-lane sync routine's
// form) the filter gives the outputs of processGroups bit for bit, at each oversampling factor,
// over runs that end inside a run of inputs widened ahead.
template <class Filter, int Stride>
void checkGroupByGroup() {
    constexpr int kGroups = 300;
    std::vector<float> in(kGroups * Stride);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(std::sin(0.002 * i) + 0.4 * std::sin(2.7 * i));
    Filter whole, grouped;
    std::vector<float> a(kGroups), b(kGroups);
    std::vector<double> widened(8 + in.size());
    for (int start = 0, size = 1; start < kGroups; start += size, size = size * 3 % 37 + 1) {
        const int n = std::min(size, kGroups - start);
        whole.template processGroups<Stride>(in.data() + start * Stride, n, a.data() + start);
        auto run = grouped.beginRun(widened.data());
        double* x = widened.data() + 8;
        for (int i = 0; i < n * Stride; ++i)
            x[i] = in[start * Stride + i];
        for (int g = 0; g < n; ++g)
            b[start + g] =
                static_cast<float>(Filter::template runGroup<Stride, false>(run, x + g * Stride));
        grouped.endRun(run, x + n * Stride);
    }
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float))) << Stride;
}

TEST(OversampledDecimators, GroupByGroupMatchesBitForBit) {
    checkGroupByGroup<Decimator2xDouble, 2>();
    checkGroupByGroup<Decimator4xDouble, 4>();
    checkGroupByGroup<Decimator8xDouble, 8>();
}

} // namespace
