// "ZR Delay v3": the passes that play a stretch whose time moves at every sample four samples
// at a time (SSE2), and the sample-at-a-time pieces they share with the eight-lane passes
// (DelayMovingStretchWide.cpp): the plan's tail and the last samples.
#include "modules/filters/DelayMovingStretch.h"

#include "dsp/flush.h"
#include "dsp/interpolation.h"

#include <cfloat>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zr::delaytrois {

// ---- Shared by the four- and eight-lane passes.

bool planTail(const DelayTroisCore& c, const DelayIo& io, gmpi::int32 from, gmpi::int32 k,
              Stretch& s) {
    const gmpi::int32 length = c.length;
    const gmpi::int32 maxAhead = length - 3 - kStretch;
    for (gmpi::int32 j = from; j < k; ++j) {
        const float timeBefore = j > 0 ? io.time[j - 1] : c.cachedTime;
        const float spreadBefore = j > 0 ? io.spread[j - 1] : c.cachedSpread;
        if (!(io.time[j] != timeBefore || io.spread[j] != spreadBefore)) return false;
        gmpi::int32 seen = c.write + j;
        if (seen > length) seen -= length;
        const double pos = wrappedReadPosition(
            seen, delaySamples(c.samplesPerUnit, io.time[j], io.spread[j]), length);
        const gmpi::int32 n = static_cast<gmpi::int32>(pos);
        s.n[j] = n;
        s.frac[j] = static_cast<float>(pos - n);
        s.lastPos = pos;
        gmpi::int32 ahead = n - seen;
        if (ahead < 0) ahead += length;
        if (ahead < 1 || ahead > maxAhead) return false;
    }
    return true;
}

template <bool Cubic>
void playTail(const DelayTroisCore& c, const DelayIo& io, const Stretch& s, gmpi::int32 from,
              gmpi::int32 k, PassState& p) {
    float* const line = c.line;
    const gmpi::int32 length = c.length;
    for (gmpi::int32 j = from; j < k; ++j) {
        const float y0 = line[s.n[j]], y1 = line[s.n[j] + 1];
        float y;
        if constexpr (Cubic)
            y = dsp::cubicInterpolate(p.prev, y0, y1, line[s.n[j] + 2], s.frac[j]) * 0.95f *
                io.level[j];
        else
            y = dsp::linearInterpolate(y0, y1, s.frac[j]) * io.level[j];
        const dsp::PanGains g =
            j < p.panFrom ? c.gains : dsp::quarterWaveGains(c.panTables, io.pan[j]);
        io.left[j] = y * io.outLevel[j] * g.left;
        io.right[j] = y * io.outLevel[j] * g.right;
        io.delayed[j] = y;
        const float fb = j < p.fbFrom ? c.fb : feedbackCoefficient(io.feedback[j]);
        const gmpi::int32 w = p.start + j;
        line[w >= length ? w - length : w] =
            dsp::finiteOrZero(dsp::flushDenormal(p.yLast * fb + io.in[j]));
        p.prev = y0;
        p.yLast = y;
    }
}
template void playTail<false>(const DelayTroisCore&, const DelayIo&, const Stretch&, gmpi::int32,
                              gmpi::int32, PassState&);
template void playTail<true>(const DelayTroisCore&, const DelayIo&, const Stretch&, gmpi::int32,
                             gmpi::int32, PassState&);

// ---- Four samples at a time.

#if defined(__SSE2__)
namespace {

// A stretch whose `Time` or `Spread` changes at every sample recomputes its read position at
// every sample from the controls and the write index alone, never from the audio. So the
// stretch is played in passes, four samples at a time: the read positions, the reads, the
// outputs, then the writes. The reads may go first when none of them touches a sample the
// stretch writes (the delay is longer than the stretch); otherwise, or when a control holds
// for a sample, the stretch is played sample by sample. Every lane performs the scalar
// operations in the scalar order, so both ways give the same samples.

inline __m128 select(__m128 mask, __m128 a, __m128 b) {
    return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}
inline __m128d select(__m128d mask, __m128d a, __m128d b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
}
// The lanes of x that exceed `limit`, less `by`.
inline __m128i lessAbove(__m128i x, __m128i limit, __m128i by) {
    return _mm_sub_epi32(x, _mm_and_si128(_mm_cmpgt_epi32(x, limit), by));
}

// (last lane of `before`, lanes 0-2 of `now`): a lane's value from the sample before.
inline __m128 fromSampleBefore(__m128 before, __m128 now) {
    const __m128 t = _mm_shuffle_ps(before, now, _MM_SHUFFLE(0, 0, 3, 3));
    return _mm_shuffle_ps(t, now, _MM_SHUFFLE(2, 1, 2, 0));
}

// Read positions of the stretch's k samples, as wrappedReadPosition gives them with the
// write index each sample sees (write + j, past L from L + 1 on). False when a sample's time
// does not move (its position would carry on from the sample before's) or when a read would
// touch a sample written earlier in the stretch: its distance ahead of the write index must
// leave room for the stretch's writes and the cubic's three indices.
bool planReads(const DelayTroisCore& c, const DelayIo& io, gmpi::int32 k, Stretch& s) {
    const gmpi::int32 length = c.length;
    const gmpi::int32 maxAhead = length - 3 - kStretch;
    const __m128d l = _mm_set1_pd(length), negL = _mm_set1_pd(-static_cast<double>(length));
    const __m128d twoL = _mm_set1_pd(2.0 * length), zero = _mm_setzero_pd();
    const __m128d spu = _mm_set1_pd(c.samplesPerUnit), one = _mm_set1_pd(1.0);
    const __m128d two = _mm_set1_pd(2.0);
    const __m128i li = _mm_set1_epi32(length);
    const __m128i step = _mm_setr_epi32(0, 1, 2, 3), oneI = _mm_set1_epi32(1);
    const __m128i maxAheadI = _mm_set1_epi32(maxAhead);
    const __m128 allLanes = _mm_castsi128_ps(_mm_set1_epi32(-1));
    // Two samples' unwrapped positions from their `Time`, clamped `Spread` and write index
    // (low lanes).
    const auto unwrapped = [&](__m128 time, __m128 spread, __m128i seen) {
        const __m128d h = _mm_add_pd(_mm_mul_pd(spu, _mm_cvtps_pd(time)), two);
        const __m128d delay =
            _mm_add_pd(_mm_mul_pd(_mm_mul_pd(_mm_cvtps_pd(spread), two), _mm_sub_pd(h, one)), h);
        return _mm_sub_pd(_mm_cvtepi32_pd(seen), _mm_min_pd(_mm_max_pd(delay, negL), twoL));
    };
    // The positions of the stretch's samples in fours (the wrap given), their indices and
    // fractions; the lanes whose read would touch a sample written earlier in the stretch, or
    // whose `Time` and `Spread` equal the sample before's (its position would carry on).
    const auto positions = [&](auto wrap) {
        __m128i bad = _mm_setzero_si128();
        __m128d pos1 = zero;
        __m128 timeBefore = _mm_set1_ps(c.cachedTime), spreadBefore = _mm_set1_ps(c.cachedSpread);
        for (gmpi::int32 i = 0; i + 4 <= k; i += 4) {
            const __m128 timeIn = _mm_loadu_ps(io.time + i), spreadIn = _mm_loadu_ps(io.spread + i);
            const __m128 moved =
                _mm_or_ps(_mm_cmpneq_ps(timeIn, fromSampleBefore(timeBefore, timeIn)),
                          _mm_cmpneq_ps(spreadIn, fromSampleBefore(spreadBefore, spreadIn)));
            bad = _mm_or_si128(bad, _mm_castps_si128(_mm_andnot_ps(moved, allLanes)));
            timeBefore = timeIn;
            spreadBefore = spreadIn;
            const __m128 time = _mm_and_ps(_mm_cmpeq_ps(timeIn, timeIn), timeIn); // NaN: 0
            const __m128 spread =
                _mm_min_ps(_mm_max_ps(spreadIn, _mm_set1_ps(-0.499f)), _mm_set1_ps(0.499f));
            const __m128i seen =
                lessAbove(_mm_add_epi32(_mm_set1_epi32(c.write + i), step), li, li);
            const __m128d pos0 = wrap(unwrapped(time, spread, seen));
            pos1 = wrap(unwrapped(_mm_movehl_ps(time, time), _mm_movehl_ps(spread, spread),
                                  _mm_srli_si128(seen, 8)));
            const __m128i n0 = _mm_cvttpd_epi32(pos0), n1 = _mm_cvttpd_epi32(pos1);
            const __m128 frac0 = _mm_cvtpd_ps(_mm_sub_pd(pos0, _mm_cvtepi32_pd(n0)));
            const __m128 frac1 = _mm_cvtpd_ps(_mm_sub_pd(pos1, _mm_cvtepi32_pd(n1)));
            const __m128i n = _mm_unpacklo_epi64(n0, n1);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s.n + i), n);
            _mm_storeu_ps(s.frac + i, _mm_movelh_ps(frac0, frac1));
            // Distance of the read ahead of the sample written (the write index L writes at 0,
            // which gives the same distance).
            __m128i ahead = _mm_sub_epi32(n, seen);
            ahead = _mm_add_epi32(ahead,
                                  _mm_and_si128(_mm_cmpgt_epi32(_mm_setzero_si128(), ahead), li));
            bad = _mm_or_si128(bad, _mm_cmpgt_epi32(oneI, ahead));
            bad = _mm_or_si128(bad, _mm_cmpgt_epi32(ahead, maxAheadI));
        }
        _mm_storeh_pd(&s.lastPos, pos1);
        return bad;
    };
    // Mostly one wrap step moves the position into 0..L and leaves the other three with
    // nothing to do. The step adds 0 in the lanes it keeps: exact, as the position is never -0
    // (an integer less a number is +0 when they are equal).
    __m128d outside = zero;
    __m128i bad = positions([&](__m128d pos) {
        pos = _mm_add_pd(pos, _mm_and_pd(_mm_cmplt_pd(pos, zero), l));
        outside = _mm_or_pd(outside, _mm_or_pd(_mm_cmplt_pd(pos, zero), _mm_cmpge_pd(pos, l)));
        return pos;
    });
    if (_mm_movemask_pd(outside) != 0) {
        // All four steps, each pair at once: both candidates are formed as the steps form
        // them, and the comparisons pick the one the steps end on.
        bad = positions([&](__m128d pos) {
            const __m128d up1 = _mm_add_pd(pos, l), up2 = _mm_add_pd(up1, l);
            pos = select(_mm_cmplt_pd(pos, zero), select(_mm_cmplt_pd(up1, zero), up2, up1), pos);
            const __m128d down1 = _mm_sub_pd(pos, l), down2 = _mm_sub_pd(down1, l);
            return select(_mm_cmpge_pd(pos, l), select(_mm_cmpge_pd(down1, l), down2, down1), pos);
        });
    }
    return planTail(c, io, k & ~3, k, s) && _mm_movemask_epi8(bad) == 0;
}

inline float lastLane(__m128 v) {
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)));
}

// Lanes whose sample (j + lane) comes before `from` keep `held`; the others take `fresh`.
inline __m128 heldBefore(gmpi::int32 from, gmpi::int32 j, __m128 held, __m128 fresh) {
    if (j >= from) return fresh;
    const __m128i lane = _mm_add_epi32(_mm_set1_epi32(j), _mm_setr_epi32(0, 1, 2, 3));
    const __m128 before = _mm_castsi128_ps(_mm_cmplt_epi32(lane, _mm_set1_epi32(from)));
    return select(before, held, fresh);
}

// Four samples' pan gains as quarterWaveGains gives them.
inline void panGains(const dsp::QuarterWaveTables& tables, const float* pan, __m128& left,
                     __m128& right) {
    const __m128 x =
        _mm_mul_ps(_mm_min_ps(_mm_max_ps(_mm_loadu_ps(pan), _mm_setzero_ps()), _mm_set1_ps(1.0f)),
                   _mm_set1_ps(dsp::kEntriesPerPinUnit));
    const __m128i n = _mm_cvttps_epi32(x);
    const __m128 frac = _mm_sub_ps(x, _mm_cvtepi32_ps(n));
    alignas(16) gmpi::int32 at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), n);
    // Entries n and n + 1 of a table for the four samples: (n, n + 1) pairs, then split.
    const auto pairs = [&at](const float* t, __m128& a, __m128& b) {
        const auto pair = [t](gmpi::int32 n) {
            return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + n)));
        };
        const __m128 p01 = _mm_movelh_ps(pair(at[0]), pair(at[1]));
        const __m128 p23 = _mm_movelh_ps(pair(at[2]), pair(at[3]));
        a = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0));
        b = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1));
    };
    __m128 c0, c1, s0, s1;
    pairs(tables.cosine, c0, c1);
    pairs(tables.sine, s0, s1);
    left = _mm_add_ps(c0, _mm_mul_ps(_mm_sub_ps(c1, c0), frac));
    right = _mm_add_ps(s0, _mm_mul_ps(_mm_sub_ps(s1, s0), frac));
}

// Four samples' loop gains as feedbackCoefficient gives them.
inline __m128 loopGains(const float* feedback) {
    const __m128 v = _mm_loadu_ps(feedback);
    const __m128 fb = _mm_and_ps(
        _mm_cmpeq_ps(v, v), _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(-0.99f)), _mm_set1_ps(0.99f)));
    const __m128 nudge = _mm_set1_ps(0.0001f);
    return select(_mm_cmpge_ps(fb, _mm_setzero_ps()), _mm_add_ps(fb, nudge), _mm_sub_ps(fb, nudge));
}

// The value the loop writes, flushed, and zero unless finite.
inline __m128 loopInput(__m128 yBefore, __m128 fb, __m128 in) {
    const __m128 tiny = _mm_set1_ps(1e-18f);
    const __m128 x = _mm_sub_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(yBefore, fb), in), tiny), tiny);
    const __m128 magnitude = _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
    return _mm_and_ps(_mm_cmple_ps(magnitude, _mm_set1_ps(FLT_MAX)), x);
}

// The stretch's samples in fours, each four's reads before its writes; returns the number
// played (a multiple of four) and leaves p at the last one.
template <bool Cubic>
gmpi::int32 playFours(const DelayTroisCore& c, const DelayIo& io, const Stretch& s, gmpi::int32 k,
                      PassState& p) {
    float* const line = c.line;
    const gmpi::int32 length = c.length;
    const gmpi::int32 panFrom = p.panFrom, fbFrom = p.fbFrom, start = p.start;
    const __m128 heldLeft = _mm_set1_ps(c.gains.left), heldRight = _mm_set1_ps(c.gains.right);
    const __m128 heldFb = _mm_set1_ps(c.fb);
    __m128 y0Before = _mm_set1_ps(p.prev), yBefore = _mm_set1_ps(p.yLast);
    gmpi::int32 j = 0;
    for (; j + 4 <= k; j += 4) {
        // Four samples' taps n .. n + 3 (the guard makes them adjacent), turned into one
        // vector per tap.
        const __m128 r0 = _mm_loadu_ps(line + s.n[j]), r1 = _mm_loadu_ps(line + s.n[j + 1]);
        const __m128 r2 = _mm_loadu_ps(line + s.n[j + 2]), r3 = _mm_loadu_ps(line + s.n[j + 3]);
        const __m128 lo01 = _mm_unpacklo_ps(r0, r1), lo23 = _mm_unpacklo_ps(r2, r3);
        const __m128 y0 = _mm_movelh_ps(lo01, lo23), y1 = _mm_movehl_ps(lo23, lo01);
        const __m128 frac = _mm_loadu_ps(s.frac + j), level = _mm_loadu_ps(io.level + j);
        __m128 y;
        if constexpr (Cubic) {
            const __m128 y2 = _mm_movelh_ps(_mm_unpackhi_ps(r0, r1), _mm_unpackhi_ps(r2, r3));
            const __m128 v =
                dsp::cubicInterpolate(fromSampleBefore(y0Before, y0), y0, y1, y2, frac);
            y = v * 0.95f * level;
        } else {
            y = dsp::linearInterpolate(y0, y1, frac) * level;
        }
        __m128 left = heldLeft, right = heldRight;
        if (j + 4 > panFrom) {
            panGains(c.panTables, io.pan + j, left, right);
            left = heldBefore(panFrom, j, heldLeft, left);
            right = heldBefore(panFrom, j, heldRight, right);
        }
        const __m128 yo = _mm_mul_ps(y, _mm_loadu_ps(io.outLevel + j));
        _mm_storeu_ps(io.left + j, _mm_mul_ps(yo, left));
        _mm_storeu_ps(io.right + j, _mm_mul_ps(yo, right));
        _mm_storeu_ps(io.delayed + j, y);

        const __m128 fb =
            j + 4 > fbFrom ? heldBefore(fbFrom, j, heldFb, loopGains(io.feedback + j)) : heldFb;
        const __m128 x = loopInput(fromSampleBefore(yBefore, y), fb, _mm_loadu_ps(io.in + j));
        gmpi::int32 w = start + j;
        if (w + 4 <= length || w >= length) {
            _mm_storeu_ps(line + (w >= length ? w - length : w), x);
        } else {
            alignas(16) float v[4];
            _mm_store_ps(v, x);
            for (float f : v) {
                line[w] = f;
                if (++w == length) w = 0;
            }
        }
        y0Before = y0;
        yBefore = y;
    }
    p.prev = lastLane(y0Before);
    p.yLast = lastLane(yBefore);
    return j;
}

} // namespace

template <bool Cubic>
bool playMovingStretch(DelayTroisCore& c, const DelayIo& io, gmpi::int32 k) {
    if (!mayPlayInPasses(c, io)) return false;
    Stretch s;
    if (!planReads(c, io, k, s)) return false;
    // The write index runs on from where the last stretch left it, wrapping once at most.
    PassState p{c.write >= c.length ? 0 : c.write, firstChange(io.pan, c.cachedPan, k),
                firstChange(io.feedback, c.cachedFeedback, k), c.prev, c.y};
    const gmpi::int32 j = playFours<Cubic>(c, io, s, k, p);
    if (j < k) playTail<Cubic>(c, io, s, j, k, p);
    endStretch(c, io, k, s.lastPos, p);
    return true;
}
#else
// Without SSE2 every stretch is played sample by sample.
template <bool Cubic>
bool playMovingStretch(DelayTroisCore&, const DelayIo&, gmpi::int32) {
    return false;
}
#endif
template bool playMovingStretch<false>(DelayTroisCore&, const DelayIo&, gmpi::int32);
template bool playMovingStretch<true>(DelayTroisCore&, const DelayIo&, gmpi::int32);

} // namespace zr::delaytrois
