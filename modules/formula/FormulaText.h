// The text of a formula pin as the evaluator reads it: UTF-16 converted to UTF-8 in a fixed
// buffer (no allocation on the audio thread), ending at the first zero code unit, with an
// empty text standing for "0". Shared by the float-function modules.
#pragma once

#include "framework/mp_text.h"
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
        for (std::size_t i = 0; i < text.size() && text[i] != u'\0';) {
            if (size_ > Formula::kMaxLength) break;
            size_ += gmpi::encodeUtf8(gmpi::nextCodePoint(text, i), bytes_ + size_);
        }
        if (size_ == 0) bytes_[size_++] = '0';
        return view();
    }
    std::string_view view() const { return {bytes_, static_cast<std::size_t>(size_)}; }

  private:
    // Room for kMaxLength + 1 bytes and one more character of up to four.
    char bytes_[Formula::kMaxLength + 5] = {};
    int size_ = 0;
};

} // namespace zr
