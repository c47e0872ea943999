// One-pole filter stages and the ladders built by chaining them. A stage keeps its previous
// input and output; k is the pole coefficient (from a table), g = (k + 1) / 2 its gain.
//   low-pass:  y = (x + x_prev) g - k y_prev
//   high-pass: y = (x - x_prev) g + k y_prev
// A ladder of N stages feeds each stage's output into the next; the arrays hold N entries and
// every stage's output stays readable (taps and resonance feedback read them).
#pragma once

namespace zr::dsp {

// The stage gain that goes with pole coefficient k.
inline float onePoleGain(float k) {
    return (k + 1.0f) * 0.5f;
}

// Keeps a stage's input and output as its state for the next sample; returns the output.
inline float keepStageState(float in, float& prevIn, float& out, float y) {
    prevIn = in;
    out = y;
    return y;
}

inline float lowPassStage(float in, float& prevIn, float& out, float k, float g) {
    return keepStageState(in, prevIn, out, (in + prevIn) * g - k * out);
}

inline float highPassStage(float in, float& prevIn, float& out, float kh, float gh) {
    return keepStageState(in, prevIn, out, (in - prevIn) * gh + kh * out);
}

// `Stages` copies of `Stage` in series; returns the last stage's output.
template <int Stages, float (*Stage)(float, float&, float&, float, float)>
inline float stageChain(float* prevIn, float* out, float in, float k, float g) {
    float s = in;
    // Unrolled, so that a caller's local copy of the stage state can live in registers.
#pragma GCC unroll 8
    for (int i = 0; i < Stages; ++i)
        s = Stage(s, prevIn[i], out[i], k, g);
    return s;
}

template <int Stages>
inline float lowPassLadder(float* prevIn, float* out, float in, float k, float g) {
    return stageChain<Stages, lowPassStage>(prevIn, out, in, k, g);
}

template <int Stages>
inline float highPassLadder(float* prevIn, float* out, float in, float kh, float gh) {
    return stageChain<Stages, highPassStage>(prevIn, out, in, kh, gh);
}

} // namespace zr::dsp
