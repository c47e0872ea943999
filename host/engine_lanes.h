// The engine's block loops over float buffers (fills, sums of sources, the output mix), four
// samples at a time. Every operation is lane-wise and in the same order as one sample at a
// time, so the results are the same bits; written with vector types because the optimiser's
// cheap cost model leaves such loops scalar when it cannot prove the buffers apart.
#pragma once

#include "dsp/lanes4.h"
#include "dsp/lanes8.h"

#include <cstdint>
#include <cstring>

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

// out[f] = 0 + gain * in[f]: the first term of a sum that starts from zero, without writing the
// zeros first.
inline void setScaled(float* out, float gain, const float* in, int frames) {
    const Float4 g = splat4(gain);
    const Float4 zero = splat4(0.0f);
    int f = 0;
    for (; f + 4 <= frames; f += 4)
        store4(out + f, zero + g * load4(in + f));
    for (; f < frames; ++f)
        out[f] = 0.0f + gain * in[f];
}

// An input that is always the sum of its constant and its sources: out = level + first, then
// each further source added in turn.
struct SumJob {
    float* out;
    const float* first;
    const float* const* rest;
    std::uint32_t restCount;
    float level;
};

inline void sum(const SumJob& job, int frames) {
    offset(job.out, job.level, job.first, frames);
    for (std::uint32_t s = 0; s < job.restCount; ++s)
        add(job.out, job.rest[s], frames);
}

// Runs the sums [begin, end).
inline void sums(const SumJob* begin, const SumJob* end, int frames) {
    for (const SumJob* j = begin; j < end; ++j)
        sum(*j, frames);
}

// An output channel's source added to its sum right after the source's turn: sum = 0 + gain *
// buffer for the channel's first source, sum += gain * buffer for the others.
struct MixTurn {
    float* sum;
    const float* buffer;
    float gain;
    bool first;
};

inline void mixTurns(const MixTurn* begin, const MixTurn* end, int frames) {
    for (const MixTurn* m = begin; m < end; ++m) {
        if (m->first)
            setScaled(m->sum, m->gain, m->buffer, frames);
        else
            addScaled(m->sum, m->gain, m->buffer, frames);
    }
}

// The same with eight lanes where the processor has them (dsp/lanes8.h): the same additions,
// lane by lane, so the same bits. Eight lanes halve the loads and stores, and reading and
// writing in the 32-byte pieces that the modules' block copies use lets the processor hand
// those stores straight to these loads and these stores to the copies' loads.
#if ZR_HAS_WIDE_LANES
ZR_WIDE inline void offset8(float* out, float level, const float* in, int frames) {
    const zr::dsp::Float8 l = zr::dsp::splat8(level);
    int f = 0;
    for (; f + 8 <= frames; f += 8)
        zr::dsp::store8(out + f, l + zr::dsp::load8(in + f));
    for (; f < frames; ++f)
        out[f] = level + in[f];
}

ZR_WIDE inline void add8(float* out, const float* in, int frames) {
    int f = 0;
    for (; f + 8 <= frames; f += 8)
        zr::dsp::store8(out + f, zr::dsp::load8(out + f) + zr::dsp::load8(in + f));
    for (; f < frames; ++f)
        out[f] += in[f];
}

// The multiplications and additions stay separate (no fused multiply-add under ZR_WIDE).
ZR_WIDE inline void mixTurns8(const MixTurn* begin, const MixTurn* end, int frames) {
    for (const MixTurn* m = begin; m < end; ++m) {
        const zr::dsp::Float8 g = zr::dsp::splat8(m->gain);
        float* sum = m->sum;
        const float* in = m->buffer;
        int f = 0;
        if (m->first) {
            const zr::dsp::Float8 zero = zr::dsp::splat8(0.0f);
            for (; f + 8 <= frames; f += 8)
                zr::dsp::store8(sum + f, zero + g * zr::dsp::load8(in + f));
            for (; f < frames; ++f)
                sum[f] = 0.0f + m->gain * in[f];
        } else {
            for (; f + 8 <= frames; f += 8)
                zr::dsp::store8(sum + f, zr::dsp::load8(sum + f) + g * zr::dsp::load8(in + f));
            for (; f < frames; ++f)
                sum[f] += m->gain * in[f];
        }
    }
}

ZR_WIDE inline void sums8(const SumJob* begin, const SumJob* end, int frames) {
    for (const SumJob* j = begin; j < end; ++j) {
        offset8(j->out, j->level, j->first, frames);
        for (std::uint32_t s = 0; s < j->restCount; ++s)
            add8(j->out, j->rest[s], frames);
    }
}
#endif

} // namespace zrhost::lanes
