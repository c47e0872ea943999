// The enumeration-list iterator on its own (its source is compiled into the test): the items
// of plain and range lists, and the lists a patch may hold by mistake.
#include "framework/mp_enum_list.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

using Items = std::vector<std::pair<int64_t, std::u16string>>;

// At most `limit` items, so that a huge range is sampled, not walked.
Items itemsOf(std::u16string_view list, std::size_t limit = 16) {
    Items out;
    gmpi::MpEnumListIterator it(list);
    for (it.first(); !it.isDone() && out.size() < limit; it.next())
        out.emplace_back(it.currentId(), std::u16string(it.currentText()));
    return out;
}

constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
constexpr int64_t kMin = std::numeric_limits<int32_t>::min();

TEST(EnumList, ItemsOfEveryShapeOfList) {
    const struct {
        const char16_t* list;
        Items items;
    } cases[] = {
        {u"Off, Low=5, High", {{0, u"Off"}, {5, u"Low"}, {6, u"High"}}},
        {u"All=-1,1,2", {{-1, u"All"}, {0, u"1"}, {1, u"2"}}},
        {u"  a  ,\tb\t=  7 ,c", {{0, u"a"}, {7, u"b"}, {8, u"c"}}},
        {u"a,,b", {{0, u"a"}, {1, u""}, {2, u"b"}}},
        {u",a", {{0, u""}, {1, u"a"}}},
        {u"a,b,", {{0, u"a"}, {1, u"b"}}},
        {u"a,b, \t", {{0, u"a"}, {1, u"b"}}},
        {u"a=", {{0, u"a"}}},
        {u"a=x, b", {{0, u"a"}, {1, u"b"}}},
        {u"a=-, b=+3", {{0, u"a"}, {3, u"b"}}},
        {u"a=2=3, b", {{2, u"a"}, {3, u"b"}}},
        {u"a=12abc, b", {{12, u"a"}, {13, u"b"}}},
        {u"a=99999999999, b", {{kMax, u"a"}, {kMax + 1, u"b"}}},
        {u"a=-99999999999, b", {{kMin, u"a"}, {kMin + 1, u"b"}}},
        {u"a=2147483647, b", {{kMax, u"a"}, {kMax + 1, u"b"}}},
        {u"", {}},
        {u"   \t\r\n", {}},
        {u",", {{0, u""}}},
        {u"range 1,4", {{1, u"1"}, {2, u"2"}, {3, u"3"}, {4, u"4"}}},
        {u"range -2,0", {{-2, u"-2"}, {-1, u"-1"}, {0, u"0"}}},
        {u"range:3, 3 and more", {{3, u"3"}}},
        {u"range 5,1", {}},
        {u"range 1 4", {}},
        {u"range 1;4", {}},
        {u"range 1,", {}},
        {u"range ,4", {}},
        {u"range", {}},
        {u"range ", {}},
        {u"range 1 ,4", {}},
        {u"range 2147483646,99999999999", {{kMax - 1, u"2147483646"}, {kMax, u"2147483647"}}},
        {u"range -99999999999,-2147483647", {{kMin, u"-2147483648"}, {kMin + 1, u"-2147483647"}}},
        {u"Range 1,2", {{0, u"Range 1"}, {1, u"2"}}},
        {u" range 1,2", {{0, u"range 1"}, {1, u"2"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list, c.list + std::char_traits<char16_t>::length(c.list)));
        EXPECT_EQ(itemsOf(c.list), c.items);
    }
}

// A range of all int32 values is answered without walking it.
TEST(EnumList, HugeRangesAreNeverBuilt) {
    gmpi::MpEnumListIterator it(u"range -2147483648,2147483647");
    EXPECT_TRUE(it.isRange());
    EXPECT_EQ(it.rangeSize(), int64_t{1} << 32);
    std::u16string text;
    for (int64_t id : {kMin, int64_t{-1}, int64_t{0}, kMax}) {
        ASSERT_TRUE(it.find(id, text));
        const std::string digits = std::to_string(id);
        EXPECT_EQ(text, std::u16string(digits.begin(), digits.end()));
    }
    EXPECT_FALSE(it.find(kMax + 1, text));
    const Items first = itemsOf(u"range -2147483648,2147483647", 2);
    EXPECT_EQ(first, (Items{{kMin, u"-2147483648"}, {kMin + 1, u"-2147483647"}}));
}

// find answers the first item with the id, and leaves the text alone when there is none.
TEST(EnumList, FindTakesTheFirstMatch) {
    gmpi::MpEnumListIterator it(u"a=3, b=3, c=1, d");
    std::u16string text = u"kept";
    EXPECT_TRUE(it.find(3, text));
    EXPECT_EQ(text, u"a");
    EXPECT_TRUE(it.find(2, text));
    EXPECT_EQ(text, u"d");
    text = u"kept";
    EXPECT_FALSE(it.find(4, text));
    EXPECT_EQ(text, u"kept");
    // The walk starts over after a search.
    EXPECT_EQ(itemsOf(u"a=3, b=3, c=1, d").size(), 4u);
}

TEST(EnumList, DecimalsReadLikeA32BitConversion) {
    const struct {
        const char16_t* text;
        int32_t value;
        bool digits;
        std::size_t end;
    } cases[] = {
        {u"42", 42, true, 2},
        {u"  -7x", -7, true, 4},
        {u"+0012", 12, true, 5},
        {u"", 0, false, 0},
        {u"-", 0, false, 0},
        {u" x1", 0, false, 0},
        {u"2147483648", int32_t(kMax), true, 10},
        {u"-2147483648", int32_t(kMin), true, 11},
        {u"-2147483649", int32_t(kMin), true, 11},
        {u"184467440737095516160", int32_t(kMax), true, 21},
    };
    for (const auto& c : cases) {
        std::size_t end = 99;
        bool digits = !c.digits;
        EXPECT_EQ(gmpi::readDecimal(c.text, end, digits), c.value);
        EXPECT_EQ(digits, c.digits);
        EXPECT_EQ(end, c.end);
    }
}

} // namespace
