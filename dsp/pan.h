// Pan laws: left and right gains for a pan position p in -1 (left) .. +1 (right), NaN and
// values outside held to the range (NaN
// plays in the centre). Compute them when the position changes, not per sample:
// the equal-power law takes a sine and a cosine.
//   linear:       gains sum to 1 (-6 dB in the centre); for mono sums that must not swell
//   equal power:  squared gains sum to 1 (-3 dB in the centre); constant loudness
//   balance:      1 on the near side, falling linearly to 0 on the far side (0 dB in the centre)
#pragma once

#include "dsp/clamp.h"

#include <cmath>

namespace zr::dsp {

struct PanGains {
    float left = 1.0f;
    float right = 1.0f;
};

// The position held to -1..1; NaN gives the centre.
inline float panPosition(float p) {
    return p == p ? clampNanToLow(p, -1.0f, 1.0f) : 0.0f;
}

inline PanGains panLinear(float p) {
    const float x = (panPosition(p) + 1.0f) * 0.5f;
    return {1.0f - x, x};
}

inline PanGains panEqualPower(float p) {
    constexpr float kQuarterPi = 0.78539816f;
    const float angle = (panPosition(p) + 1.0f) * kQuarterPi;
    return {std::cos(angle), std::sin(angle)};
}

inline PanGains panBalance(float p) {
    const float x = panPosition(p);
    return {x > 0.0f ? 1.0f - x : 1.0f, x < 0.0f ? 1.0f + x : 1.0f};
}

} // namespace zr::dsp
