// The Chamberlin state-variable filter core: one section with low, band and high outputs.
// f = 2 sin(pi fc / rate) sets the frequency, q = 1 / Q the damping (1 - resonance). Stable
// for f below about 2 - q; callers limit f by damping from a table.
#pragma once

#include "dsp/clamp.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace zr::dsp {

struct ChamberlinState {
    float low = 0.0f;
    float band = 0.0f;
    float high = 0.0f;
};

enum class ChamberlinTap { Low, High, Band };

// Whether |v| < `limit` (a positive, finite bit pattern), NaN not, tested on the bits: a float's
// magnitude orders as its bits without the sign do. Integer work keeps the test, which waits
// for v, out of the floating-point queues that the filter's own chain fills.
inline bool magnitudeBelow(float v, std::uint32_t limitBits) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7FFFFFFFu) < limitBits;
}

inline constexpr std::uint32_t kFiftyBits = 0x42480000u; // 50.0f

// One sample: low first (from the previous band), then high, then band. `LimitLow` holds the
// low-pass state to +-50 right after its update, for loud inputs at high resonance. The test
// is a branch, so that a state inside the limits (nearly always) goes on to the high-pass
// without waiting for a min and a max on the sample-to-sample chain.
template <bool LimitLow = false>
inline void chamberlinTick(ChamberlinState& s, float in, float f, float q) {
    s.low = s.low + f * s.band;
    if constexpr (LimitLow) {
        if (!magnitudeBelow(s.low, kFiftyBits)) [[unlikely]]
            s.low = clampNanToLow(s.low, -50.0f, 50.0f);
    }
    s.high = in - s.low - q * s.band;
    s.band = s.band + f * s.high;
}

// The output `T` of a section, chosen at compile time.
template <ChamberlinTap T>
inline float chamberlinOutput(const ChamberlinState& s) {
    if constexpr (T == ChamberlinTap::Low)
        return s.low;
    else if constexpr (T == ChamberlinTap::High)
        return s.high;
    else
        return s.band;
}

} // namespace zr::dsp
