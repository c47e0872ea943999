// The building blocks of dsp/ against their definitions: values that must differ, clamps that
// must hold NaN, interpolation exact on low-order polynomials, pan laws by their sums, and
// the oversampler's sub-sample positions.
#include "dsp/cache_forcing.h"
#include "dsp/clamp.h"
#include "dsp/interpolation.h"
#include "dsp/lanes4.h"
#include "dsp/lanes8.h"
#include "dsp/one_pole.h"
#include "dsp/oversampler.h"
#include "dsp/pan.h"
#include "dsp/sample_rate.h"
#include "dsp/state_variable_pair.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(DspControls, ForcedCacheDiffersClampHoldsNanAndRatesFallBack) {
    // Where adding the offset changes the value the result is that sum (the modules' history
    // depends on it); from 32 on, + 0.000001 changes nothing and the result must still differ.
    for (float v : {0.0f, 0.001f, 1.0f, 31.9f, 32.0f, 40.0f, -40.0f, 1e6f, 1e30f, kInf, kNaN}) {
        SCOPED_TRACE(v);
        const float c = zr::dsp::forcedCacheValue(v, 0.000001f);
        EXPECT_TRUE(c != v);
        if (v + 0.000001f != v && v == v) {
            EXPECT_EQ(c, v + 0.000001f);
        }
    }
    struct Row {
        float v, expected;
    };
    for (const Row& r :
         {Row{kNaN, -1.0f}, {-kInf, -1.0f}, {kInf, 2.0f}, {0.5f, 0.5f}, {3.0f, 2.0f}})
        EXPECT_EQ(zr::dsp::clampNanToLow(r.v, -1.0f, 2.0f), r.expected) << r.v;
    for (const Row& r : {Row{48000.0f, 48000.0f},
                         {0.0f, 44100.0f},
                         {-1.0f, 44100.0f},
                         {kNaN, 44100.0f},
                         {kInf, 44100.0f}})
        EXPECT_EQ(zr::dsp::usableSampleRate(r.v), r.expected) << r.v;
}

// The state-variable pair's level tests read the bits; they must answer as the float
// comparisons they replace, at the edges, for both signs, infinities, NaN and denormals.
TEST(DspControls, LevelTestsOnBitsAnswerAsTheComparisons) {
    const float denormal = std::numeric_limits<float>::denorm_min();
    for (float v : {0.0f, denormal, 0.5f, 1.0f, std::nextafter(1.0f, 2.0f), 49.99f,
                    std::nextafter(50.0f, 0.0f), 50.0f, 1e30f, kInf, kNaN}) {
        for (float x : {v, -v}) {
            SCOPED_TRACE(x);
            EXPECT_EQ(zr::dsp::levelDamps(x), std::fabs(x) > 1.0f);
            EXPECT_EQ(zr::dsp::magnitudeBelow(x, zr::dsp::kFiftyBits), std::fabs(x) < 50.0f);
        }
    }
}

std::uint32_t bits(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Each lane of the four-lane steps must equal the scalar step bit for bit, NaN, infinities
// and signed zeros included: the modules that use them promise unchanged output.
TEST(DspLanes, EachLaneEqualsTheScalarStep) {
    using zr::dsp::Float4;
    const float values[] = {kNaN, -kInf, kInf, -0.0f, 0.0f, 0.3f, -2.5f, 1.0f, 7.75f, 1e30f};
    float table[12];
    for (int i = 0; i < 12; ++i)
        table[i] = std::sin(1.7f * static_cast<float>(i)) * 3.0f; // no pattern to hide behind
    constexpr int n = sizeof values / sizeof values[0];
    for (int i = 0; i < n; ++i) {
        const Float4 a{values[i], values[(i + 1) % n], values[(i + 3) % n], values[(i + 7) % n]};
        const Float4 b{values[(i + 2) % n], values[i], values[(i + 5) % n], values[(i + 4) % n]};
        const Float4 lo = zr::dsp::splat4(-1.0f), hi = zr::dsp::splat4(2.0f);
        const Float4 clamped = zr::dsp::clampNanToLow(a, lo, hi);
        const Float4 smaller = zr::dsp::min4(a, b);
        // Positions inside the table (0..10.9) from the clamped lanes.
        const Float4 x = (clamped + zr::dsp::splat4(1.0f)) * zr::dsp::splat4(3.63f);
        const Float4 read = zr::dsp::readInterpolated4(table, x);
        const int changes = zr::dsp::laneChanges(a, b);
        for (int j = 0; j < 4; ++j) {
            SCOPED_TRACE(testing::Message() << "row " << i << " lane " << j);
            EXPECT_EQ(bits(clamped[j]), bits(zr::dsp::clampNanToLow(a[j], -1.0f, 2.0f)));
            EXPECT_EQ(bits(smaller[j]), bits(a[j] < b[j] ? a[j] : b[j]));
            EXPECT_EQ(bits(read[j]), bits(zr::dsp::readInterpolated(table, x[j])));
            EXPECT_EQ((changes >> j) & 1, a[j] != b[j] ? 1 : 0);
        }
        EXPECT_EQ(zr::dsp::allBelow(clamped, 2.0f),
                  clamped[0] < 2.0f && clamped[1] < 2.0f && clamped[2] < 2.0f && clamped[3] < 2.0f);
    }
}

#if ZR_HAS_WIDE_LANES
// The eight-lane steps against the scalar ones, lane by lane (run only where AVX2 is).
ZR_WIDE void checkEightLanes(const float* values, int n, const float* table) {
    using zr::dsp::Float8;
    for (int i = 0; i < n; ++i) {
        Float8 a, b;
        for (int j = 0; j < 8; ++j) {
            a[j] = values[(i + j * 3) % n];
            b[j] = values[(i + j * 7 + 1) % n];
        }
        const Float8 clamped =
            zr::dsp::clampNanToLow(a, zr::dsp::splat8(-1.0f), zr::dsp::splat8(2.0f));
        const Float8 smaller = zr::dsp::min8(a, b);
        const Float8 x = (clamped + zr::dsp::splat8(1.0f)) * zr::dsp::splat8(3.63f);
        const Float8 read = zr::dsp::readInterpolated8(table, x);
        const int changes = zr::dsp::laneChanges(a, b);
        EXPECT_EQ(zr::dsp::anyLane(a != b), changes != 0);
        for (int j = 0; j < 8; ++j) {
            SCOPED_TRACE(testing::Message() << "row " << i << " lane " << j);
            EXPECT_EQ(bits(clamped[j]), bits(zr::dsp::clampNanToLow(a[j], -1.0f, 2.0f)));
            EXPECT_EQ(bits(smaller[j]), bits(a[j] < b[j] ? a[j] : b[j]));
            EXPECT_EQ(bits(read[j]), bits(zr::dsp::readInterpolated(table, x[j])));
            EXPECT_EQ((changes >> j) & 1, a[j] != b[j] ? 1 : 0);
        }
    }
}
#endif

TEST(DspLanes, EachOfEightLanesEqualsTheScalarStep) {
    if (!zr::dsp::wideLanesAvailable()) GTEST_SKIP() << "no eight-lane routines here";
#if ZR_HAS_WIDE_LANES
    const float values[] = {kNaN, -kInf, kInf, -0.0f, 0.0f, 0.3f, -2.5f, 1.0f, 7.75f, 1e30f, 0.61f};
    float table[12];
    for (int i = 0; i < 12; ++i)
        table[i] = std::cos(2.3f * static_cast<float>(i)) * 2.0f;
    checkEightLanes(values, sizeof values / sizeof values[0], table);
#endif
}

TEST(DspInterpolation, CubicIsExactOnQuadraticsAndHitsTheSamples) {
    const auto quadratic = [](float x) { return 0.5f * x * x - 2.0f * x + 3.0f; };
    std::vector<float> table;
    for (int i = 0; i < 8; ++i)
        table.push_back(quadratic(static_cast<float>(i)));
    for (float x : {1.0f, 1.25f, 2.5f, 3.75f, 5.0f})
        EXPECT_NEAR(zr::dsp::readCubic(table.data(), x), quadratic(x), 1e-5f) << x;
    EXPECT_EQ(zr::dsp::cubicInterpolate(4.0f, 1.0f, 7.0f, 2.0f, 0.0f), 1.0f);
    EXPECT_NEAR(zr::dsp::cubicInterpolate(4.0f, 1.0f, 7.0f, 2.0f, 1.0f), 7.0f, 1e-6f);
}

TEST(DspPan, LawsKeepTheirSumsAndNanPlaysInTheCentre) {
    for (float p : {-1.0f, -0.5f, 0.0f, 0.3f, 1.0f, 5.0f, kNaN}) {
        SCOPED_TRACE(p);
        const auto lin = zr::dsp::panLinear(p);
        const auto pow = zr::dsp::panEqualPower(p);
        const auto bal = zr::dsp::panBalance(p);
        EXPECT_NEAR(lin.left + lin.right, 1.0f, 1e-6f);
        EXPECT_NEAR(pow.left * pow.left + pow.right * pow.right, 1.0f, 1e-6f);
        EXPECT_EQ(std::fmax(bal.left, bal.right), 1.0f);
    }
    EXPECT_NEAR(zr::dsp::panEqualPower(kNaN).left, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(zr::dsp::panEqualPower(-1.0f).right, 0.0f, 1e-6f);
    EXPECT_EQ(zr::dsp::panLinear(1.0f).left, 0.0f);
}

TEST(DspFilters, OversamplerSpreadsInputsAndOnePoleLaddersPassOrBlockDc) {
    for (const int factor : {2, 4}) {
        std::vector<float> seen;
        const auto record = [&](float u) {
            seen.push_back(u);
            return u * 10.0f;
        };
        float first = 0.0f;
        if (factor == 2) first = zr::dsp::Oversampler<2>{}.run(1.0f, record);
        if (factor == 4) first = zr::dsp::Oversampler<4>{}.run(1.0f, record);
        EXPECT_EQ(first, 10.0f / static_cast<float>(factor));
        for (int i = 0; i < factor; ++i)
            EXPECT_EQ(seen[static_cast<std::size_t>(i)], static_cast<float>(i + 1) / factor);
    }
    // DC through four low-pass stages comes out whole, through two high-pass stages not at all.
    float lpIn[4] = {}, lpOut[4] = {}, hpIn[2] = {}, hpOut[2] = {};
    float low = 0.0f, high = 1.0f;
    for (int n = 0; n < 2000; ++n) {
        low = zr::dsp::lowPassLadder<4>(lpIn, lpOut, 1.0f, -0.9f, zr::dsp::onePoleGain(-0.9f));
        high = zr::dsp::highPassLadder<2>(hpIn, hpOut, 1.0f, 0.9f, zr::dsp::onePoleGain(0.9f));
    }
    EXPECT_NEAR(low, 1.0f, 1e-4f);
    EXPECT_NEAR(high, 0.0f, 1e-4f);
}

} // namespace
