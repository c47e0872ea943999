// Conversion scripts shared by the audio and GUI converter tests: each pair of types in both
// directions, with the documented examples and the out-of-range and malformed values.
#pragma once

#include "converter_rig.h"

#include <limits>

namespace convtest {

inline constexpr int32 kMax = std::numeric_limits<int32>::max();
inline constexpr int32 kMin = std::numeric_limits<int32>::min();
inline constexpr float kInf = std::numeric_limits<float>::infinity();
inline const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Identifiers without the " GUI" suffix; the GUI tests append it.
inline const std::vector<Script>& pairScripts() {
    static const std::vector<Script> scripts = {
        {u"VL IntToBool",
         {{0, I(5), B(true)},
          {0, I(-1), std::nullopt}, // still true: nothing to send
          {0, I(0), B(false)},
          {1, B(true), I(1)},
          {1, B(false), I(0)}}},
        {u"VL IntToFloat",
         {{0, I(3), F(3.0f)},
          {0, I(16777217), F(16777216.0f)}, // the nearest float
          {1, F(2.9f), I(2)},
          {1, F(-2.9f), I(-2)}}},
        {u"VL IntToText",
         {{0, I(-42), T(u"-42")},
          {0, I(kMin), T(u"-2147483648")},
          {1, T(u"  42xyz"), I(42)},
          {1, T(u"abc"), I(0)}}},
        {u"VL FloatToInt",
         {{0, F(2.9f), I(2)},
          {0, F(-2.9f), I(-2)},
          {0, F(kInf), I(kMax)},
          {0, F(kNaN), I(0)},
          {0, F(-kInf), I(kMin)},
          {0, F(-3.0e9f), std::nullopt}, // beyond the range: INT32_MIN again
          {0, F(2147483648.0f), I(kMax)},
          {1, I(7), F(7.0f)},
          {0, F(7.0f), std::nullopt}}}, // the value handed back stops here
        {u"VL FloatToBool",
         {{0, F(0.0f), std::nullopt},
          {0, F(-1.0f), std::nullopt},
          {0, F(0.0001f), B(true)},
          {0, F(kNaN), B(false)},
          {1, B(true), F(1.0f)},
          {1, B(false), F(0.0f)}}},
        {u"VL BoolToInt", {{0, B(true), I(1)}, {1, I(0), B(false)}, {1, I(-7), B(true)}}},
        {u"VL BoolToFloat",
         {{0, B(true), F(1.0f)}, {1, F(-1.0f), B(false)}, {1, F(0.5f), B(true)}}},
        {u"VL BoolToText", {{0, B(true), T(u"1")}, {1, T(u" 1"), B(false)}, {1, T(u"1"), B(true)}}},
        {u"VL TextToInt",
         {{0, T(u"  42xyz"), I(42)},
          {0, T(u"abc"), I(0)},
          {0, T(u"99999999999"), I(kMax)},
          {0, T(u"-99999999999"), I(kMin)},
          {0, T(u"\t+17"), I(17)},
          {0, T(u"0x10"), I(0)},
          {0,
           T(std::u16string(u"5\0"
                            u"7",
                            3)),
           I(5)}, // an embedded zero ends the digits
          {1, I(42), T(u"42")}}},
        {u"VL TextToFloat",
         {{0, T(u"2.5abc"), F(2.5f)},
          {0, T(u"0x1A"), F(26.0f)},
          {0, T(u" -1e400"), F(-kInf)},
          {0, T(u"1e-400"), F(0.0f)},
          {0, T(u"-Infinity"), F(-kInf)},
          {0, T(u"2,5"), F(2.0f)}, // a comma is not a decimal separator
          {0,
           T(u"\xD800"
             u"1"),
           F(0.0f)}, // an unpaired surrogate is no number
          {0, T(std::u16string(300, u'0') + u"1"), F(1.0f)},
          {0, T(u"1" + std::u16string(200, u'0') + u"e-200"), std::nullopt}, // 1 again
          {0, T(u"0." + std::u16string(200, u'0') + u"1e202"), F(10.0f)},
          {1, F(0.25f), T(u"0.250000")}}},
        {u"VL TextToBool",
         {{0, T(u"1"), B(true)},
          {0, T(u"true"), B(false)},
          {0, T(u"01"), std::nullopt},
          {0, T(u" 1"), std::nullopt},
          {0, T(std::u16string(u"1\0", 2)), std::nullopt}, // the whole text counts
          {1, B(true), T(u"1")}}},
    };
    return scripts;
}

} // namespace convtest
