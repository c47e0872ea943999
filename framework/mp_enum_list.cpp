// The enumeration-list iterator: plain "text=id" lists and "range lo,hi" lists, read lazily.
#include "framework/mp_enum_list.h"

#include <iterator>
#include <limits>

namespace gmpi {

namespace {

bool isWhite(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && isWhite(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isWhite(s.back()))
        s.remove_suffix(1);
    return s;
}

bool onlyWhite(std::u16string_view s) {
    for (char16_t c : s)
        if (!isWhite(c)) return false;
    return true;
}

constexpr std::u16string_view kRange = u"range";

} // namespace

int32 readDecimal(std::u16string_view text, std::size_t& end, bool& digits) {
    std::size_t i = 0;
    while (i < text.size() && isWhite(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    // Accumulated as a magnitude and capped just past the int32 range, so that any number of
    // digits is read without overflow.
    constexpr int64_t kCap = int64_t{1} << 31;
    int64_t magnitude = 0;
    const std::size_t firstDigit = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        magnitude = magnitude * 10 + (text[i] - u'0');
        if (magnitude > kCap) magnitude = kCap;
        ++i;
    }
    digits = i > firstDigit;
    if (!digits) {
        end = 0; // nothing was read, as the C conversion reports it
        return 0;
    }
    end = i;
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32>::max()) return std::numeric_limits<int32>::max();
    if (value < std::numeric_limits<int32>::min()) return std::numeric_limits<int32>::min();
    return static_cast<int32>(value);
}

MpEnumListIterator::MpEnumListIterator(std::u16string_view list) : list_(list) {
    isRange_ = list_.substr(0, kRange.size()) == kRange;
    if (isRange_) parseRange();
    first();
}

// "range", one separator character, lo, "," right after lo's digits, hi. Anything after hi
// is ignored. A list that does not have this shape has no items.
void MpEnumListIterator::parseRange() {
    rangeLo_ = 0;
    rangeHi_ = -1;
    if (list_.size() <= kRange.size()) return;
    const std::u16string_view rest = list_.substr(kRange.size() + 1);
    std::size_t end = 0;
    bool digits = false;
    const int32 lo = readDecimal(rest, end, digits);
    if (!digits || end >= rest.size() || rest[end] != u',') return;
    const int32 hi = readDecimal(rest.substr(end + 1), end, digits);
    if (!digits) return;
    rangeLo_ = lo;
    rangeHi_ = hi;
}

void MpEnumListIterator::first() {
    pos_ = 0;
    id_ = -1;
    text_ = {};
    done_ = false;
    if (isRange_) {
        if (rangeSize() == 0) {
            done_ = true;
            return;
        }
        id_ = rangeLo_;
        setRangeItem();
        return;
    }
    readPlainItem();
}

void MpEnumListIterator::next() {
    if (done_) return;
    if (isRange_) {
        if (id_ >= rangeHi_) {
            done_ = true;
            return;
        }
        ++id_;
        setRangeItem();
        return;
    }
    readPlainItem();
}

void MpEnumListIterator::setRangeItem() {
    // Decimal digits of id_, written backwards from the end of the buffer.
    std::size_t at = std::size(number_);
    const bool negative = id_ < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(id_) : static_cast<uint64_t>(id_);
    do {
        number_[--at] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) number_[--at] = u'-';
    text_ = std::u16string_view(number_ + at, std::size(number_) - at);
}

// Reads the item starting at pos_. The list ends at the end of the text, or where only white
// space remains (so a trailing comma, or a text of white space, adds no item).
void MpEnumListIterator::readPlainItem() {
    if (pos_ >= list_.size() || onlyWhite(list_.substr(pos_))) {
        done_ = true;
        text_ = {};
        return;
    }
    std::size_t comma = list_.find(u',', pos_);
    if (comma == std::u16string_view::npos) comma = list_.size();
    const std::u16string_view item = list_.substr(pos_, comma - pos_);
    pos_ = comma + 1;
    const std::size_t eq = item.find(u'=');
    text_ = trim(item.substr(0, eq));
    if (eq == std::u16string_view::npos) {
        ++id_;
    } else {
        std::size_t end = 0;
        bool digits = false;
        id_ = readDecimal(item.substr(eq + 1), end, digits);
    }
}

bool MpEnumListIterator::find(int64_t id, std::u16string& text) {
    if (isRange_) {
        if (id < rangeLo_ || id > rangeHi_) return false;
        id_ = id;
        setRangeItem();
        text.assign(text_);
        first();
        return true;
    }
    for (first(); !isDone(); next()) {
        if (currentId() == id) {
            text.assign(currentText());
            return true;
        }
    }
    return false;
}

} // namespace gmpi
