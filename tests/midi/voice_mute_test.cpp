// "VL Voice Mute": fade lengths (5 ms stolen, 20 ms released) and shapes measured on the
// output, the shared tables' end points and sizes, the static declaration after a fade, the
// legacy activation's three zero samples, and the hand-over when the input is static.
#include "midi_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

using namespace miditest;

namespace {

constexpr gmpi::int32 kInput = 0, kActive = 1, kOutput = 2, kLegacy = 3;

float ramp(long t) {
    return 0.5f + 0.0001f * static_cast<float>(t % 1000);
}

Rig& voice(Rig& rig, bool legacy, bool streamingInput = true) {
    if (streamingInput)
        rig.feed(kInput, ramp);
    else
        rig.feed(kInput, [](long) { return 0.75f; });
    streamingInput ? rig.next().addStreamingStart(0, kInput)
                   : rig.next().addStreamingStop(0, kInput);
    rig.next().addBool(0, kLegacy, legacy);
    return rig;
}

// The raised-sine fade, rising from 0 at i = 0 to 1 at i = n.
double fadeGain(long i, long n) {
    return (std::sin((static_cast<double>(i) / n - 0.5) * std::numbers::pi) + 1.0) * 0.5;
}

TEST(VoiceMute, FadesOutOverFiveOrTwentyMilliseconds) {
    struct Case {
        float sampleRate;
        float value; // VoiceActive after 1
        double ms;
        const char16_t* table;
    };
    const Case cases[] = {
        {48000.0f, 0.0f, 20.0, u"VoiceMute:FadeCurveSlow"},
        {48000.0f, -1.0f, 5.0, u"VoiceMute:FadeCurveFast"},
        {44100.0f, 0.0f, 20.0, u"VoiceMute:FadeCurveSlow"},
        {44100.0f, -0.001f, 5.0, u"VoiceMute:FadeCurveFast"},
        {96000.0f, 0.0f, 20.0, u"VoiceMute:FadeCurveSlow"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sampleRate << " Hz, VoiceActive " << c.value);
        const long n = static_cast<long>(std::floor(c.sampleRate * c.ms / 1000.0));
        Rig rig(u"VL Voice Mute", {kInput, kOutput}, c.sampleRate);
        voice(rig, false).setFloat(kActive, 1.0f).run(2);
        const long at = rig.now() + 17;
        rig.setFloat(kActive, c.value, 17);
        const auto y = rig.run(static_cast<int>(n / 64 + 3), kOutput);
        for (long i = 0; i < 17; ++i)
            ASSERT_EQ(y[i], ramp(at - 17 + i));
        for (long i = 0; i < n; ++i)
            ASSERT_NEAR(y[17 + i], fadeGain(n - 1 - i, n) * ramp(at + i), 2e-6) << i;
        for (std::size_t i = 17 + n; i < y.size(); ++i)
            ASSERT_EQ(y[i], 0.0f) << i;
        const auto d = rig.declarations(kOutput);
        ASSERT_FALSE(d.empty());
        EXPECT_FALSE(d.back().streaming);
        EXPECT_EQ(d.back().time, at + n) << "static from the first sample after the fade";

        // The shared table: n + 1 floats, from exactly 0 to exactly 1.
        const auto block = rig.context().sharedMemory().find(c.table, c.sampleRate);
        ASSERT_EQ(block.size(), static_cast<std::size_t>(n + 1) * 4);
        float first, last, middle;
        std::memcpy(&first, block.data(), 4);
        std::memcpy(&last, block.data() + n * 4, 4);
        std::memcpy(&middle, block.data() + (n / 2) * 4, 4);
        EXPECT_EQ(first, 0.0f);
        EXPECT_EQ(last, 1.0f);
        EXPECT_NEAR(middle, fadeGain(n / 2, n), 1e-6);
    }
}

TEST(VoiceMute, PassesFromOpenAndAgainAfterReactivation) {
    Rig rig(u"VL Voice Mute", {kInput, kOutput}, 48000.0f);
    auto y = voice(rig, false).run(2, kOutput);
    for (long i = 0; i < 128; ++i)
        ASSERT_EQ(y[i], ramp(i));
    rig.setFloat(kActive, 1.0f).run();
    rig.setFloat(kActive, 0.0f).run(20);
    rig.setFloat(kActive, 1.0f, 5);
    const long at = rig.now();
    y = rig.run(1, kOutput);
    for (long i = 0; i < 5; ++i)
        EXPECT_EQ(y[i], 0.0f);
    for (long i = 5; i < 64; ++i)
        EXPECT_EQ(y[i], ramp(at + i));
}

TEST(VoiceMute, LegacyActivationStartsWithThreeZeroSamples) {
    for (bool streaming : {true, false}) {
        SCOPED_TRACE(streaming ? "streaming input" : "static input");
        Rig rig(u"VL Voice Mute", {kInput, kOutput}, 48000.0f);
        voice(rig, true, streaming).setFloat(kActive, 0.0f).run(30);
        const long at = rig.now() + 40;
        rig.setFloat(kActive, 1.0f, 40);
        const auto y = rig.run(2, kOutput);
        for (long i = 40; i < 43; ++i)
            EXPECT_EQ(y[i], 0.0f) << i;
        for (long i = 43; i < 128; ++i)
            EXPECT_EQ(y[i], streaming ? ramp(rig.now() - 128 + i) : 0.75f) << i;
        // The output streams while it changes from 0 to the input; a static input makes it
        // static again where the copy takes over.
        const auto d = rig.declarations(kOutput);
        ASSERT_GE(d.size(), 2u);
        if (streaming) {
            EXPECT_TRUE(d.back().streaming);
        } else {
            EXPECT_TRUE(d[d.size() - 2].streaming);
            EXPECT_EQ(d[d.size() - 2].time, at);
            EXPECT_FALSE(d.back().streaming);
            EXPECT_EQ(d.back().time, at + 3);
        }
    }
}

} // namespace
