// Cubic interpolation between samples, for fractional delays and resampling: the 4-point,
// third-order Hermite curve through y0 and y1 with slopes from their neighbours. Exact for
// straight lines; continuous in value and slope across sample boundaries.
#pragma once

#include "dsp/lanes8.h"

namespace zr::dsp {

namespace interpolation_detail {
// The curves' arithmetic, written once for every lane width. Always inlined, so that it is
// compiled for the caller's processor (an eight-lane caller is AVX2 code); the vectors go by
// reference, so no vector crosses a call between code built for different processors.
template <class V>
[[gnu::always_inline]] inline void cubic(const V& ym1, const V& y0, const V& y1, const V& y2,
                                         const V& frac, V& out) {
    const V c1 = 0.5f * (y1 - ym1);
    const V c2 = ym1 - 2.5f * y0 + 2.0f * y1 - 0.5f * y2;
    const V c3 = 0.5f * (y2 - ym1) + 1.5f * (y0 - y1);
    out = ((c3 * frac + c2) * frac + c1) * frac + y0;
}

template <class V>
[[gnu::always_inline]] inline void linear(const V& y0, const V& y1, const V& frac, V& out) {
    out = (y1 - y0) * frac + y0;
}
} // namespace interpolation_detail

// ym1, y0, y1, y2 are four consecutive samples; frac in 0..1 is the position between y0 and
// y1 (0 gives y0, 1 gives y1). V is float, or a vector of floats (four reads at once, one
// per lane, with the same operations in the same order as the scalar form).
template <class V>
inline V cubicInterpolate(V ym1, V y0, V y1, V y2, V frac) {
    V out;
    interpolation_detail::cubic(ym1, y0, y1, y2, frac, out);
    return out;
}

// The straight line from y0 (frac 0) to y1 (frac 1); V as above.
template <class V>
inline V linearInterpolate(V y0, V y1, V frac) {
    V out;
    interpolation_detail::linear(y0, y1, frac, out);
    return out;
}

#if ZR_HAS_WIDE_LANES
// Eight reads at once (AVX2), each lane as the scalar form.
ZR_WIDE inline Float8 cubicInterpolate(Float8 ym1, Float8 y0, Float8 y1, Float8 y2, Float8 frac) {
    Float8 out;
    interpolation_detail::cubic(ym1, y0, y1, y2, frac, out);
    return out;
}

ZR_WIDE inline Float8 linearInterpolate(Float8 y0, Float8 y1, Float8 frac) {
    Float8 out;
    interpolation_detail::linear(y0, y1, frac, out);
    return out;
}
#endif

// Cubic read of a table at fractional position x; t[n - 1] .. t[n + 2] must exist.
inline float readCubic(const float* t, float x) {
    const int n = static_cast<int>(x);
    return cubicInterpolate(t[n - 1], t[n], t[n + 1], t[n + 2], x - static_cast<float>(n));
}

} // namespace zr::dsp
