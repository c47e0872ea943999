// Values arriving on control pins in their raw byte forms, malformed values, and control
// outputs sending only changes.
#include "probe.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

using namespace gmpi;
using namespace probe;
using zrhost::EventList;

namespace {

// A block whose only event is `e`, rendered after the graph start; returns the pinsChanged
// line it produced.
std::string changeLine(Probe& p, const EventList& e) {
    p.run(e);
    for (const auto& line : p.log(p.module.blocksRun() - 1))
        if (line[0] == 'P') return line;
    return "(none)";
}

Probe& started(Probe& p) {
    EventList s;
    s.addGraphStart(0).addStreamingStop(0, AudioIn);
    p.run(s);
    return p;
}

} // namespace

TEST(RawValues, BoolTakesFourByteIntsAndFirstBytes) {
    Probe p;
    started(p);
    const std::uint8_t two[] = {2, 0, 0, 0};
    const std::uint8_t highByte[] = {0, 0, 0, 1};
    const std::uint8_t zero[] = {0};
    const std::uint8_t five[] = {5};
    struct Case {
        std::span<const std::uint8_t> bytes;
        const char* expected;
    };
    for (const Case& c :
         {Case{two, "P b=1"}, Case{zero, "P b=0"}, Case{highByte, "P b=1"}, Case{five, "P b=1"}}) {
        EventList e;
        e.addBytes(0, EventPinValue, BoolIn, c.bytes.data(), static_cast<int32>(c.bytes.size()));
        EXPECT_EQ(changeLine(p, e), c.expected);
    }
}

TEST(RawValues, TextIsHalfTheByteCountInCodeUnits) {
    Probe p;
    started(p);
    EventList ten;
    ten.addText(0, TextIn, u"hello");
    EXPECT_EQ(changeLine(p, ten), "P t=hello/5");
    EventList empty;
    empty.addBytes(0, EventPinValue, TextIn, nullptr, 0);
    EXPECT_EQ(changeLine(p, empty), "P t=/0");
    // An odd trailing byte belongs to no code unit.
    const char odd[] = {'a', 0, 'b', 0, 'c'};
    EventList oddBytes;
    oddBytes.addBytes(0, EventPinValue, TextIn, odd, 5);
    EXPECT_EQ(changeLine(p, oddBytes), "P t=ab/2");
}

TEST(RawValues, BlobsListsAndIntsKeepTheirBytes) {
    Probe p;
    started(p);
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EventList e;
    e.addBlob(0, BlobIn, bytes).addInt(0, ListIn, 3).addInt(0, IntIn, -123456);
    EXPECT_EQ(changeLine(p, e), "P i=-123456 blob=12 l=3");
}

TEST(RawValues, MalformedValuesNeverReadPastTheirBytes) {
    Probe p;
    started(p);
    // One byte for a float pin, held in a heap block of exactly one byte: nothing may read
    // the three bytes that are not there (the sanitizer build checks this), and the value is
    // dropped.
    auto oneByte = std::make_unique<char[]>(1);
    oneByte[0] = 0x7f;
    EventList shortFloat;
    shortFloat.addRaw(0, EventPinValue, FloatIn, 1, {}, oneByte.get());
    EXPECT_EQ(changeLine(p, shortFloat), "P");

    // A size that claims more than the 8 inline bytes, with no extra data: only the inline
    // bytes are read.
    const std::uint8_t inlineText[] = {'w', 0, 'x', 0, 'y', 0, 'z', 0};
    EventList overlong;
    overlong.addRaw(0, EventPinValue, TextIn, 1000, inlineText);
    EXPECT_EQ(changeLine(p, overlong), "P t=wxyz/4");

    // Negative sizes are empty values.
    EventList negative;
    negative.addRaw(0, EventPinValue, TextIn, -8, inlineText)
        .addRaw(0, EventPinValue, BlobIn, -1, inlineText);
    EXPECT_EQ(changeLine(p, negative), "P t=/0 blob=0");

    // A zero-size bool carries no byte to take.
    EventList emptyBool;
    emptyBool.addRaw(0, EventPinValue, BoolIn, 0, {});
    EXPECT_EQ(changeLine(p, emptyBool), "P");

    // A float value of more than 4 bytes takes its first four.
    const float half = 0.5f;
    std::uint8_t eight[8] = {};
    std::memcpy(eight, &half, 4);
    EventList longFloat;
    longFloat.addRaw(0, EventPinValue, FloatIn, 8, eight);
    EXPECT_EQ(changeLine(p, longFloat), "P f=0.5");
}

TEST(ControlOutputs, SetValueSendsChangesAndSendValueSendsAlways) {
    Probe p;
    started(p);
    // Graph start sent the initial value 0.
    EXPECT_EQ(p.module.floatsSent(FloatOut), (std::vector<float>{0.0f}));
    auto set = [&](float v, int command, int time) {
        EventList e;
        e.addFloat(time, FloatIn, v).addInt(time, Command, command);
        p.run(e);
    };
    set(2.5f, SetFloatOut, 3);
    set(2.5f, SetFloatOut, 0);
    set(2.5f, SendFloatOut, 0);
    set(2.5f, SendFloatOut, 0);
    EXPECT_EQ(p.module.floatsSent(FloatOut), (std::vector<float>{0.0f, 2.5f, 2.5f, 2.5f}));
    // Values are stamped with the event's position.
    EXPECT_EQ(p.module.valuesSent(FloatOut)[1].time, 3);

    // NaN differs from everything, itself included.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    set(nan, SetFloatOut, 0);
    set(nan, SetFloatOut, 0);
    const auto sent = p.module.floatsSent(FloatOut);
    ASSERT_EQ(sent.size(), 6u);
    EXPECT_TRUE(std::isnan(sent[4]) && std::isnan(sent[5]));
}

TEST(AudioPins, AttachBufferToUnknownPinFails) {
    Probe p;
    float buffer[64] = {};
    EXPECT_EQ(p.module.plugin()->attachBuffer(42, buffer), ResultFail);
    EXPECT_EQ(p.module.plugin()->attachBuffer(-1, buffer), ResultFail);
    EXPECT_EQ(p.module.plugin()->attachBuffer(AudioOut, p.module.buffer(AudioOut).data()),
              ResultOk);
}
