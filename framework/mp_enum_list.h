// The enumeration-list iterator: walks the item list of a list pin ("Off, Low=5, High" or
// "range 1,4") item by item, giving each item's id and text, without building the list, so
// that a range of two billion numbers costs no more than a range of four.
// Pure text processing; any thread.
#pragma once

#include "framework/mp_interfaces.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace gmpi {

// Reading rules:
// - "range" followed by one separator character, a decimal lo, "," and a decimal hi: the
//   numbers lo..hi, each its own id and text. Numbers are read as a 32-bit long would read
//   them (leading white space, optional sign, saturating at the int32 limits). A missing
//   number or comma, or lo above hi, makes an empty list.
// - Otherwise comma-separated items "text" or "text=id". Ids count up by one from -1; an item
//   with "=" takes the number after the first "=" (0 when no digits follow; saturating as
//   above) and the count continues from it. Texts are trimmed of white space. Ids are kept in
//   64 bits, so counting on past the int32 maximum never wraps: such ids match no int32.
// - A text that is empty or only white space has no items; a trailing comma adds no item.
class MpEnumListIterator {
  public:
    explicit MpEnumListIterator(std::u16string_view list);

    // Back to the first item.
    void first();
    bool isDone() const { return done_; }
    void next();

    int64_t currentId() const { return id_; }
    // Valid until the next call of first or next.
    std::u16string_view currentText() const { return text_; }

    bool isRange() const { return isRange_; }
    // Number of items of a range list (hi - lo + 1, or 0 when empty).
    int64_t rangeSize() const {
        return isRange_ && rangeLo_ <= rangeHi_ ? rangeHi_ - rangeLo_ + 1 : 0;
    }

    // The text of the first item whose id equals `id`; false when there is none. A range
    // list answers directly, without walking its items.
    bool find(int64_t id, std::u16string& text);

  private:
    void parseRange();
    void readPlainItem();
    void setRangeItem();

    std::u16string_view list_;
    bool isRange_ = false;
    int64_t rangeLo_ = 0;
    int64_t rangeHi_ = -1;
    std::size_t pos_ = 0; // start of the next plain item
    bool done_ = true;
    int64_t id_ = -1;
    std::u16string_view text_;
    char16_t number_[24] = {}; // text of the current range item
};

// Reads a decimal integer the way a 32-bit wide text-to-long conversion does: leading white
// space, an optional sign, then digits; saturates at the int32 limits; 0 when no digits
// follow. `digits` tells whether any digit was read; `end` is where reading stopped.
int32 readDecimal(std::u16string_view text, std::size_t& end, bool& digits);

} // namespace gmpi
