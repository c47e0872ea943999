// "QORVALIS VOICE ID": scales a signal by a gain drawn at random at each trigger, so that every
// voice of a patch gets a gain of its own.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

#include <cstdint>

namespace zr {

using gmpi::int32;

// The draw of a C runtime `rand` with RAND_MAX 32767: integers uniformly distributed over
// 0..32767, here from a generator per instance (the linear congruential generator given as the
// example in the C standard), so that a patch renders the same way every time.
class RandomDraw {
  public:
    explicit RandomDraw(std::uint32_t seed = 1) : state(seed) {}
    void seed(std::uint32_t s) { state = s; }
    int32 next() {
        state = state * 1103515245u + 12345u;
        return static_cast<int32>((state / 65536u) % 32768u);
    }
    static constexpr int32 kMax = 32767;

  private:
    std::uint32_t state;
};

class RndVoice : public gmpi::MpBase {
  public:
    // `receiveGuiMessage` with this id and four bytes (a little-endian uint32) reseeds the
    // instance's generator.
    static constexpr int32 kSeedMessage = 0x53454544; // "SEED"

    explicit RndVoice(gmpi::IMpUnknown* host);

    void pinsChanged() override;
    int32 MP_STDCALL receiveGuiMessage(int32 id, int32 size, const void* data) override;

    void subProcessScale(int32 bufferOffset, int32 sampleFrames);

  private:
    gmpi::FloatInPin trigger{"Trigger"};
    gmpi::AudioInPin auxIn{"Aux In"};
    gmpi::AudioOutPin output{"Output"};
    gmpi::IntInPin random{"Random"};
    gmpi::AudioInPin input{"Input"};
    gmpi::FloatInPin range{"Range"};
    gmpi::IntInPin enable{"Enable"};
    gmpi::FloatInPin offset{"Offset"};

    RandomDraw draw;
    float gain = 0.0f;
};

} // namespace zr
