// Second-order all-pass section: poles at radius r and angle theta, zeros at their mirror
// images, so the magnitude is 1 at every frequency and only the phase turns (by 2 pi across
// the band, half of it at theta). c1 = 2 r cos(theta), c2 = r^2; r < 1 keeps it stable.
//   w = x + c1 z1 - c2 z2;  y = c2 w + z2 - c1 z1
#pragma once

#include "dsp/flush.h"

namespace zr::dsp {

struct AllPass2State {
    float z1 = 0.0f;
    float z2 = 0.0f;
};

inline float allPass2(AllPass2State& s, float x, float c1, float c2) {
    const float w = x + c1 * s.z1 - c2 * s.z2;
    const float y = c2 * w + s.z2 - c1 * s.z1;
    s.z2 = s.z1;
    s.z1 = flushDenormal(w);
    return y;
}

} // namespace zr::dsp
