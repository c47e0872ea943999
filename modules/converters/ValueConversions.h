// Conversions between pin value types, shared by the audio and GUI converters and the
// number-formatting modules: integer and fixed-point text, parsing with the C library's prefix
// rules, float to int with defined results out of range, and bytes as hexadecimal text.
// Nothing here depends on the process locale: the decimal separator is always ".".
#pragma once

#include "framework/mp_blob.h"
#include "framework/mp_interfaces.h"

#include <string>
#include <string_view>

namespace zr {

using gmpi::int32;
using Text = std::u16string;

// Longest formatted number, in characters: what a 50-character buffer holds with its
// terminator.
inline constexpr int kMaxNumberChars = 49;

// "%d": the decimal digits of `value` with a leading "-" when negative (at most 11 characters).
Text formatInt(int32 value);

// "%.Nf" of `value` widened to double, with N = `places` (negative counts as 0): correctly
// rounded, "." as the separator, "inf", "-inf", "nan" or "-nan" for values that are not
// finite. The integer part of a float has at most 39 digits, so the text always fits
// kMaxNumberChars with up to 8 places; when more places would not fit, places are dropped
// (the value is rounded to fewer places) until it does. Nothing else is ever cut.
Text formatFixed(float value, int places);

// The C library's base-10 string-to-long on a wide text: leading white space (" \t\n\v\f\r")
// skipped, an optional sign, then digits up to the first other character (an embedded zero,
// a surrogate or any character outside ASCII ends the digits like any other); 0 when there
// are none. Values beyond the int32 range give INT32_MAX or INT32_MIN, as the conversion
// does where a long has 32 bits. "0x10" gives 0 and "inf" gives 0: base 10 has no such forms.
int32 parseInt(std::u16string_view text);

// The C library's wide string-to-double: leading white space, an optional sign, then the
// longest prefix that forms a number; 0 when none does. As in C, "inf" and "infinity" give
// infinity and "nan" (optionally followed by "(chars)") gives NaN, in any letter case and
// with the sign applied; "0x" followed by hexadecimal digits (with an optional "." and a
// binary exponent "p±n") is read as a hexadecimal number, so "0x1A" is 26 and "0x" alone is
// 0. Magnitudes beyond the double range give ±infinity, below it 0.
double parseDouble(std::u16string_view text);

// Truncation towards zero. NaN gives 0; values at or beyond the int32 range, infinities
// included, give INT32_MAX or INT32_MIN.
int32 floatToInt(float value);

// Each byte as two upper-case hexadecimal digits and a space ("%02X "): 3 characters a byte.
Text blobToText(const gmpi::MpBlob& blob);

// Spaces skipped; every other code unit is one nibble ('0'-'9', 'A'-'F', 'a'-'f'; anything
// else, surrogates and zeros included, is 0). Nibbles pair into bytes, high half first; a
// last unpaired nibble becomes a byte of its own, unshifted.
gmpi::MpBlob textToBlob(std::u16string_view text);

// The converters' rule from one pin type to another. Only the pairs the converters use are
// defined.
template <class To, class From>
To convertValue(const From& value);

template <>
inline bool convertValue<bool, int32>(const int32& v) {
    return v != 0;
}
template <>
inline int32 convertValue<int32, bool>(const bool& v) {
    return v ? 1 : 0;
}
template <>
inline float convertValue<float, int32>(const int32& v) {
    return static_cast<float>(v);
}
template <>
inline int32 convertValue<int32, float>(const float& v) {
    return floatToInt(v);
}
template <>
inline bool convertValue<bool, float>(const float& v) {
    return v > 0.0f; // NaN compares false
}
template <>
inline float convertValue<float, bool>(const bool& v) {
    return v ? 1.0f : 0.0f;
}
template <>
inline Text convertValue<Text, int32>(const int32& v) {
    return formatInt(v);
}
template <>
inline int32 convertValue<int32, Text>(const Text& v) {
    return parseInt(v);
}
template <>
inline Text convertValue<Text, float>(const float& v) {
    return formatFixed(v, 6);
}
template <>
inline float convertValue<float, Text>(const Text& v) {
    return static_cast<float>(parseDouble(v));
}
template <>
inline Text convertValue<Text, bool>(const bool& v) {
    return v ? u"1" : u"0";
}
// The whole text counts: "1" followed by an embedded zero is not "1".
template <>
inline bool convertValue<bool, Text>(const Text& v) {
    return v == u"1";
}
template <>
inline int32 convertValue<int32, int32>(const int32& v) {
    return v;
}
template <>
inline Text convertValue<Text, gmpi::MpBlob>(const gmpi::MpBlob& v) {
    return blobToText(v);
}
template <>
inline gmpi::MpBlob convertValue<gmpi::MpBlob, Text>(const Text& v) {
    return textToBlob(v);
}

} // namespace zr
