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

// The AVX2 compile of the grouped filter gives the outputs of the two-operand one bit for bit,
// at each oversampling factor, over runs that end inside a group of inputs widened ahead.
template <class Filter, int Stride>
void checkWideGroups() {
    if (!wideLanesAvailable()) GTEST_SKIP() << "no AVX2 here";
#if ZR_HAS_WIDE_LANES
    constexpr int kGroups = 300;
    std::vector<float> in(kGroups * Stride);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(std::sin(0.002 * i) + 0.4 * std::sin(2.7 * i));
    Filter narrow, wide;
    std::vector<float> a(kGroups), b(kGroups);
    for (int start = 0, size = 1; start < kGroups; start += size, size = size * 3 % 37 + 1) {
        const int n = std::min(size, kGroups - start);
        narrow.template processGroups<Stride>(in.data() + start * Stride, n, a.data() + start);
        wide.template processGroupsWide<Stride>(in.data() + start * Stride, n, b.data() + start);
    }
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float))) << Stride;
#endif
}

TEST(OversampledDecimators, WideGroupsMatchBitForBit) {
    checkWideGroups<Decimator2xDouble, 2>();
    checkWideGroups<Decimator4xDouble, 4>();
    checkWideGroups<Decimator8xDouble, 8>();
}

} // namespace
