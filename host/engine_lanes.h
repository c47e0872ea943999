// The engine's block loops over float buffers (fills, sums of sources, the output mix), four
// samples at a time. Every operation is lane-wise and in the same order as one sample at a
// time, so the results are the same bits; written with vector types because the optimiser's
// cheap cost model leaves such loops scalar when it cannot prove the buffers apart.
#pragma once

#include <cstring>

namespace zrhost::lanes {

using Float4 = float __attribute__((vector_size(16)));

inline Float4 load(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(float* p, Float4 v) {
    std::memcpy(p, &v, sizeof v);
}

inline Float4 splat(float x) {
    return Float4{x, x, x, x};
}

// out[f] = value.
inline void fill(float* out, float value, int frames) {
    const Float4 v = splat(value);
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store(out + f, v);
    for (; f < frames; ++f)
        out[f] = value;
}

// out[f] = level + in[f].
inline void offset(float* out, float level, const float* in, int frames) {
    const Float4 l = splat(level);
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store(out + f, l + load(in + f));
    for (; f < frames; ++f)
        out[f] = level + in[f];
}

// out[f] += in[f].
inline void add(float* out, const float* in, int frames) {
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store(out + f, load(out + f) + load(in + f));
    for (; f < frames; ++f)
        out[f] += in[f];
}

// out[f] += gain * in[f].
inline void addScaled(float* out, float gain, const float* in, int frames) {
    const Float4 g = splat(gain);
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store(out + f, load(out + f) + g * load(in + f));
    for (; f < frames; ++f)
        out[f] += gain * in[f];
}

} // namespace zrhost::lanes
