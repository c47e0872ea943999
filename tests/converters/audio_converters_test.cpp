// The audio-side converters driven block by block: every pair in both directions, float to
// text, the list index, graph start and sleep.
#include "scripts.h"

#include <cfloat>

using namespace convtest;

namespace {

using AudioConverters = ConverterRig;

const std::vector<Script> kAudioOnly = {
    {u"VL FloatToText",
     {{0, F(1.5f), T(u"1.500000")},
      {0, F(0.5f), T(u"0.500000")},
      {0, F(-FLT_MAX), T(u"-340282346638528859811704183484516925440.000000")},
      {0, F(kInf), T(u"inf")},
      {0, F(-0.0f), T(u"-0.000000")},
      {1, T(u"2.5abc"), F(2.5f)},
      {1, T(u"nothing"), F(0.0f)}}},
    {u"VL ListToInt", {{0, I(3), I(3)}, {1, I(-5), I(-5)}, {1, I(-5), std::nullopt}}},
};

TEST_F(AudioConverters, EveryPairConvertsBothWays) {
    for (const Script& s : pairScripts())
        runAudio(s);
    for (const Script& s : kAudioOnly)
        runAudio(s);
}

// Graph start sends the output's initial value; with no audio pins the module sleeps after
// its first block and wakes for events only. Both pins in one group: the input goes first and
// replaces the value the host wrote to the output, which then converts back to the input.
TEST_F(AudioConverters, GraphStartSleepAndBothPinsInOneGroup) {
    zrhost::AudioModule m(*lib, u"VL IntToText", context);
    m.open();
    zrhost::EventList start;
    start.addGraphStart(0);
    m.processBlock(start);
    EXPECT_EQ(m.textsSent(1), std::vector<std::u16string>{u""});
    EXPECT_TRUE(m.isAsleep());
    EXPECT_EQ(m.processBlocks(3), 0);

    zrhost::EventList both;
    both.addInt(2, 0, 12).addText(2, 1, u"34");
    m.clearCalls();
    m.processBlock(both);
    EXPECT_EQ(m.textsSent(1), std::vector<std::u16string>{u"12"});
    EXPECT_TRUE(m.intsSent(0).empty());
}

} // namespace
