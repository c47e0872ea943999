// The text of a formula pin as the evaluator reads it: UTF-16 converted to UTF-8 in a fixed
// buffer (no allocation on the audio thread), ending at the first zero code unit, with an
// empty text standing for "0". Shared by the float-function modules.
#pragma once

#include "modules/formula/Evaluator.h"

#include <string_view>

namespace zr {

class FormulaText {
  public:
    FormulaText() { assign(u""); }

    // Converts `text`. Conversion stops once the text is known to be longer than the
    // evaluator accepts; the evaluator then refuses it. A lone surrogate becomes U+FFFD.
    std::string_view assign(std::u16string_view text) {
        size_ = 0;
        for (std::size_t i = 0; i < text.size() && text[i] != u'\0'; ++i) {
            if (size_ > Formula::kMaxLength) break;
            char32_t c = text[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c < 0xE000) {
                c = 0xFFFD;
            }
            put(c);
        }
        if (size_ == 0) bytes_[size_++] = '0';
        return view();
    }
    std::string_view view() const { return {bytes_, static_cast<std::size_t>(size_)}; }

  private:
    void put(char32_t c) {
        auto byte = [this](char32_t b) { bytes_[size_++] = static_cast<char>(b); };
        if (c < 0x80) {
            byte(c);
        } else if (c < 0x800) {
            byte(0xC0 | (c >> 6));
            byte(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            byte(0xE0 | (c >> 12));
            byte(0x80 | ((c >> 6) & 0x3F));
            byte(0x80 | (c & 0x3F));
        } else {
            byte(0xF0 | (c >> 18));
            byte(0x80 | ((c >> 12) & 0x3F));
            byte(0x80 | ((c >> 6) & 0x3F));
            byte(0x80 | (c & 0x3F));
        }
    }

    // Room for kMaxLength + 1 bytes and one more character of up to four.
    char bytes_[Formula::kMaxLength + 5] = {};
    int size_ = 0;
};

} // namespace zr
