// Eighth-order recursive low-pass used to bring a two-times oversampled signal back to the base
// rate: a direct-form-I IIR with nine input and nine output history values. The coefficient set
// is a compile-time constant so that each filter instance costs only its history.
//
// The filter runs on every sub-sample (its history advances at the oversampled rate); callers
// keep the sub-samples they need. Use it with dsp/oversampler.h: one filter on the way into the
// oversampled routine, one on the way out.
#pragma once

#include "dsp/lanes8.h"

namespace zr::dsp {

// b[0..8] feed-forward, a[1..8] feedback (a[0] is 1 and not stored in the sum), and the factor
// applied to the returned sample (the history keeps the unscaled value).
template <class Real>
struct DecimationCoefficients8 {
    Real b[9];
    Real a[9];
    Real outputScale;
};

// The single-precision two-times decimation low-pass: b = 0.00043129342 x (1, 8, 28, 56, 70,
// 56, 28, 8, 1) (all zeros at the oversampled Nyquist frequency), an equiripple passband (1 dB)
// up to 0.21 of the oversampled rate, more than 60 dB down from 0.3 of it. Its DC gain is just
// above 1 and its ripple peaks 1 dB higher; the output factor 0.95 takes some of that back.
inline constexpr DecimationCoefficients8<float> kDecimation2x{
    {0.00043129342f, 0.0034503473f, 0.012076216f, 0.024152432f, 0.03019054f, 0.024152432f,
     0.012076216f, 0.0034503473f, 0.00043129342f},
    {1.0f, -3.8130767f, 8.192174f, -11.757323f, 12.114127f, -9.073977f, 4.824743f, -1.6785759f,
     0.30113217f},
    0.95f};

// y[n] = sum(b[j] x[n-j], j = 0..8) - sum(a[j] y[n-j], j = 1..8), computed in `Real`.
// `Input` is the sample type handed in (a double filter may take float samples).
template <class Real, const DecimationCoefficients8<Real>& Coeffs>
class DecimationFilter8 {
  public:
    void clear() {
        for (int j = 0; j < 9; ++j) {
            x_[j] = Real(0);
            y_[j] = Real(0);
        }
    }

    // The loops are unrolled so that a caller holding the filter in a local copy for a block
    // keeps the history in registers: shifting it through memory would put a store and a
    // reload on the path from one output to the next.
    template <class Input>
    Real process(Input in) {
#pragma GCC unroll 8
        for (int j = 8; j > 0; --j) {
            x_[j] = x_[j - 1];
            y_[j] = y_[j - 1];
        }
        x_[0] = static_cast<Real>(in);
        Real forward = Coeffs.b[0] * x_[0];
#pragma GCC unroll 8
        for (int j = 1; j < 9; ++j)
            forward += Coeffs.b[j] * x_[j];
        // Both sums in ascending j, as the difference equation is written; the order fixes the
        // rounding and so the exact output.
        Real feedback = Coeffs.a[1] * y_[1];
#pragma GCC unroll 8
        for (int j = 2; j < 9; ++j)
            feedback += Coeffs.a[j] * y_[j];
        y_[0] = forward - feedback;
        return y_[0] * Coeffs.outputScale;
    }

  private:
    // Index 0 is the newest value; 1..8 are the past ones the recursion reads.
    Real x_[9] = {};
    Real y_[9] = {};
};

using Decimator2x = DecimationFilter8<float, kDecimation2x>;

// Double-precision decimation low-passes for 2, 4 and 8 times oversampling, with no output
// factor: each has its -3 dB point near 0.42 of the base rate, the zeros of its numerator
// b = b0 x (1, 8, 28, 56, 70, 56, 28, 8, 1) at the oversampled Nyquist frequency. The 2x set
// holds the single-precision coefficients above, widened.
inline constexpr DecimationCoefficients8<double> kDecimation2xDouble{
    {0.00043129341793246567, 0.0034503473434597254, 0.01207621581852436, 0.02415243163704872,
     0.030190540477633476, 0.02415243163704872, 0.01207621581852436, 0.0034503473434597254,
     0.00043129341793246567},
    {1.0, -3.8130767345428467, 8.192173957824707, -11.757323265075684, 12.114127159118652,
     -9.07397747039795, 4.824742794036865, -1.678575873374939, 0.3011321723461151},
    1.0};

inline constexpr DecimationCoefficients8<double> kDecimation4xDouble{
    {1.81304578931014e-06, 1.450436631448116e-05, 5.076528210068406e-05, 0.00010153056420136812,
     0.00012691320525171014, 0.00010153056420136812, 5.076528210068406e-05, 1.450436631448116e-05,
     1.81304578931014e-06},
    {1.0, -6.592352076009656, 19.735586193511615, -34.94728712084968, 39.965871481921546,
     -30.194007737385764, 14.709339619004739, -4.224678720160039, 0.5479897407319985},
    1.0};

inline constexpr DecimationCoefficients8<double> kDecimation8xDouble{
    {1.061136450579e-08, 8.489091604633e-08, 2.9711820616217e-07, 5.9423641232434e-07,
     7.4279551540542e-07, 5.9423641232434e-07, 2.9711820616217e-07, 8.489091604633e-08,
     1.061136450579e-08},
    {1.0, -7.418199444975971, 24.281703373135635, -45.79603224918553, 54.423265578262296,
     -41.72424550978184, 20.15088518220861, -5.6046972212506905, 0.6873229215557854},
    1.0};

// Two values side by side, for filters that run two sub-samples at once.
template <class Real>
struct PairOf;
template <>
struct PairOf<double> {
    using type = double __attribute__((vector_size(16)));
};
template <>
struct PairOf<float> {
    using type = float __attribute__((vector_size(8)));
};

// The same recursion for routines that run the filter several times per output sample,
// where the time from one output to the next bounds the speed. The terms are summed from the
// oldest to the newest, so the previous output enters last: one output waits for the one
// before it through one multiply and one subtraction instead of the whole feedback sum. Only
// the rounding differs from DecimationFilter8 (in double precision, far below any signal).
template <class Real, const DecimationCoefficients8<Real>& Coeffs>
class DecimationFilter8NewestLast {
  public:
    void clear() { *this = DecimationFilter8NewestLast{}; }

    template <class Input>
    Real process(Input in) {
        const Real x0 = static_cast<Real>(in);
        // x_[j] and y_[j] are the input and output j + 1 steps back.
        Real acc = Coeffs.b[8] * x_[7] - Coeffs.a[8] * y_[7];
        for (int j = 7; j >= 2; --j)
            acc += Coeffs.b[j] * x_[j - 1] - Coeffs.a[j] * y_[j - 1];
        acc += Coeffs.b[1] * x_[0] + Coeffs.b[0] * x0;
        const Real y = acc - Coeffs.a[1] * y_[0];
        for (int j = 7; j > 0; --j) {
            x_[j] = x_[j - 1];
            y_[j] = y_[j - 1];
        }
        x_[0] = x0;
        y_[0] = y;
        return y * Coeffs.outputScale;
    }

    // Filters `groups` x Stride sub-samples of `in` and writes the first output of each group
    // of Stride to `keep[group]`: the decimation step of an oversampled routine that first
    // renders its sub-samples into a buffer (see runGroup).
    template <int Stride>
    void processGroups(const float* in, int groups, float* keep) {
        // Inputs widened ahead, a run at a time, behind the eight before the run.
        constexpr int kRun = 64;
        static_assert(kRun % Stride == 0);
        Real xd[8 + kRun];
        Run r = beginRun(xd);
        const int total = groups * Stride;
        for (int start = 0; start < total; start += kRun) {
            const int count = total - start < kRun ? total - start : kRun;
            for (int i = 0; i < count; ++i)
                xd[8 + i] = static_cast<Real>(in[start + i]);
            for (int i = 0; i < count; i += Stride)
                keep[(start + i) / Stride] =
                    static_cast<float>(runGroup<Stride, true>(r, xd + 8 + i));
            for (int j = 0; j < 8; ++j)
                xd[j] = xd[count + j];
        }
        endRun(r, xd + 8);
    }

    // Group by group, for a routine that filters between other work (the filter's chain of
    // outputs then overlaps that work): beginRun unpacks the history into a Run the caller keeps
    // in locals, runGroup filters one group, endRun packs the history back.
    using Pair = typename PairOf<Real>::type;

    // The history of a run of paired steps: the two newest outputs, and the older six as pairs
    // {y[n - 4], y[n - 3]}, {y[n - 6], y[n - 5]}, {y[n - 8], y[n - 7]}, n being the next
    // sub-sample; the straddling pairs the terms read are shuffled from these. The inputs of a
    // run live in a widened buffer (see beginRun).
    struct Run {
        Real ym1, ym2;
        Pair h2, h3, h4;
    };

    // Starts a run: the eight newest inputs go to widened[0..8), oldest first; the run's
    // sub-samples then follow them in the buffer.
    Run beginRun(Real* widened) const {
        for (int j = 0; j < 8; ++j)
            widened[7 - j] = x_[j];
        return Run{y_[0], y_[1], Pair{y_[3], y_[2]}, Pair{y_[5], y_[4]}, Pair{y_[7], y_[6]}};
    }

    // Ends a run whose newest input is newest[-1].
    void endRun(const Run& r, const Real* newest) {
        for (int j = 0; j < 8; ++j)
            x_[j] = newest[-1 - j];
        y_[0] = r.ym1, y_[1] = r.ym2, y_[2] = r.h2[1], y_[3] = r.h2[0], y_[4] = r.h3[1];
        y_[5] = r.h3[0], y_[6] = r.h4[1], y_[7] = r.h4[0];
    }

    // Filters the Stride (even) widened sub-samples at x[0..Stride), the eight before them at
    // x[-8..0), and returns the first output, scaled. The result is bit for bit that of
    // `process` per sub-sample. Two neighbouring sub-samples are taken side by side: their
    // terms from j = 8 down to 3 (4 without PairThird) read only outputs that are already
    // known, so they are formed and summed two lanes at once; the remaining terms and each
    // output itself follow per lane. The pair of terms j = 3 waits for the output two
    // sub-samples back, which puts six operations instead of five on the path between outputs
    // two sub-samples apart; where the copies of two-operand code keep the execution ports busy
    // anyway that costs nothing, but a three-operand (AVX) compile runs at the chain's pace
    // without it.
    template <int Stride, bool PairThird>
    __attribute__((always_inline)) static Real runGroup(Run& r, const Real* x) {
        static_assert(Stride % 2 == 0, "sub-samples are filtered in pairs");
        constexpr const Real* a = Coeffs.a;
        // The coefficients in both lanes.
        static constexpr Pair kB[9] = {
            {Coeffs.b[0], Coeffs.b[0]}, {Coeffs.b[1], Coeffs.b[1]}, {Coeffs.b[2], Coeffs.b[2]},
            {Coeffs.b[3], Coeffs.b[3]}, {Coeffs.b[4], Coeffs.b[4]}, {Coeffs.b[5], Coeffs.b[5]},
            {Coeffs.b[6], Coeffs.b[6]}, {Coeffs.b[7], Coeffs.b[7]}, {Coeffs.b[8], Coeffs.b[8]}};
        static constexpr Pair kA[9] = {{a[0], a[0]}, {a[1], a[1]}, {a[2], a[2]},
                                       {a[3], a[3]}, {a[4], a[4]}, {a[5], a[5]},
                                       {a[6], a[6]}, {a[7], a[7]}, {a[8], a[8]}};
        Real first = 0;
#pragma GCC unroll 8
        for (int p = 0; p < Stride; p += 2, x += 2) {
            // {x[n - j], x[n + 1 - j]}
            const auto xs = [x](int j) {
                Pair v;
                __builtin_memcpy(&v, x - j, sizeof v);
                return v;
            };
            // {y[n - j], y[n + 1 - j]} for j = 3..8.
            const Pair y3 = Pair{r.h2[1], r.ym2}, y4 = r.h2;
            const Pair y5 = __builtin_shufflevector(r.h3, r.h2, 1, 2), y6 = r.h3;
            const Pair y7 = __builtin_shufflevector(r.h4, r.h3, 1, 2), y8 = r.h4;
            Pair acc = kB[8] * xs(8) - kA[8] * y8;
            acc += kB[7] * xs(7) - kA[7] * y7;
            acc += kB[6] * xs(6) - kA[6] * y6;
            acc += kB[5] * xs(5) - kA[5] * y5;
            acc += kB[4] * xs(4) - kA[4] * y4;
            if constexpr (PairThird) acc += kB[3] * xs(3) - kA[3] * y3;
            const Pair bx3 = kB[3] * xs(3);
            const Pair bx2 = kB[2] * xs(2);
            const Pair forward = kB[1] * xs(1) + kB[0] * xs(0);
            Real acc0 = acc[0];
            if constexpr (!PairThird) acc0 += bx3[0] - a[3] * y3[0];
            acc0 += bx2[0] - a[2] * r.ym2;
            acc0 += forward[0];
            const Real out0 = acc0 - a[1] * r.ym1;
            Real acc1 = acc[1];
            if constexpr (!PairThird) acc1 += bx3[1] - a[3] * y3[1];
            acc1 += bx2[1] - a[2] * r.ym1;
            acc1 += forward[1];
            const Real out1 = acc1 - a[1] * out0;
            if (p == 0) first = out0 * Coeffs.outputScale;
            r.h4 = r.h3, r.h3 = r.h2;
            r.h2 = Pair{r.ym2, r.ym1};
            r.ym2 = out0;
            r.ym1 = out1;
        }
        return first;
    }

  private:
    Real x_[8] = {};
    Real y_[8] = {};
};

using Decimator2xDouble = DecimationFilter8NewestLast<double, kDecimation2xDouble>;
using Decimator4xDouble = DecimationFilter8NewestLast<double, kDecimation4xDouble>;
using Decimator8xDouble = DecimationFilter8NewestLast<double, kDecimation8xDouble>;

} // namespace zr::dsp
