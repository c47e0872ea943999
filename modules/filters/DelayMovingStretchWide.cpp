// "ZR Delay v3": the passes that play a stretch whose time moves at every sample, eight samples
// at a time (AVX2, chosen at run time): the read positions four doubles to a register, then
// taps, interpolation, levels, pan, feedback and the line writes eight floats to a register.
// Each lane performs the four-lane passes' operations (DelayMovingStretch.cpp) in their order.
#include "modules/filters/DelayMovingStretch.h"

#include "dsp/interpolation.h"
#include "dsp/lanes8.h"

#include <cfloat>
#include <cstring>

namespace zr::delaytrois {

#if ZR_HAS_WIDE_LANES
namespace {

using dsp::Double4;
using dsp::Float8;
using dsp::Int8;

ZR_WIDE inline Int8 asInt(__m256 v) {
    return reinterpret_cast<Int8>(v);
}
ZR_WIDE inline Float8 asFloat(Int8 v) {
    return reinterpret_cast<Float8>(v);
}

// (last lane of `before`, lanes 0-6 of `now`): a lane's value from the sample before.
ZR_WIDE inline Float8 fromSampleBefore(Float8 before, Float8 now) {
    const __m256i mid = _mm256_castps_si256(_mm256_permute2f128_ps(before, now, 0x21));
    return _mm256_castsi256_ps(_mm256_alignr_epi8(_mm256_castps_si256(now), mid, 12));
}

// Lanes 0-3 and 4-7 of a float vector as doubles.
ZR_WIDE inline Double4 lowDoubles(Float8 v) {
    return _mm256_cvtps_pd(_mm256_castps256_ps128(v));
}
ZR_WIDE inline Double4 highDoubles(Float8 v) {
    return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1));
}

// The eight samples' read positions, before the wrap, from their `Time` (NaN as 0), clamped
// `Spread` and write index, as wrappedReadPosition forms them.
struct PositionMaker {
    Double4 spu, two, one, negL, twoL;

    ZR_WIDE void unwrapped(Float8 time, Float8 spread, Int8 seen, Double4& lo, Double4& hi) const {
        const auto one4 = [&](Double4 t, Double4 s, __m128i w) ZR_WIDE -> Double4 {
            const Double4 h = spu * t + two;
            const Double4 delay = s * two * (h - one) + h;
            return _mm256_cvtepi32_pd(w) - _mm256_min_pd(_mm256_max_pd(delay, negL), twoL);
        };
        const __m256i w = reinterpret_cast<__m256i>(seen);
        lo = one4(lowDoubles(time), lowDoubles(spread), _mm256_castsi256_si128(w));
        hi = one4(highDoubles(time), highDoubles(spread), _mm256_extracti128_si256(w, 1));
    }
};

// Indices and fractions of eight read positions (four in each half).
ZR_WIDE inline void splitPositions(Double4 lo, Double4 hi, Int8& n, Float8& frac) {
    const __m128i n0 = _mm256_cvttpd_epi32(lo), n1 = _mm256_cvttpd_epi32(hi);
    // The positions are 0..L, so rounding toward zero gives the index back as a double.
    constexpr int kTruncate = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
    const __m128 f0 = _mm256_cvtpd_ps(lo - _mm256_round_pd(lo, kTruncate));
    const __m128 f1 = _mm256_cvtpd_ps(hi - _mm256_round_pd(hi, kTruncate));
    n = reinterpret_cast<Int8>(_mm256_set_m128i(n1, n0));
    frac = _mm256_set_m128(f1, f0);
}

// planReads on eight samples at a time; the wrap is given (see planReads).
template <class Wrap>
ZR_WIDE Int8 positions(const DelayTroisCore& c, const DelayIo& io, gmpi::int32 k, Stretch& s,
                       Wrap wrap) {
    // In locals: the stores to the plan could otherwise change them.
    const gmpi::int32 length = c.length, write = c.write;
    const float *const times = io.time, *const spreads = io.spread;
    gmpi::int32* const indices = s.n;
    float* const fracs = s.frac;
    const PositionMaker make{dsp::splatDouble4(c.samplesPerUnit), dsp::splatDouble4(2.0),
                             dsp::splatDouble4(1.0), dsp::splatDouble4(-double(length)),
                             dsp::splatDouble4(2.0 * length)};
    const Int8 li = dsp::splat8(length), maxAhead = dsp::splat8(length - 3 - kStretch);
    const Int8 step{0, 1, 2, 3, 4, 5, 6, 7};
    Int8 bad = dsp::splat8(0);
    Double4 hi = make.one;
    for (gmpi::int32 i = 0; i + 8 <= k; i += 8) {
        const Float8 timeIn = dsp::load8(times + i), spreadIn = dsp::load8(spreads + i);
        // Each sample's controls against the sample before's (the first against the caches).
        const Float8 timeBefore =
            i > 0 ? dsp::load8(times + i - 1) : fromSampleBefore(dsp::splat8(c.cachedTime), timeIn);
        const Float8 spreadBefore = i > 0 ? dsp::load8(spreads + i - 1)
                                          : fromSampleBefore(dsp::splat8(c.cachedSpread), spreadIn);
        bad |= ~(asInt(_mm256_cmp_ps(timeIn, timeBefore, _CMP_NEQ_UQ)) |
                 asInt(_mm256_cmp_ps(spreadIn, spreadBefore, _CMP_NEQ_UQ)));
        const Float8 time = asFloat(asInt(_mm256_cmp_ps(timeIn, timeIn, _CMP_EQ_OQ)) &
                                    reinterpret_cast<Int8>(timeIn)); // NaN: 0
        const Float8 spread =
            dsp::clampNanToLow(spreadIn, dsp::splat8(-0.499f), dsp::splat8(0.499f));
        Int8 seen = dsp::splat8(write + i) + step;
        seen -= (seen > li) & li;
        Double4 lo;
        make.unwrapped(time, spread, seen, lo, hi);
        lo = wrap(lo);
        hi = wrap(hi);
        Int8 n;
        Float8 frac;
        splitPositions(lo, hi, n, frac);
        std::memcpy(indices + i, &n, sizeof n);
        dsp::store8(fracs + i, frac);
        // Distance of the read ahead of the sample written.
        Int8 ahead = n - seen;
        ahead += (ahead < 0) & li;
        bad |= (dsp::splat8(1) > ahead) | (ahead > maxAhead);
    }
    s.lastPos = hi[3];
    return bad;
}

ZR_WIDE bool planReads(const DelayTroisCore& c, const DelayIo& io, gmpi::int32 k, Stretch& s) {
    const Double4 l = dsp::splatDouble4(c.length), zero = dsp::splatDouble4(0.0);
    // The lowest and highest position after one step (never NaN: the delay's clamp turns NaN
    // into -L).
    Double4 lowest = zero, highest = zero;
    Int8 bad = positions(c, io, k, s, [&](Double4 pos) ZR_WIDE {
        pos += _mm256_and_pd(_mm256_cmp_pd(pos, zero, _CMP_LT_OQ), l);
        lowest = _mm256_min_pd(lowest, pos);
        highest = _mm256_max_pd(highest, pos);
        return pos;
    });
    const __m256d outside = _mm256_or_pd(_mm256_cmp_pd(lowest, zero, _CMP_LT_OQ),
                                         _mm256_cmp_pd(highest, l, _CMP_GE_OQ));
    if (_mm256_movemask_pd(outside) != 0) {
        bad = positions(c, io, k, s, [&](Double4 pos) ZR_WIDE {
            const Double4 up1 = pos + l, up2 = up1 + l;
            pos = _mm256_blendv_pd(pos,
                                   _mm256_blendv_pd(up1, up2, _mm256_cmp_pd(up1, zero, _CMP_LT_OQ)),
                                   _mm256_cmp_pd(pos, zero, _CMP_LT_OQ));
            const Double4 down1 = pos - l, down2 = down1 - l;
            return _mm256_blendv_pd(
                pos, _mm256_blendv_pd(down1, down2, _mm256_cmp_pd(down1, l, _CMP_GE_OQ)),
                _mm256_cmp_pd(pos, l, _CMP_GE_OQ));
        });
    }
    return planTail(c, io, k & ~7, k, s) && !dsp::anyLane(bad);
}

// Lanes whose sample (j + lane) comes before `from` keep `held`; the others take `fresh`.
ZR_WIDE inline Float8 heldBefore(gmpi::int32 from, gmpi::int32 j, Float8 held, Float8 fresh) {
    if (j >= from) return fresh;
    const Int8 lane = dsp::splat8(j) + Int8{0, 1, 2, 3, 4, 5, 6, 7};
    return _mm256_blendv_ps(fresh, held, asFloat(lane < dsp::splat8(from)));
}

// Eight samples' loop gains as feedbackCoefficient gives them.
ZR_WIDE inline Float8 loopGains(const float* feedback) {
    const Float8 v = dsp::load8(feedback);
    const Float8 fb = _mm256_and_ps(_mm256_cmp_ps(v, v, _CMP_EQ_OQ),
                                    dsp::clampNanToLow(v, dsp::splat8(-0.99f), dsp::splat8(0.99f)));
    const Float8 nudge = dsp::splat8(0.0001f);
    return _mm256_blendv_ps(fb - nudge, fb + nudge,
                            _mm256_cmp_ps(fb, dsp::splat8(0.0f), _CMP_GE_OQ));
}

// The value the loop writes, flushed, and zero unless finite.
ZR_WIDE inline Float8 loopInput(Float8 yBefore, Float8 fb, Float8 in) {
    const Float8 tiny = dsp::splat8(1e-18f);
    const Float8 x = ((yBefore * fb + in) + tiny) - tiny;
    const Float8 magnitude = asFloat(reinterpret_cast<Int8>(x) & dsp::splat8(0x7fffffff));
    return _mm256_and_ps(_mm256_cmp_ps(magnitude, dsp::splat8(FLT_MAX), _CMP_LE_OQ), x);
}

// The table positions of a stretch's pan values, as quarterWaveGains forms them: one index
// and fraction for both tables. Planned ahead of the reads: indices loaded right after the
// vector store that holds them wait for it.
struct PanPlan {
    alignas(32) gmpi::int32 n[kStretch];
    alignas(32) float frac[kStretch];
};

// The plan of samples from (rounded down to a multiple of eight) to n.
ZR_WIDE void planPan(const float* pan, gmpi::int32 from, gmpi::int32 n, PanPlan& plan) {
    for (gmpi::int32 j = from & ~7; j < n; j += 8) {
        const Float8 x =
            dsp::clampNanToLow(dsp::load8(pan + j), dsp::splat8(0.0f), dsp::splat8(1.0f)) *
            dsp::kEntriesPerPinUnit;
        const Int8 at = __builtin_convertvector(x, Int8); // truncates, as static_cast<int> does
        std::memcpy(plan.n + j, &at, sizeof at);
        dsp::store8(plan.frac + j, x - __builtin_convertvector(at, Float8));
    }
}

// Eight samples' pan gains from the plan.
ZR_WIDE inline void panGains(const dsp::QuarterWaveTables& tables, const PanPlan& plan,
                             gmpi::int32 j, Float8& left, Float8& right) {
    Float8 c0, c1, s0, s1;
    dsp::gatherPairsAt(tables.cosine, plan.n + j, c0, c1);
    dsp::gatherPairsAt(tables.sine, plan.n + j, s0, s1);
    const Float8 frac = dsp::load8(plan.frac + j);
    left = c0 + (c1 - c0) * frac;
    right = s0 + (s1 - s0) * frac;
}

// Eight samples' taps n, n + 1, n + 2 (the guard makes them adjacent), one vector per tap:
// one four-sample load per sample, two samples to a register (j, j + 4), then transposed.
ZR_WIDE inline void taps(const float* line, const gmpi::int32* n, Float8& y0, Float8& y1,
                         Float8& y2) {
    const __m256 a = _mm256_loadu2_m128(line + n[4], line + n[0]);
    const __m256 b = _mm256_loadu2_m128(line + n[5], line + n[1]);
    const __m256 c = _mm256_loadu2_m128(line + n[6], line + n[2]);
    const __m256 d = _mm256_loadu2_m128(line + n[7], line + n[3]);
    const __m256 loAb = _mm256_unpacklo_ps(a, b), loCd = _mm256_unpacklo_ps(c, d);
    const __m256 hiAb = _mm256_unpackhi_ps(a, b), hiCd = _mm256_unpackhi_ps(c, d);
    y0 = _mm256_shuffle_ps(loAb, loCd, _MM_SHUFFLE(1, 0, 1, 0));
    y1 = _mm256_shuffle_ps(loAb, loCd, _MM_SHUFFLE(3, 2, 3, 2));
    y2 = _mm256_shuffle_ps(hiAb, hiCd, _MM_SHUFFLE(1, 0, 1, 0));
}

// Writes eight loop inputs from index w (0..L) on, wrapping at L.
ZR_WIDE inline void writeLine(float* line, gmpi::int32 length, gmpi::int32 w, Float8 x) {
    if (w + 8 <= length || w >= length) {
        dsp::store8(line + (w >= length ? w - length : w), x);
        return;
    }
    for (int m = 0; m < 8; ++m) {
        line[w] = x[m];
        if (++w == length) w = 0;
    }
}

// The delayed values of the stretch's samples in eights (the plan guarantees that no read
// touches what the stretch writes, so every read may precede every write): y[8 + j] for sample
// j, after y[7] = the value before the stretch. Returns the number read (a multiple of eight)
// and leaves p.prev at the last tap n.
template <bool Cubic>
ZR_WIDE gmpi::int32 readEights(const DelayTroisCore& c, const DelayIo& io, const Stretch& s,
                               gmpi::int32 k, float* y, PassState& p) {
    const float* const line = c.line;
    const float* const level = io.level;
    Float8 y0Before = dsp::splat8(p.prev);
    y[7] = p.yLast;
    gmpi::int32 j = 0;
    for (; j + 8 <= k; j += 8) {
        Float8 y0, y1, y2;
        taps(line, s.n + j, y0, y1, y2);
        const Float8 frac = dsp::load8(s.frac + j), gain = dsp::load8(level + j);
        if constexpr (Cubic) {
            const Float8 v =
                dsp::cubicInterpolate(fromSampleBefore(y0Before, y0), y0, y1, y2, frac);
            dsp::store8(y + 8 + j, v * 0.95f * gain);
        } else {
            dsp::store8(y + 8 + j, dsp::linearInterpolate(y0, y1, frac) * gain);
        }
        y0Before = y0;
    }
    p.prev = y0Before[7];
    return j;
}

// The outputs and the line writes of the n samples read (y as readEights leaves it); leaves
// p.yLast at the last value.
ZR_WIDE void writeEights(const DelayTroisCore& c, const DelayIo& io, const float* y,
                         const PanPlan& panPlan, gmpi::int32 n, PassState& p) {
    float* const line = c.line;
    const gmpi::int32 length = c.length;
    const gmpi::int32 panFrom = p.panFrom, fbFrom = p.fbFrom, start = p.start;
    // The pins in locals: the stores to the outputs and the line could otherwise change them.
    const float *const in = io.in, *const feedback = io.feedback, *const outLevel = io.outLevel;
    float *const outLeft = io.left, *const outRight = io.right, *const delayed = io.delayed;
    const dsp::QuarterWaveTables tables = c.panTables;
    const Float8 heldLeft = dsp::splat8(c.gains.left), heldRight = dsp::splat8(c.gains.right);
    const Float8 heldFb = dsp::splat8(c.fb);
    for (gmpi::int32 j = 0; j < n; j += 8) {
        const Float8 v = dsp::load8(y + 8 + j);
        Float8 left = heldLeft, right = heldRight;
        if (j + 8 > panFrom) {
            panGains(tables, panPlan, j, left, right);
            left = heldBefore(panFrom, j, heldLeft, left);
            right = heldBefore(panFrom, j, heldRight, right);
        }
        const Float8 vo = v * dsp::load8(outLevel + j);
        dsp::store8(outLeft + j, vo * left);
        dsp::store8(outRight + j, vo * right);
        dsp::store8(delayed + j, v);

        const Float8 fb =
            j + 8 > fbFrom ? heldBefore(fbFrom, j, heldFb, loopGains(feedback + j)) : heldFb;
        // The loop takes each sample's value from the sample before.
        writeLine(line, length, start + j,
                  loopInput(dsp::load8(y + 7 + j), fb, dsp::load8(in + j)));
    }
    p.yLast = y[7 + n];
}

} // namespace

template <bool Cubic>
ZR_WIDE bool playMovingStretchWide(DelayTroisCore& c, const DelayIo& io, gmpi::int32 k) {
    if (!mayPlayInPasses(c, io)) return false;
    Stretch s;
    if (!planReads(c, io, k, s)) return false;
    // The write index runs on from where the last stretch left it, wrapping once at most.
    PassState p{c.write >= c.length ? 0 : c.write, firstChange(io.pan, c.cachedPan, k),
                firstChange(io.feedback, c.cachedFeedback, k), c.prev, c.y};
    // The pan plan goes first, so that its stores are done when the table reads load them.
    PanPlan panPlan;
    planPan(io.pan, p.panFrom, k & ~7, panPlan);
    alignas(32) float y[8 + kStretch];
    const gmpi::int32 j = readEights<Cubic>(c, io, s, k, y, p);
    writeEights(c, io, y, panPlan, j, p);
    if (j < k) playTail<Cubic>(c, io, s, j, k, p);
    endStretch(c, io, k, s.lastPos, p);
    return true;
}
#else
// Never chosen where the processor has no eight lanes.
template <bool Cubic>
bool playMovingStretchWide(DelayTroisCore&, const DelayIo&, gmpi::int32) {
    return false;
}
#endif
template bool playMovingStretchWide<false>(DelayTroisCore&, const DelayIo&, gmpi::int32);
template bool playMovingStretchWide<true>(DelayTroisCore&, const DelayIo&, gmpi::int32);

} // namespace zr::delaytrois
