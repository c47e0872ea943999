// Number text and hexadecimal byte text without the C library's locale-dependent formatting
// and parsing: std::to_chars and std::from_chars do the digit work, this file adds the C
// prefix rules (white space, sign, hexadecimal prefix, out-of-range results) around them.
#include "modules/converters/ValueConversions.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace zr {
namespace {

bool isCSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Characters that can belong to a number's text: digits, letters (exponents, hexadecimal
// digits, "inf", "nan"), the point, exponent signs and the "nan(...)" payload.
bool mayBelongToNumber(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
           c == u'.' || c == u'+' || c == u'-' || c == u'(' || c == u')' || c == u'_';
}

Text widen(const char* first, const char* last) {
    return Text(first, last); // ASCII only: each char is one code unit
}

// Whether a number text that does not fit a double lies above 1 (so it overflows) rather
// than below (so it underflows): the position of its first significant digit plus its
// exponent. `hex` counts hexadecimal digits (4 bits each) against a binary exponent.
bool aboveOne(const char* p, const char* end, bool hex) {
    const auto digit = hex ? isHexDigit : isDigit;
    long position = 0;
    while (p < end && *p == '0')
        ++p;
    while (p < end && digit(*p)) {
        ++position;
        ++p;
    }
    if (position == 0 && p < end && *p == '.') {
        ++p;
        while (p < end && *p == '0') {
            --position;
            ++p;
        }
    }
    while (p < end && (digit(*p) || *p == '.'))
        ++p;
    long exponent = 0;
    if (p < end && (hex ? (*p == 'p' || *p == 'P') : (*p == 'e' || *p == 'E'))) {
        ++p;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        while (p < end && isDigit(*p) && exponent < 100000000)
            exponent = exponent * 10 + (*p++ - '0');
        if (negative) exponent = -exponent;
    }
    return (hex ? 4 * position : position) + exponent > 0;
}

// An unsigned number at the start of [first, last); 0 when none.
double parseUnsigned(const char* first, const char* last) {
    if (first == last || *first == '+' || *first == '-') return 0.0;
    double value = 0.0;
    bool hex = false;
    std::from_chars_result r{};
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        hex = true;
        first += 2;
        if (*first == '+' || *first == '-') return 0.0; // "0x-1": only the "0" is a number
        r = std::from_chars(first, last, value, std::chars_format::hex);
    } else {
        r = std::from_chars(first, last, value, std::chars_format::general);
    }
    if (r.ec == std::errc::result_out_of_range)
        return aboveOne(first, last, hex) ? std::numeric_limits<double>::infinity() : 0.0;
    return r.ec == std::errc() ? value : 0.0;
}

} // namespace

Text formatInt(int32 value) {
    char buffer[16];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return widen(buffer, r.ptr);
}

Text formatFixed(float value, int places) {
    // A float's integer part has at most 39 digits; 48 places more still fit this buffer.
    constexpr int kMostPlaces = kMaxNumberChars - 1;
    char buffer[128];
    places = places < 0 ? 0 : places > kMostPlaces ? kMostPlaces : places;
    for (;;) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                     std::chars_format::fixed, places);
        const int length = static_cast<int>(r.ptr - buffer);
        // Rounding to fewer places can carry into a new integer digit, hence the loop.
        if (length <= kMaxNumberChars || places == 0) return widen(buffer, r.ptr);
        places = length - kMaxNumberChars > places ? 0 : places - (length - kMaxNumberChars);
    }
}

int32 parseInt(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    // Accumulate until the magnitude passes the int32 range; further digits only confirm it.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[i] - u'0');
    if (negative)
        return magnitude >= kLimit ? std::numeric_limits<int32>::min()
                                   : static_cast<int32>(-magnitude);
    return magnitude >= kLimit ? std::numeric_limits<int32>::max() : static_cast<int32>(magnitude);
}

double parseDouble(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    std::size_t end = i;
    while (end < text.size() && mayBelongToNumber(text[end]))
        ++end;
    // Narrow the candidate characters (all ASCII) for from_chars; the usual short number
    // needs no allocation.
    const std::size_t count = end - i;
    char local[96];
    std::string longer;
    char* narrow = local;
    if (count > sizeof local) {
        longer.resize(count);
        narrow = longer.data();
    }
    for (std::size_t k = 0; k < count; ++k)
        narrow[k] = static_cast<char>(text[i + k]);
    const double value = parseUnsigned(narrow, narrow + count);
    return negative ? -value : value;
}

int32 floatToInt(float value) {
    if (value != value) return 0;
    // 2^31 is exact in float; every float below it and above -2^31 - 1 truncates in range.
    if (value >= 2147483648.0f) return std::numeric_limits<int32>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32>::min();
    return static_cast<int32>(value);
}

Text blobToText(const gmpi::MpBlob& blob) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    Text text;
    text.reserve(static_cast<std::size_t>(blob.size()) * 3);
    for (int32 k = 0; k < blob.size(); ++k) {
        const auto byte = static_cast<unsigned char>(blob.data()[k]);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
        text += u' ';
    }
    return text;
}

gmpi::MpBlob textToBlob(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 2 + 1);
    int high = -1; // the first nibble of a pair while waiting for its second
    for (const char16_t c : text) {
        if (c == u' ') continue;
        int nibble = 0;
        if (c >= u'0' && c <= u'9')
            nibble = c - u'0';
        else if (c >= u'A' && c <= u'F')
            nibble = c - u'A' + 10;
        else if (c >= u'a' && c <= u'f')
            nibble = c - u'a' + 10;
        if (high < 0) {
            high = nibble;
        } else {
            bytes += static_cast<char>((high << 4) | nibble);
            high = -1;
        }
    }
    if (high >= 0) bytes += static_cast<char>(high);
    return gmpi::MpBlob(static_cast<int32>(bytes.size()), bytes.data());
}

} // namespace zr
