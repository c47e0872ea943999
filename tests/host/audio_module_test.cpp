#include "fake_library.h"
#include "host/audio_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace zrhost;
using gmpi::int32;

namespace {

// Pins of the fake "Fake Echo" audio half: 0 level, 1 sleep request, 2 audio out, 3 audio in;
// values come back on pin + 100.
constexpr int32 kLevel = 0, kSleep = 1, kOut = 2, kIn = 3, kEcho = 100;

class AudioModuleTest : public ::testing::Test {
  protected:
    std::unique_ptr<ModuleLibrary> lib = test::loadFake();
    HostContext context;

    std::unique_ptr<AudioModule> make(AudioSettings settings = {}) {
        auto m = std::make_unique<AudioModule>(*lib, test::kEcho, context, settings);
        EXPECT_EQ(m->createResult(), gmpi::ResultOk);
        return m;
    }

    static bool allEqual(std::span<const float> s, float v) {
        return std::all_of(s.begin(), s.end(), [v](float x) { return x == v; });
    }
};

TEST_F(AudioModuleTest, CreationAndHostObject) {
    AudioModule unknown(*lib, u"Not There", context);
    EXPECT_FALSE(unknown.valid());
    EXPECT_EQ(unknown.createResult(), gmpi::ResultNoSupport);
    EXPECT_FALSE(unknown.processBlock(EventList{}));

    auto m = make();
    EXPECT_EQ(m->hostReferences(), 1); // the module keeps the AudioHost it asked for

    gmpi::AudioHost& host = m->host();
    void* out = nullptr;
    EXPECT_EQ(host.queryInterface(gmpi::MP_IID_GUI_HOST, &out), gmpi::ResultNoSupport);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(host.reserved6() | host.reserved9() | host.reserved10() | host.reserved11() |
                  host.reserved12() | host.reserved13() | host.reserved14() | host.reserved15(),
              0);

    EXPECT_EQ(m->attachOwnBuffer(kOut), gmpi::ResultOk);
    EXPECT_EQ(m->attachOwnBuffer(7), gmpi::ResultFail);
    EXPECT_EQ(m->buffer(kOut).size(), 64u);
    EXPECT_TRUE(m->buffer(kIn).empty());
}

TEST_F(AudioModuleTest, OpenUsesTheContextAndIsRecordedBeforeTheFirstBlock) {
    auto a = make({32, 48000.0f});
    auto b = make();
    ASSERT_EQ(a->open(), gmpi::ResultOk);
    ASSERT_EQ(b->open(), gmpi::ResultOk);
    HostContext other;
    AudioModule c(*lib, test::kEcho, other);
    c.open();

    // The fake counts its opened instances in a shared block of its context.
    auto count = [](const HostContext& ctx) {
        int32 n = 0;
        const auto block = ctx.sharedMemory().find(u"Fake:opens", -1.0f);
        if (block.size() == 4) std::memcpy(&n, block.data(), 4);
        return n;
    };
    EXPECT_EQ(count(context), 2);
    EXPECT_EQ(count(other), 1);

    const auto& calls = a->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, AudioCallKind::GetSampleRate);
    EXPECT_EQ(calls[1].kind, AudioCallKind::GetBlockSize);
    EXPECT_EQ(calls[2].kind, AudioCallKind::AllocateSharedMemory);
    EXPECT_EQ(calls[2].text, u"Fake:opens");
    EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [](auto& c) { return c.block == -1; }));

    float rate = 0;
    int32 block = 0;
    a->host().getSampleRate(rate);
    a->host().getBlockSize(block);
    EXPECT_EQ(rate, 48000.0f);
    EXPECT_EQ(block, 32);
}

TEST_F(AudioModuleTest, RecordsEveryCallWithBlockTimeAndValue) {
    auto m = make();
    m->open();
    m->clearCalls();
    EventList first;
    first.addGraphStart(0).addFloat(5, kLevel, 0.25f).addText(9, 6, u"wave").addBool(9, 5, true);
    m->processBlock(first);
    EventList second;
    const std::vector<std::uint8_t> noteOn = {0x90, 60, 100};
    second.addMidi(3, 4, noteOn).addStreamingStart(7, kIn).addInt(8, 6, -3);
    m->processBlock(second);

    const auto& calls = m->calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].kind, AudioCallKind::SetPinStreaming);
    EXPECT_EQ(calls[0].pinId, kOut);
    EXPECT_EQ(calls[0].streaming, 1);

    const auto level = m->valuesSent(kEcho + kLevel);
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(level[0].block, 0);
    EXPECT_EQ(level[0].time, 5);
    EXPECT_EQ(level[0].asFloat(), 0.25f);

    EXPECT_EQ(m->boolsSent(kEcho + 5), std::vector<bool>{true});
    EXPECT_EQ(m->valuesSent(kEcho + 5)[0].bytes.size(), 1u);
    // Pin 6 got a text in block 0 and an int in block 1.
    const auto six = m->valuesSent(kEcho + 6);
    ASSERT_EQ(six.size(), 2u);
    EXPECT_EQ(six[0].asText(), u"wave");
    EXPECT_EQ(six[1].block, 1);
    EXPECT_EQ(six[1].asInt(), -3);

    const auto midi = m->valuesSent(kEcho + 4);
    ASSERT_EQ(midi.size(), 1u);
    EXPECT_EQ(midi[0].bytes, noteOn);
    EXPECT_EQ(m->streamingSent(kEcho + kIn), std::vector<int32>{1});
    EXPECT_EQ(m->callsOf(AudioCallKind::SetPinStreaming).size(), 2u);

    // A sink sees the output whether or not the record is kept.
    struct Sink : AudioCallSink {
        std::vector<std::pair<int32, float>> floats;
        std::vector<std::pair<int32, bool>> streaming;
        void pinValue(AudioModule&, int32 time, int32 pin, int32 size, const void* data) override {
            float v = 0;
            if (pin == kEcho + kLevel && size == 4) std::memcpy(&v, data, 4);
            if (pin == kEcho + kLevel) floats.emplace_back(time, v);
        }
        void pinStreaming(AudioModule&, int32, int32 pin, bool on) override {
            streaming.emplace_back(pin, on);
        }
    } sink;
    m->setSink(&sink);
    m->setRecording(false);
    m->processBlock(first);
    EXPECT_EQ(m->calls().size(), 7u);
    EXPECT_EQ(sink.floats, (std::vector<std::pair<int32, float>>{{5, 0.25f}}));
    EXPECT_EQ(sink.streaming, (std::vector<std::pair<int32, bool>>{{kOut, true}}));
}

TEST_F(AudioModuleTest, RendersIntoOwnAndExternalBuffers) {
    auto m = make({16, 44100.0f});
    float input[16];
    for (int i = 0; i < 16; ++i)
        input[i] = static_cast<float>(i);
    ASSERT_EQ(m->attachOwnBuffer(kOut), gmpi::ResultOk);
    ASSERT_EQ(m->attachBuffer(kIn, input), gmpi::ResultOk);
    m->open();
    EventList events;
    events.addFloat(4, kLevel, 100.0f);
    m->processBlock(events);
    const auto out = m->buffer(kOut);
    EXPECT_EQ(out[3], 3.0f);
    EXPECT_EQ(out[4], 104.0f);
    EXPECT_EQ(out[15], 115.0f);
}

TEST_F(AudioModuleTest, SleepingModuleIsNotProcessedUntilAnEventIsDue) {
    auto m = make();
    m->attachOwnBuffer(kOut);
    m->open();
    EventList sleepNow;
    sleepNow.addFloat(0, kLevel, 0.75f).addInt(0, kSleep, 1);
    EXPECT_TRUE(m->processBlock(sleepNow));
    EXPECT_TRUE(m->isAsleep());
    EXPECT_EQ(m->sleepCount(), 1);
    EXPECT_EQ(m->callsOf(AudioCallKind::Sleep)[0].block, 0);

    EXPECT_EQ(m->processBlocks(5), 0);
    EXPECT_EQ(m->processCount(), 1);
    EXPECT_EQ(m->blocksRun(), 6);
    EXPECT_TRUE(allEqual(m->buffer(kOut), 0.75f)); // left as the module wrote them

    EventList wakeUp;
    wakeUp.addFloat(10, kLevel, 0.5f);
    EXPECT_TRUE(m->wouldProcess(wakeUp));
    EXPECT_TRUE(m->processBlock(wakeUp));
    EXPECT_FALSE(m->isAsleep());
    const auto out = m->buffer(kOut);
    EXPECT_TRUE(allEqual(out.subspan(0, 10), 0.75f));
    EXPECT_TRUE(allEqual(out.subspan(10), 0.5f));
    EXPECT_EQ(m->processBlocks(3), 3); // awake modules run every block

    // Asleep again; wake() resumes without an event.
    EventList sleepAgain;
    sleepAgain.addInt(0, kSleep, 1);
    m->processBlock(sleepAgain);
    EXPECT_FALSE(m->wouldProcess(EventList{}));
    m->wake();
    EXPECT_EQ(m->processBlocks(2), 2);
    EXPECT_EQ(m->processCount(), 8);
}

} // namespace
