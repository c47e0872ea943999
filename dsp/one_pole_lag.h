// The one-pole lag (exponential smoother) used as a 6 dB/octave filter: y moves from its last
// value towards the input by (1 - a) of the distance each sample, y = (y - x) a + x, with
// a = exp(-2 pi fc / rate) for a cutoff fc. A low-pass; the input minus it is the matching
// high-pass, and the difference of two lags a band-pass.
#pragma once

namespace zr::dsp {

inline float onePoleLag(float& y, float x, float a) {
    y = (y - x) * a + x;
    return y;
}

} // namespace zr::dsp
