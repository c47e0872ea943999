// The input signals the effect benchmarks and the peer table feed their units: noise that
// differs per channel and controls that stay put or move every sample. One copy, so that both
// programs time the same work.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

namespace benchsig {

// Sample i of a `block`-sample block of noise in -0.5..0.5, different per channel.
inline float noise(int channel, int i, int block = 64) {
    static const std::vector<float> table = [] {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> d(-0.5f, 0.5f);
        std::vector<float> t(4096);
        for (float& v : t)
            v = d(rng);
        return t;
    }();
    return table[static_cast<std::size_t>(channel * block + i) % table.size()];
}

// A control that moves by `step` each sample from `base` (steady: stays at `base`).
inline float ramp(bool changing, float base, float step, int i) {
    return changing ? base + step * static_cast<float>(i) : base;
}

} // namespace benchsig
