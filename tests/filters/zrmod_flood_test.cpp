// "ZR-MOD CS" under a flood: 10,000 note-ons in one block go through the limiter without one
// allocation anywhere in the process. Its own executable, since it replaces operator new to
// count allocations.
#include "tests/midi/midi_rig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> countAllocations{false};
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t n) {
    if (countAllocations.load(std::memory_order_relaxed)) ++allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

using namespace miditest;

constexpr gmpi::int32 kIn = 0, kMode = 2, kVoices = 3, kSteal = 5, kOn = 8, kChannel = 9,
                      kALow = 11, kAHigh = 12, kBLow = 13, kBHigh = 14;

class CountingSink : public zrhost::AudioCallSink {
  public:
    long messages = 0;
    void pinValue(zrhost::AudioModule&, gmpi::int32, gmpi::int32, gmpi::int32,
                  const void*) override {
        ++messages;
    }
    void pinStreaming(zrhost::AudioModule&, gmpi::int32, gmpi::int32, bool) override {}
};

TEST(ZrmodCS, FloodOfNoteOnsInOneBlockAllocatesNothing) {
    Rig rig(u"ZR-MOD CS", {});
    rig.setInt(kMode, 0).setInt(kVoices, 8).setInt(kSteal, 1).setInt(kChannel, -1);
    rig.setInt(kOn, 1).setInt(kALow, 0).setInt(kAHigh, 127).setInt(kBLow, 200);
    rig.setInt(kBHigh, 300).run();
    CountingSink sink;
    rig.module().setRecording(false);
    rig.module().setSink(&sink);
    zrhost::EventList flood;
    for (int i = 0; i < 10000; ++i)
        flood.addMidi(i * 64 / 10000, kIn, noteOn(0, i % 128, 100));
    allocations = 0;
    countAllocations = true;
    rig.module().processBlock(flood);
    countAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
    // Eight voices fill; every later note-on steals the oldest: one release, one note-on.
    EXPECT_EQ(sink.messages, 8 + 2 * (10000 - 8));
}

} // namespace
