// Fuzz target for the enumeration-list iterator. Input: a 4-byte choice, then the list text as
// UTF-16 code units (little-endian byte pairs). Checks, besides memory safety: plain item texts
// carry no outer white space, range items count up by one from lo and read as their number,
// and find agrees with a walk of the items.
#include "framework/mp_enum_list.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool ok) {
    if (!ok) __builtin_trap();
}

bool isWhite(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

std::u16string decimal(int64_t v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::int32_t choice;
    std::memcpy(&choice, data, 4);
    std::u16string list((size - 4) / 2, u'\0');
    if (!list.empty()) std::memcpy(list.data(), data + 4, list.size() * 2);

    gmpi::MpEnumListIterator it(list);
    constexpr std::size_t kWalk = 4096;
    std::size_t count = 0;
    bool seen = false;
    std::u16string firstMatch;
    int64_t previous = 0;
    for (it.first(); !it.isDone() && count < kWalk; it.next(), ++count) {
        const int64_t id = it.currentId();
        const std::u16string text(it.currentText());
        if (it.isRange()) {
            check(count == 0 || id == previous + 1);
            check(text == decimal(id));
        } else {
            check(text.empty() || (!isWhite(text.front()) && !isWhite(text.back())));
            check(id >= INT32_MIN &&
                  id <= int64_t{INT32_MAX} + static_cast<int64_t>(list.size()) + 1);
        }
        if (!seen && id == choice) {
            seen = true;
            firstMatch = text;
        }
        previous = id;
    }
    const bool walkedAll = it.isDone();
    if (it.isRange())
        check(static_cast<int64_t>(count) == std::min<int64_t>(it.rangeSize(), kWalk));

    std::u16string found = u"unchanged";
    const bool hit = it.find(choice, found);
    if (walkedAll) {
        check(hit == seen);
        check(hit ? found == firstMatch : found == u"unchanged");
    } else if (seen) {
        check(hit && found == firstMatch);
    }
    return 0;
}
