// Pinning a routine's exact output: a hash of the raw bits of every sample (FNV-1a, 64 bits),
// so that any change to the arithmetic or its order shows, and the triangle control signals
// the pinning tests sweep their inputs with.
#pragma once

#include "tests/rig/module_rig.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace rig {

inline constexpr std::uint64_t kHashStart = 0xcbf29ce484222325ull;

// Continues hash `h` over the bytes of each sample's bits.
inline std::uint64_t hashSamples(const std::vector<float>& y, std::uint64_t h = kHashStart) {
    for (float v : y) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int b = 0; b < 4; ++b) {
            h ^= (bits >> (8 * b)) & 0xffu;
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

// A triangle between lo and hi with the given period in samples.
inline Signal triangle(float lo, float hi, long period) {
    return [=](std::int64_t t) {
        const float phase = static_cast<float>(t % period) / static_cast<float>(period);
        const float up = phase < 0.5f ? 2.0f * phase : 2.0f - 2.0f * phase;
        return lo + (hi - lo) * up;
    };
}

} // namespace rig
