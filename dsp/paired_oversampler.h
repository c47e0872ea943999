// Two signals oversampled together (a signal and its modulator): each is spread linearly from
// its previous sample over `Factor` sub-samples, and the routine gets both sub-samples at once.
// The single-signal form and its use with the decimation filters: dsp/oversampler.h.
#pragma once

namespace zr::dsp {

template <int Factor>
struct PairedOversampler {
    static_assert(Factor == 2 || Factor == 4, "2x and 4x oversampling");

    float previousA = 0.0f;
    float previousB = 0.0f;
    // The routine's result for each sub-sample of the last input pair; the first is returned.
    float subOutput[Factor] = {};

    void clear() { *this = PairedOversampler{}; }

    // Sub-sample i (1..Factor) of each signal: previous + i x (in - previous) / Factor.
    template <class Routine>
    float run(float a, float b, Routine&& routine) {
        const float stepA = (a - previousA) * (1.0f / Factor);
        const float stepB = (b - previousB) * (1.0f / Factor);
        for (int i = 0; i < Factor; ++i) {
            const float k = static_cast<float>(i + 1);
            subOutput[i] = routine(previousA + k * stepA, previousB + k * stepB);
        }
        previousA = a;
        previousB = b;
        return subOutput[0];
    }
};

} // namespace zr::dsp
