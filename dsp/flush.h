// Keeping recursive state clean: denormal values slow some processors down by orders of
// magnitude, and a NaN or infinity written into a loop (a delay line, a filter history) would
// otherwise stay there for as long as the loop remembers.
#pragma once

#include <cfloat>
#include <cmath>

namespace zr::dsp {

// Adding and removing 1e-18 rounds magnitudes below about 1e-25 to zero and leaves audio
// values unchanged; without -ffast-math the compiler keeps both operations.
inline float flushDenormal(float x) {
    return (x + 1e-18f) - 1e-18f;
}

// x when finite, else 0.
inline float finiteOrZero(float x) {
    return std::fabs(x) <= FLT_MAX ? x : 0.0f;
}

// x held to +-limit, NaN to 0: for values about to enter a recursive filter, so that an
// absurd input (a huge drive, an infinite sample) leaves a state that decays back.
inline float holdFinite(float x, float limit) {
    if (!(x == x)) return 0.0f;
    return x < -limit ? -limit : (x > limit ? limit : x);
}

} // namespace zr::dsp
