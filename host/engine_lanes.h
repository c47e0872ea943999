// The engine's block loops over float buffers (fills, sums of sources, the output mix), four
// samples at a time. Every operation is lane-wise and in the same order as one sample at a
// time, so the results are the same bits; written with vector types because the optimiser's
// cheap cost model leaves such loops scalar when it cannot prove the buffers apart.
#pragma once

#include "dsp/lanes4.h"

namespace zrhost::lanes {

using zr::dsp::Float4;
using zr::dsp::load4;
using zr::dsp::splat4;
using zr::dsp::store4;

// out[f] = value.
inline void fill(float* out, float value, int frames) {
    const Float4 v = splat4(value);
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store4(out + f, v);
    for (; f < frames; ++f)
        out[f] = value;
}

// out[f] = level + in[f].
inline void offset(float* out, float level, const float* in, int frames) {
    const Float4 l = splat4(level);
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store4(out + f, l + load4(in + f));
    for (; f < frames; ++f)
        out[f] = level + in[f];
}

// out[f] += in[f].
inline void add(float* out, const float* in, int frames) {
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store4(out + f, load4(out + f) + load4(in + f));
    for (; f < frames; ++f)
        out[f] += in[f];
}

// out[f] += gain * in[f].
inline void addScaled(float* out, float gain, const float* in, int frames) {
    const Float4 g = splat4(gain);
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store4(out + f, load4(out + f) + g * load4(in + f));
    for (; f < frames; ++f)
        out[f] += gain * in[f];
}

} // namespace zrhost::lanes
