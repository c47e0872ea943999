// The scaling GUIs: Float Scaler2 both ways (zero multiplier, NaN handed back), Float Limiter
// one 20 ms tick after an out-of-range value, and FloatToText's places, negative zero, long
// texts and edited texts.
#include "tests/converters/converter_rig.h"

#include <cmath>
#include <limits>

using namespace convtest;

namespace {

using ScalingGuis = ConverterRig;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Pins: 0 Value Out, 1 Multiply by, 2 Add, 3 Value In.
TEST_F(ScalingGuis, ScalerBothWaysAndAZeroMultiplier) {
    runGui({u"VL Float Scaler2",
            {{1, F(3.0f), std::nullopt}, // 0 × 3 + 0 is the 0 already held
             {3, F(2.0f), F(6.0f), 0},
             {2, F(1.0f), F(7.0f), 0},
             {0, F(10.0f), F(3.0f), 3}, // (10 - 1) / 3
             {0, F(10.0f), std::nullopt},
             {1, F(0.0f), F(1.0f), 0},
             {0, F(5.0f), std::nullopt}, // no Value In gives 5: Value In stays 3
             {3, F(4.0f), F(1.0f), 0}}});

    zrhost::GuiModule m(*lib, u"VL Float Scaler2", context);
    deliver(m, 1, F(kNaN));
    deliver(m, 3, F(2.0f));
    ASSERT_EQ(m.floatsSent(0).size(), 1u);
    EXPECT_TRUE(std::isnan(m.floatsSent(0)[0]));
    EXPECT_LE(echoUntilQuiet(m), 2); // a NaN handed back settles
}

// Pins: 0 lower limit, 1 upper limit, 2 value.
TEST_F(ScalingGuis, LimiterCorrectsOneTickLater) {
    if (!lib->timerTickFn())
        GTEST_SKIP() << "the library runs the system timer here, whose ticks need a message loop";
    zrhost::GuiModule m(*lib, u"VL Float Limiter", context);
    deliver(m, 1, F(1.0f));
    deliver(m, 2, F(1.5f));
    EXPECT_TRUE(m.transmits().empty()); // never inside the notification
    EXPECT_EQ(lib->timerInterval(), 20);
    EXPECT_EQ(lib->advanceTimer(19), 0);
    EXPECT_EQ(lib->advanceTimer(1), 1);
    EXPECT_EQ(m.floatsSent(2), std::vector<float>{1.0f});
    EXPECT_EQ(lib->timerInterval(), 0); // the client left after its tick

    m.clearRecord();
    deliver(m, 2, F(-3.0f));
    EXPECT_EQ(lib->advanceTimer(20), 1);
    EXPECT_EQ(m.floatsSent(2), std::vector<float>{0.0f});

    // Limits that cross before the tick are used as they are: down to the upper, then up to
    // the lower.
    m.clearRecord();
    deliver(m, 2, F(5.0f));
    deliver(m, 1, F(-1.0f));
    lib->advanceTimer(20);
    EXPECT_EQ(m.floatsSent(2), (std::vector<float>{-1.0f, 0.0f}));

    // An inverted or NaN range limits nothing, nor does a NaN value.
    zrhost::GuiModule inverted(*lib, u"VL Float Limiter", context);
    for (const auto& [lower, upper, value] :
         {std::tuple{1.0f, 0.0f, 5.0f}, std::tuple{kNaN, 1.0f, 5.0f},
          std::tuple{0.0f, 1.0f, kNaN}}) {
        deliver(inverted, 2, F(value));
        deliver(inverted, 1, F(upper));
        deliver(inverted, 0, F(lower));
        EXPECT_EQ(lib->timerInterval(), 0);
    }
    EXPECT_TRUE(inverted.transmits().empty());
}

// Pins: 0 Float Val, 1 Decimal Places, 2 Text Val.
TEST_F(ScalingGuis, FormatterPlacesNegativeZeroAndEditedText) {
    runGui({u"VL FloatToText GUI",
            {{1, I(-1), T(u"0.0"), 2},
             {0, F(0.05f), T(u"0.0500"), 2},
             {0, F(3.14159f), T(u"3.14"), 2},
             {0, F(12.345f), T(u"12.3"), 2},
             {0, F(250.7f), T(u"251"), 2},
             {0, F(100.0f), T(u"100.0"), 2},
             {0, F(0.1f), T(u"0.10"), 2},
             {0, F(-kInf), T(u"-inf"), 2},
             {0, F(kNaN), T(u"nan"), 2},
             {0, F(3.14159f), T(u"3.14"), 2},
             {2, T(u"3.140"), std::nullopt}, // the same number
             {2, T(u"2.5"), F(2.5f), 0},
             {2, T(u"2.50"), std::nullopt}}});
    runGui({u"VL FloatToText GUI",
            {{1, I(2), T(u"0.00"), 2},
             {0, F(-0.004f), std::nullopt}, // "-0.00" loses its sign
             {0, F(-0.5f), T(u"-0.50"), 2},
             {0, F(0.05f), T(u"0.05"), 2},
             {1, I(-7), T(u"0.0500"), 2}, // negative counts are automatic
             {1, I(0), T(u"0"), 2}}});
}

// Place counts too large for 49 characters: the places are reduced until the text fits.
TEST_F(ScalingGuis, FormatterTextsFitFortyNineCharacters) {
    struct Case {
        float value;
        int32 places;
        std::u16string prefix;
    };
    const std::vector<Case> cases = {
        {0.05f, 1000, u"0.05000000074505805969238281250000"},
        {-3.0e38f, std::numeric_limits<int32>::max(), u"-300000000549775575777803994281145270272."},
        {9.99f, 47, u"9.98999977111816406250000"},
    };
    for (const Case& c : cases) {
        zrhost::GuiModule m(*lib, u"VL FloatToText GUI", context);
        deliver(m, 1, I(c.places));
        deliver(m, 0, F(c.value));
        const auto texts = m.textsSent(2);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back().size(), 49u);
        EXPECT_EQ(texts.back().substr(0, c.prefix.size()), c.prefix);
    }
}

} // namespace
