// The GUI-side converters: every pair in both directions, text and blob, bad sizes, and
// round trips with the host handing every transmission back.
#include "scripts.h"

using namespace convtest;

namespace {

using GuiConverters = ConverterRig;

const std::vector<Script> kGuiOnly = {
    {u"VL FloatToInt GUI",
     {{0, F(2.5f), I(2)},
      {1, I(2), F(2.0f)}, // 2.0 differs from 2.5
      {1, I(2), std::nullopt}}},
    {u"VL TextToFloat GUI", {{1, F(0.25f), T(u"0.250000")}, {1, F(0.25f), std::nullopt}}},
    {u"VL BlobToText GUI",
     {{0, X({0x01, 0xAB}), T(u"01 AB ")},
      {1, T(u"01 AB "), std::nullopt}, // converts to the bytes pin 0 holds
      {0, X({0xFF, 0x00, 0x7F}), T(u"FF 00 7F ")},
      {0, X({}), T(u"")},
      {1, T(u"ABC"), X({0xAB, 0x0C})}}},
    {u"VL TextToBlob GUI",
     {{0, T(u"ABC"), X({0xAB, 0x0C})},
      {0, T(u"a b"), X({0xAB})},
      {0, T(u"G1"), X({0x01})},
      {0,
       T(std::u16string(u"\xDC00"
                        u"1\0"
                        u"F",
                        4)),
       X({0x01, 0x0F})},
      {0, T(u""), X({})},
      {1, X({0x12}), T(u"12 ")},
      {1, X({}), T(u"")}}},
};

TEST_F(GuiConverters, EveryPairConvertsBothWays) {
    for (const Script& s : pairScripts()) {
        Script gui = s;
        std::u16string id = std::u16string(s.id) + u" GUI";
        gui.id = id.c_str();
        runGui(gui);
    }
    for (const Script& s : kGuiOnly)
        runGui(s);
}

// A value on either pin, handed back along the pin it came out of, ends on the other side and
// stops: at most two rounds for every pair (a lossy conversion corrects the source once).
TEST_F(GuiConverters, RoundTripsSettleWithoutLoops) {
    struct Case {
        const char16_t* id;
        int32 pin;
        Bytes value;
    };
    const std::vector<Case> cases = {
        {u"VL FloatToInt GUI", 0, F(2.5f)},     {u"VL FloatToBool GUI", 0, F(0.75f)},
        {u"VL TextToFloat GUI", 0, T(u"nan")},  {u"VL TextToFloat GUI", 1, F(kNaN)},
        {u"VL TextToInt GUI", 0, T(u"007x")},   {u"VL IntToText GUI", 1, T(u"  -3 ")},
        {u"VL TextToBool GUI", 1, B(true)},     {u"VL BoolToFloat GUI", 1, F(0.3f)},
        {u"VL TextToBlob GUI", 0, T(u"abc d")}, {u"VL BlobToText GUI", 1, T(u"1 2 3")},
        {u"VL IntToFloat GUI", 1, F(-1e30f)},   {u"VL BoolToInt GUI", 1, I(9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(zrhost::toUtf8(c.id));
        zrhost::GuiModule m(*lib, c.id, context);
        deliver(m, c.pin, c.value);
        ASSERT_FALSE(m.transmits().empty());
        EXPECT_LE(echoUntilQuiet(m), 3);
    }
}

// Values of the wrong size: a float or int pin ignores them, a bool takes its first byte, a
// text its whole code units, a blob any size; nothing reads past the delivered bytes.
TEST_F(GuiConverters, ValuesOfOddSizeStayInsideTheirBytes) {
    zrhost::GuiModule toInt(*lib, u"VL FloatToInt GUI", context);
    deliver(toInt, 0, X({0, 0, 0x80}));
    deliver(toInt, 1, X({1, 0, 0, 0, 9}));
    EXPECT_TRUE(toInt.transmits().empty());

    zrhost::GuiModule text(*lib, u"VL TextToBlob GUI", context);
    deliver(text, 0, X({'A', 0, 'B', 0, 'C'})); // odd byte count: "AB"
    deliver(text, 1, X({0xC3}));                // one byte
    EXPECT_EQ(text.transmitsOn(1).at(0).bytes, X({0xAB}));
    EXPECT_EQ(text.textsSent(0), std::vector<std::u16string>{u"C3 "});
    text.deliver(0, nullptr, -6); // a negative size is an empty text
    EXPECT_EQ(text.transmitsOn(1).back().bytes, X({}));
}

} // namespace
