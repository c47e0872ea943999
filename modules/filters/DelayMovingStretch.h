// "ZR Delay v3"'s loop arithmetic shared by its routines (the loop gain, the delay in samples,
// the read position), and the passes that play a stretch whose time moves at every sample:
// four samples at a time (SSE2), or eight (AVX2, chosen at run time).
#pragma once

#include "modules/filters/DelayTrois.h"

#include "dsp/clamp.h"
#include "dsp/quarter_wave_pan.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zr::delaytrois {

// Loop gain: held to +-0.99, then moved 0.0001 away from zero (limits +-0.9901). NaN gives
// the smallest positive gain rather than the strongest negative one.
inline float feedbackCoefficient(float v) {
    const float fb = v == v ? dsp::clampNanToLow(v, -0.99f, 0.99f) : 0.0f;
    return fb >= 0.0f ? fb + 0.0001f : fb - 0.0001f;
}

// Delay in samples: h = sr x 0.01 x Time + 2, stretched by the spread s (+-0.499) to
// s x 2 x (h - 1) + h. A NaN Time counts as 0.
inline double delaySamples(double samplesPerUnit, float time, float spread) {
    const double s = dsp::clampNanToLow(spread, -0.499f, 0.499f);
    const double h = samplesPerUnit * (time == time ? time : 0.0f) + 2.0;
    return s * 2.0 * (h - 1.0) + h;
}

// Read position for write index `write` (0..L) and a delay of `delay` samples in a line of
// `length` L: the delay is held to -L..2L and the position reduced into 0..L, so a delay beyond
// the line reads as the same delay less L wherever the write index stands (a single wrap would
// leave the first read before the line's start when the delay starts near the write index 0).
inline double wrappedReadPosition(gmpi::int32 write, double delay, gmpi::int32 length) {
    const double l = length;
    double pos = write - dsp::clampNanToLow(delay, -l, 2.0 * l);
    // pos is -2L..2L: two steps each way bring it into 0..L.
    if (pos < 0.0) pos += l;
    if (pos < 0.0) pos += l;
    if (pos >= l) pos -= l;
    if (pos >= l) pos -= l;
    return pos;
}

// The pins of one routine call, moved on stretch by stretch.
struct DelayIo {
    const float *in, *feedback, *time, *spread, *level, *pan, *outLevel;
    float *left, *right, *delayed;
    void advance(gmpi::int32 k) {
        for (const float** p : {&in, &feedback, &time, &spread, &level, &pan, &outLevel})
            *p += k;
        for (float** p : {&left, &right, &delayed})
            *p += k;
    }
};

// The line is followed by copies of its first samples, so that the reads at n + 1 and n + 2
// (and a four-sample load at n) need no wrap.
constexpr gmpi::int32 kGuard = 3;

// After a stretch of k samples written from index `start` on: the guard copies the line's
// first samples again if the stretch wrote any of them. (Reads in a stretch never reach what
// it wrote, so the guard may follow at the end.)
inline void followGuard(DelayTroisCore& c, gmpi::int32 start, gmpi::int32 k) {
    if (start < kGuard || start + k > c.length)
        std::copy(c.line, c.line + kGuard, c.line + c.length);
}

// A block is played in stretches of at most this many samples.
constexpr gmpi::int32 kStretch = 64;

// Long enough for a stretch's write index to wrap at most once.
constexpr gmpi::int32 kMinPassLine = 4 * kStretch;

// Plays a stretch of k samples whose `Time` or `Spread` changes at every sample, reads before
// writes, four (narrow) or eight (wide) samples at a time; false (nothing changed) when it must
// be played sample by sample. Both give the samples sample-by-sample play gives. The wide one
// runs only where dsp::wideLanesAvailable() said yes.
template <bool Cubic>
bool playMovingStretch(DelayTroisCore& c, const DelayIo& io, gmpi::int32 k);
template <bool Cubic>
bool playMovingStretchWide(DelayTroisCore& c, const DelayIo& io, gmpi::int32 k);

// ---- Shared by both passes (inline: they run at every stretch; the rest in
// DelayMovingStretch.cpp).

// The read positions of a stretch.
struct alignas(32) Stretch {
    alignas(32) gmpi::int32 n[kStretch]; // read indices
    alignas(32) float frac[kStretch];
    double lastPos; // the last sample's read position
};

// Whether a stretch may be played in passes at all: the line is long enough and the first
// sample's time moves (a steady time fails here, before any work).
inline bool mayPlayInPasses(const DelayTroisCore& c, const DelayIo& io) {
    return c.length >= kMinPassLine &&
           (io.time[0] != c.cachedTime || io.spread[0] != c.cachedSpread);
}

// Index of the first of k samples that differs from the one before it (the first from
// `cached`), k when none does: from there on the control's derived value is recomputed.
inline gmpi::int32 firstChange(const float* x, float cached, gmpi::int32 k) {
    if (k == 0 || x[0] != cached) return 0;
    gmpi::int32 j = 1;
#if defined(__SSE2__)
    for (; j + 4 <= k; j += 4) {
        const int m = _mm_movemask_ps(_mm_cmpneq_ps(_mm_loadu_ps(x + j), _mm_loadu_ps(x + j - 1)));
        if (m != 0) return j + std::countr_zero(static_cast<unsigned>(m));
    }
#endif
    for (; j < k; ++j)
        if (x[j] != x[j - 1]) return j;
    return k;
}

// The read positions of samples from..k-1, one at a time; false as the passes' planning is.
bool planTail(const DelayTroisCore& c, const DelayIo& io, gmpi::int32 from, gmpi::int32 k,
              Stretch& s);

// Where a pass over the stretch's samples stands: the write index of its sample 0, the first
// samples whose pan and feedback are recomputed, and the last sample's tap n and output.
struct PassState {
    gmpi::int32 start, panFrom, fbFrom;
    float prev, yLast;
};

// Samples from..k-1 of a planned stretch, one at a time; moves p.prev and p.yLast on.
template <bool Cubic>
void playTail(const DelayTroisCore& c, const DelayIo& io, const Stretch& s, gmpi::int32 from,
              gmpi::int32 k, PassState& p);

// The loop's state after a stretch played in passes: as sample-by-sample play leaves it.
inline void endStretch(DelayTroisCore& c, const DelayIo& io, gmpi::int32 k, double lastPos,
                       const PassState& p) {
    const gmpi::int32 length = c.length;
    followGuard(c, p.start, k);
    const gmpi::int32 last = p.start + k - 1; // the index last written, before its wrap
    c.write = (last >= length ? last - length : last) + 1;
    c.readPos = lastPos + 1.0;
    c.y = p.yLast;
    c.prev = p.prev;
    c.cachedTime = io.time[k - 1];
    c.cachedSpread = io.spread[k - 1];
    if (p.panFrom < k) {
        c.cachedPan = io.pan[k - 1];
        c.gains = dsp::quarterWaveGains(c.panTables, io.pan[k - 1]);
    }
    if (p.fbFrom < k) {
        c.cachedFeedback = io.feedback[k - 1];
        c.fb = feedbackCoefficient(io.feedback[k - 1]);
    }
}

} // namespace zr::delaytrois
