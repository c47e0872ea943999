#include "host/event_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace zrhost;
using gmpi::int32;

namespace {

// Walks the list through `next`, as a module does.
std::vector<const gmpi::MpEvent*> walk(const EventList& list) {
    std::vector<const gmpi::MpEvent*> out;
    for (const gmpi::MpEvent* e = list.first(); e; e = e->next)
        out.push_back(e);
    return out;
}

TEST(EventList, LinksInTimeOrderKeepingInsertionOrderForEqualTimes) {
    EventList list;
    list.addInt(10, 1, 100).addInt(0, 2, 200).addInt(10, 3, 300).addInt(5, 4, 400);
    list.addGraphStart(0);
    const auto events = walk(list);
    ASSERT_EQ(events.size(), 5u);
    std::vector<std::pair<int32, int32>> timeAndPin;
    for (const auto* e : events)
        timeAndPin.emplace_back(e->time, e->pinId);
    const std::vector<std::pair<int32, int32>> expected = {
        {0, 2}, {0, -1}, {5, 4}, {10, 1}, {10, 3}};
    EXPECT_EQ(timeAndPin, expected);
    EXPECT_EQ(events[1]->type, gmpi::EventGraphStart);
    EXPECT_EQ(events.back()->next, nullptr);

    list.clear();
    EXPECT_EQ(list.first(), nullptr);
}

TEST(EventList, PlacesValuesInlineUpToEightBytesAndOwnsLongerOnes) {
    EventList list;
    const std::vector<std::uint8_t> nine = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    list.addFloat(0, 0, 0.25f)
        .addBool(1, 1, true)
        .addText(2, 2, u"abcd")  // 8 bytes: still inline
        .addText(3, 3, u"abcde") // 10 bytes
        .addBlob(4, 4, nine)
        .addMidi(5, 5, std::vector<std::uint8_t>{0x90, 60, 100})
        .addStreamingStart(6, 6)
        .addStreamingStop(7, 7);
    const auto e = walk(list);
    ASSERT_EQ(e.size(), 8u);

    float f = 0;
    std::memcpy(&f, e[0]->inlineData, 4);
    EXPECT_EQ(e[0]->size, 4);
    EXPECT_EQ(f, 0.25f);
    EXPECT_EQ(e[0]->type, gmpi::EventPinValue);
    EXPECT_EQ(e[0]->extraData, nullptr);

    EXPECT_EQ(e[1]->size, 1);
    EXPECT_EQ(e[1]->inlineData[0], 1);

    EXPECT_EQ(e[2]->size, 8);
    EXPECT_EQ(e[2]->extraData, nullptr);
    EXPECT_EQ(std::memcmp(e[2]->inlineData, u"abcd", 8), 0);

    EXPECT_EQ(e[3]->size, 10);
    ASSERT_NE(e[3]->extraData, nullptr);
    EXPECT_EQ(std::memcmp(e[3]->extraData, u"abcde", 10), 0);

    EXPECT_EQ(e[4]->size, 9);
    ASSERT_NE(e[4]->extraData, nullptr);
    EXPECT_EQ(std::memcmp(e[4]->extraData, nine.data(), 9), 0);

    EXPECT_EQ(e[5]->type, gmpi::EventMidi);
    EXPECT_EQ(e[5]->size, 3);
    EXPECT_EQ(static_cast<unsigned char>(e[5]->inlineData[0]), 0x90);

    EXPECT_EQ(e[6]->type, gmpi::EventStreamingStart);
    EXPECT_EQ(e[7]->type, gmpi::EventStreamingStop);
    EXPECT_EQ(e[7]->size, 0);
}

TEST(EventList, RawEventsAreStoredExactlyAsGiven) {
    static const char outside[] = "outside";
    EventList list;
    list.addRaw(3, 999, 42, 100, std::vector<std::uint8_t>{7, 7}, nullptr);
    list.addRaw(1, gmpi::EventPinValue, -5, 2, {}, outside);
    const auto e = walk(list);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0]->extraData, outside); // the pointer itself, not a copy
    EXPECT_EQ(e[0]->pinId, -5);
    EXPECT_EQ(e[1]->type, 999);
    EXPECT_EQ(e[1]->size, 100);
    EXPECT_EQ(e[1]->extraData, nullptr);
    EXPECT_EQ(e[1]->inlineData[1], 7);
    EXPECT_EQ(e[1]->inlineData[2], 0);
}

} // namespace
