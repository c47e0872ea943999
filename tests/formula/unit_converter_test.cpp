// "VL Unit Converter": every mode against its unit formula worked out in double precision,
// the clamps and floors, the silence point of the exponential decibel curve, round trips
// through each mode and its inverse, and modes without a conversion.
#include "tests/converters/converter_rig.h"

#include <cmath>
#include <functional>

using namespace convtest;

namespace {

constexpr int32 kIn = 0, kOut = 1, kMode = 2;
const double kE3 = std::exp(-3.0);

class UnitConverter : public ConverterRig {
  protected:
    // The output after `x` arrives in `mode`, following an earlier value `before` (mode 0,
    // input 880 Hz = 6 V) so that an untouched output is recognisable.
    std::optional<float> convert(int32 mode, float x) {
        zrhost::AudioModule m(*lib, u"VL Unit Converter", context);
        m.open();
        zrhost::EventList first;
        first.addGraphStart(0).addFloat(0, kIn, 880.0f).addInt(0, kMode, 0);
        m.processBlock(first);
        m.clearCalls();
        zrhost::EventList events;
        events.addInt(3, kMode, mode).addFloat(3, kIn, x);
        m.processBlock(events);
        const auto sent = m.floatsSent(kOut);
        if (sent.empty()) return std::nullopt;
        EXPECT_EQ(sent.size(), 1u);
        return sent.back();
    }
};

struct Row {
    int32 mode;
    float x;
    double expected;
};

// Expected values from the units themselves: 1 V per octave with 440 Hz at 5 V, decibels on
// the linear and exponential curves, 2.5 V per decade of milliseconds, 1000 Hz at 8.666666.
const std::vector<Row> kRows = {
    {0, 440.0f, 5.0},
    {0, 880.0f, 6.0},
    {0, 55.0f, 2.0},
    {0, 0.0f, 0.0},
    {0, -10.0f, 0.0},
    {100, 5.0f, 440.0},
    {100, 30.0f, 440.0 * std::pow(2.0, 15.0)}, // clamped to 20 V
    {100, -30.0f, 440.0 * std::pow(2.0, -25.0)},
    {1, 0.0f, 10.0},
    {1, -17.5f, 5.5},
    {1, -35.0f, std::exp(-35.0 * 0.114) * 49.393}, // about 0.914
    {101, 10.0f, 0.0},
    {101, 5.5f, -17.5},
    {101, 0.5f, -52.5},
    {101, -3.0f, -70.0},
    {2, 0.0f, 10.0},
    {2, -20.0f, (std::log(1.0 - 0.9 * (1.0 - kE3)) / 3.0 + 1.0) * 10.0},
    {102, 10.0f, 0.0},
    {102, 5.0f, 20.0 * std::log10((std::exp(-1.5) - kE3) / (1.0 - kE3))},
    {102, -1.0f, -200.0},
    {3, 1.0f, 0.0},
    {3, 10000.0f, 10.0},
    {3, 100.0f, 5.0},
    {103, 0.0f, 1.0},
    {103, 7.5f, 1000.0},
    {4, 1000.0f, 8.666666},
    {4, 0.5f, 0.0},
    {104, 8.666666f, 1000.0},
    {104, 9.666666f, 2000.0},
    {104, -1.0f, 0.0},
};

TEST_F(UnitConverter, EveryModeFollowsItsUnit) {
    for (const Row& r : kRows) {
        SCOPED_TRACE("mode " + std::to_string(r.mode) + " x " + std::to_string(r.x));
        const auto y = convert(r.mode, r.x);
        const float previous = 6.0f;
        const double value = y ? *y : previous;
        EXPECT_NEAR(value, r.expected, 2e-6 * std::fabs(r.expected) + 2e-5);
    }
}

// 0 V is the exponential curve's silence on every platform; modes without a conversion leave
// the output as it was.
TEST_F(UnitConverter, SilencePointAndModesWithoutConversion) {
    const auto silence = convert(102, 0.0f);
    ASSERT_TRUE(silence);
    EXPECT_TRUE(std::isinf(*silence) && *silence < 0.0f);
    for (int32 mode : {5, 50, 99, 105, -1, -100, 1 << 30})
        EXPECT_FALSE(convert(mode, 123.0f)) << "mode " << mode;
    const auto nan = convert(3, std::nanf(""));
    ASSERT_TRUE(nan);
    EXPECT_TRUE(std::isnan(*nan));
}

// Each conversion and its inverse bring a value back inside the ranges without clamps.
TEST_F(UnitConverter, ModesAndTheirInversesRoundTrip) {
    const std::vector<std::pair<int32, std::vector<float>>> cases = {
        {0, {20.0f, 440.0f, 1000.0f, 18000.0f}}, {1, {-30.0f, -6.0f, 0.0f, 6.0f}},
        {2, {-40.0f, -6.0f, 0.0f, 3.0f}},        {3, {1.0f, 50.0f, 2000.0f, 10000.0f}},
        {4, {20.0f, 1000.0f, 16000.0f}},
    };
    for (const auto& [mode, values] : cases)
        for (float x : values) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " x " + std::to_string(x));
            const auto volts = convert(mode, x);
            ASSERT_TRUE(volts);
            const auto back = convert(mode + 100, *volts);
            const float result = back ? *back : 6.0f;
            EXPECT_NEAR(result, x, 1e-4 * std::fabs(x) + 1e-4);
        }
}

} // namespace
