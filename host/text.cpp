#include "host/text.h"

#include "framework/mp_text.h"

#include <cstring>

namespace zrhost {

namespace {

constexpr char32_t kReplacement = gmpi::kReplacementCharacter;

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

} // namespace

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, minimum = 0x10000;
        } else {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        bool ok = i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        appendUtf16(out, cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string toUtf8(std::u16string_view utf16) {
    return gmpi::utf16ToUtf8(utf16);
}

std::size_t utf16Length(const char16_t* text) {
    std::size_t n = 0;
    if (text)
        while (text[n] != 0)
            ++n;
    return n;
}

float PinBytes::asFloat() const {
    float v = 0.0f;
    if (bytes.size() >= sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
    return v;
}

std::int32_t PinBytes::asInt() const {
    std::int32_t v = 0;
    if (bytes.size() >= sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
    return v;
}

bool PinBytes::asBool() const {
    if (bytes.size() == 4) return asInt() != 0;
    return !bytes.empty() && bytes[0] != 0;
}

std::u16string PinBytes::asText() const {
    std::u16string text(bytes.size() / 2, u'\0');
    if (!text.empty()) std::memcpy(text.data(), bytes.data(), text.size() * 2);
    return text;
}

PinBytes PinBytes::of(const void* data, std::int32_t size) {
    PinBytes value;
    if (data && size > 0) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        value.bytes.assign(p, p + size);
    }
    return value;
}

} // namespace zrhost
