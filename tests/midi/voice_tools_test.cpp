// "QORVALIS VOICE ID" and "Veloran VoiceWatcherBlocker": the random gain and its distribution,
// reproducible draws per instance, the disabled state; the pass-through and its streaming.
#include "midi_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>

using namespace miditest;

namespace {

constexpr gmpi::int32 kTrigger = 0, kAux = 1, kOutput = 2, kRandom = 3, kInput = 4, kRange = 5,
                      kEnable = 6, kOffset = 7;
constexpr gmpi::int32 kSeedMessage = 0x53454544;

// The example generator of the C standard (RAND_MAX 32767), written out here independently.
struct ReferenceRand {
    unsigned long next;
    int operator()() {
        next = (next * 1103515245ul + 12345ul) & 0xFFFFFFFFul;
        return static_cast<int>((next / 65536ul) % 32768ul);
    }
};

void seed(Rig& rig, std::uint32_t s) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8),
                               static_cast<std::uint8_t>(s >> 16),
                               static_cast<std::uint8_t>(s >> 24)};
    rig.module().plugin()->receiveGuiMessage(kSeedMessage, 4, b);
}

// The gain applied after each of `triggers` triggers, measured on a constant input of 1.
std::vector<float> gains(Rig& rig, int triggers, float range, float offset, int random,
                         int enable = 1) {
    rig.feed(kInput, [](long) { return 1.0f; });
    rig.next().addStreamingStart(0, kInput);
    rig.setInt(kEnable, enable).setInt(kRandom, random).setFloat(kRange, range);
    rig.setFloat(kOffset, offset).run();
    std::vector<float> out;
    for (int i = 0; i < triggers; ++i) {
        rig.setFloat(kTrigger, 1.0f);
        out.push_back(rig.run(1, kOutput).back());
        rig.setFloat(kTrigger, 0.0f).run();
    }
    return out;
}

TEST(VoiceId, GainIsRangeTimesAUniformDrawPlusOffset) {
    Rig rig(u"QORVALIS VOICE ID", {kAux, kOutput, kInput});
    seed(rig, 2024);
    const auto g = gains(rig, 200, 2.0f, -0.5f, 1);
    ReferenceRand reference{2024};
    std::set<float> distinct;
    for (float v : g) {
        const float r = static_cast<float>(reference()) / 32767.0f;
        ASSERT_FLOAT_EQ(v, 2.0f * r - 0.5f);
        ASSERT_GE(v, -0.5f);
        ASSERT_LE(v, 1.5f);
        distinct.insert(v);
    }
    EXPECT_GT(distinct.size(), 190u);
}

TEST(VoiceId, InstancesDrawOnTheirOwnAndReproducibly) {
    Rig a(u"QORVALIS VOICE ID", {kAux, kOutput, kInput});
    Rig b(u"QORVALIS VOICE ID", {kAux, kOutput, kInput});
    EXPECT_NE(gains(a, 8, 1.0f, 0.0f, 1), gains(b, 8, 1.0f, 0.0f, 1))
        << "two voices start with different seeds";
    seed(a, 77);
    seed(b, 77);
    EXPECT_EQ(gains(a, 8, 1.0f, 0.0f, 1), gains(b, 8, 1.0f, 0.0f, 1));
}

TEST(VoiceId, FixedGainAndDisabledState) {
    struct Case {
        int random, enable;
        float range, offset, gain;
    };
    const Case cases[] = {{0, 1, 5.0f, 3.0f, 0.1f},
                          {2, 1, -1.0f, 9.0f, 0.1f},
                          {1, 0, 1.0f, 1.0f, 0.0f},
                          {1, 2, 1.0f, 1.0f, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "Random " << c.random << " Enable " << c.enable);
        Rig rig(u"QORVALIS VOICE ID", {kAux, kOutput, kInput});
        const auto g = gains(rig, 3, c.range, c.offset, c.random, c.enable);
        for (float v : g)
            EXPECT_FLOAT_EQ(v, c.gain);
    }
    // A trigger falling to 0 silences and declares the output static.
    Rig rig(u"QORVALIS VOICE ID", {kAux, kOutput, kInput});
    gains(rig, 1, 1.0f, 0.0f, 0);
    const auto d = rig.declarations(kOutput);
    ASSERT_FALSE(d.empty());
    EXPECT_FALSE(d.back().streaming);
    EXPECT_EQ(rig.run(1, kOutput).back(), 0.0f);
}

TEST(VoiceWatcherBlocker, CopiesTheInputAndItsStreamingState) {
    Rig rig(u"Veloran VoiceWatcherBlocker", {0, 1});
    rig.feed(0, [](long t) { return std::sin(0.01f * static_cast<float>(t)); });
    rig.next().addStreamingStart(0, 0);
    auto y = rig.run(2, 1);
    for (long i = 0; i < 128; ++i)
        ASSERT_EQ(y[i], std::sin(0.01f * static_cast<float>(i)));
    EXPECT_TRUE(rig.declarations(1).back().streaming);
    rig.next().addStreamingStop(10, 0);
    rig.run();
    EXPECT_FALSE(rig.declarations(1).back().streaming);
    EXPECT_EQ(rig.declarations(1).back().time, 128 + 10);
}

} // namespace
