// Cubic interpolation between samples, for fractional delays and resampling: the 4-point,
// third-order Hermite curve through y0 and y1 with slopes from their neighbours. Exact for
// straight lines; continuous in value and slope across sample boundaries.
#pragma once

namespace zr::dsp {

// ym1, y0, y1, y2 are four consecutive samples; frac in 0..1 is the position between y0 and
// y1 (0 gives y0, 1 gives y1). V is float, or a vector of floats (four reads at once, one
// per lane, with the same operations in the same order as the scalar form).
template <class V>
inline V cubicInterpolate(V ym1, V y0, V y1, V y2, V frac) {
    const V c1 = 0.5f * (y1 - ym1);
    const V c2 = ym1 - 2.5f * y0 + 2.0f * y1 - 0.5f * y2;
    const V c3 = 0.5f * (y2 - ym1) + 1.5f * (y0 - y1);
    return ((c3 * frac + c2) * frac + c1) * frac + y0;
}

// The straight line from y0 (frac 0) to y1 (frac 1); V as above.
template <class V>
inline V linearInterpolate(V y0, V y1, V frac) {
    return (y1 - y0) * frac + y0;
}

// Cubic read of a table at fractional position x; t[n - 1] .. t[n + 2] must exist.
inline float readCubic(const float* t, float x) {
    const int n = static_cast<int>(x);
    return cubicInterpolate(t[n - 1], t[n], t[n + 1], t[n + 2], x - static_cast<float>(n));
}

} // namespace zr::dsp
