// Running a per-sample routine at 2 or 4 times the sample rate. Each input sample is spread
// linearly from the previous one over `Factor` sub-samples; the routine runs once per
// sub-sample. The routine itself brings its result back down: it passes its input through a
// decimation filter and its output through another (dsp/decimator.h; for 4x use two 2x
// filters in series or a steeper set), so both filters advance at the oversampled rate.
//
//   Oversampler<2> os;  Decimator2x pre, post;
//   out = os.run(in, [&](float u) { return post.process(stage(pre.process(u))); });
#pragma once

namespace zr::dsp {

template <int Factor>
struct Oversampler {
    static_assert(Factor == 2 || Factor == 4, "2x and 4x oversampling");

    float previousInput = 0.0f;
    // The routine's result for each sub-sample of the last input; the first one is returned.
    float subOutput[Factor] = {};

    void clear() { *this = Oversampler{}; }

    // Sub-sample i (1..Factor) gets previous + i x (in - previous) / Factor.
    template <class Routine>
    float run(float in, Routine&& routine) {
        const float step = (in - previousInput) * (1.0f / Factor);
#pragma GCC unroll 4
        for (int i = 0; i < Factor; ++i)
            subOutput[i] = routine(previousInput + static_cast<float>(i + 1) * step);
        previousInput = in;
        return subOutput[0];
    }
};

} // namespace zr::dsp
