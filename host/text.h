// Text helpers for the host side of the module boundary. Text crosses the boundary as UTF-16
// code units (char16_t on every platform); tools and tests mostly speak UTF-8.
//
// Threads: pure functions, callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zrhost {

// UTF-8 → UTF-16. Malformed bytes become U+FFFD.
std::u16string toUtf16(std::string_view utf8);

// UTF-16 → UTF-8. Unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view utf16);

// Length of a null-terminated UTF-16 string (0 for null).
std::size_t utf16Length(const char16_t* text);

// A pin value in the raw byte form in which it crosses the boundary, with typed readers.
// Readers never read past the stored bytes: a value too short for the type reads as 0.
struct PinBytes {
    std::vector<std::uint8_t> bytes;

    float asFloat() const;
    std::int32_t asInt() const;
    // One byte: that byte; four bytes: the int32; anything else: the first byte (0 if empty).
    bool asBool() const;
    // size / 2 code units, no terminator.
    std::u16string asText() const;

    static PinBytes of(const void* data, std::int32_t size);
};

// Every recorded value read as one type: readAll(calls, &PinBytes::asFloat).
template <class T, class Recorded>
std::vector<T> readAll(const std::vector<Recorded>& recorded, T (PinBytes::*read)() const) {
    std::vector<T> out;
    out.reserve(recorded.size());
    for (const PinBytes& value : recorded)
        out.push_back((value.*read)());
    return out;
}

} // namespace zrhost
