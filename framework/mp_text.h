// Text of the binary boundary that both sides need: UTF-16 → UTF-8 (boundary text is UTF-16,
// the description document and the tools speak UTF-8) and the pin datatype names of the module
// description schema. Header only and standard library only, like mp_interfaces.h, so that a
// host includes it without linking the library; the two are the only framework headers a host
// includes.
#pragma once

#include "framework/mp_interfaces.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace gmpi {

// Stands for text that cannot be encoded: an unpaired surrogate names no character, and
// writing its three bytes as they are would make the output invalid UTF-8.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The code point that starts at text[i], advancing i past it: a surrogate pair is one code
// point, an unpaired surrogate reads as U+FFFD. i must be inside the text.
constexpr char32_t nextCodePoint(std::u16string_view text, std::size_t& i) {
    const char32_t unit = text[i++];
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
    return kReplacementCharacter;
}

// Writes the UTF-8 bytes of a code point (at most U+10FFFF) to `out`, which has room for four;
// returns how many it wrote.
constexpr int encodeUtf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// UTF-16 → UTF-8; unpaired surrogates become U+FFFD.
inline std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    char bytes[4];
    for (std::size_t i = 0; i < text.size();)
        out.append(bytes, static_cast<std::size_t>(encodeUtf8(nextCodePoint(text, i), bytes)));
    return out;
}

// The datatype attribute values of the description schema. An audio pin is written as "float"
// with rate="audio", so audio has no name of its own here.
struct DatatypeName {
    PinDatatype datatype;
    const char* name;
};
inline constexpr DatatypeName kDatatypeNames[] = {
    {DatatypeList, "enum"}, {DatatypeText, "string"}, {DatatypeMidi, "midi"},
    {DatatypeBool, "bool"}, {DatatypeFloat, "float"}, {DatatypeInt, "int"},
    {DatatypeBlob, "blob"},
};

// The schema's name of a datatype ("float" for audio); "unknown" for a code outside the table.
constexpr const char* schemaDatatypeName(PinDatatype datatype) {
    if (datatype == DatatypeAudio) return "float";
    for (const auto& entry : kDatatypeNames)
        if (entry.datatype == datatype) return entry.name;
    return "unknown";
}

// A datatype's name for people: the schema's, and "audio" for audio pins.
constexpr const char* datatypeName(PinDatatype datatype) {
    return datatype == DatatypeAudio ? "audio" : schemaDatatypeName(datatype);
}

// The datatype a schema name stands for; nothing for a name outside the schema.
constexpr std::optional<PinDatatype> datatypeFromSchemaName(std::string_view name) {
    for (const auto& entry : kDatatypeNames)
        if (name == entry.name) return entry.datatype;
    return std::nullopt;
}

} // namespace gmpi
