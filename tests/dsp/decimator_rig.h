// Measuring a decimation low-pass: its gain at one frequency, read from a sine after the
// filter has settled. Shared by the decimator tests.
#pragma once

#include <complex>
#include <numbers>

namespace zr::test {

// Gain (linear) at `ratio` x the oversampled rate: the sine's bin of the output over `n`
// samples after `settle` samples. Whole periods in both keep the bin free of leakage.
template <class Filter>
double measuredGain(double ratio, int settle = 4000, int n = 40000) {
    Filter f;
    std::complex<double> acc = 0.0;
    for (int i = 0; i < settle + n; ++i) {
        const double ph = 2.0 * std::numbers::pi * ratio * i;
        const double y = f.process(static_cast<float>(std::sin(ph)));
        if (i >= settle) acc += y * std::complex<double>(std::cos(ph), -std::sin(ph));
    }
    return 2.0 * std::abs(acc) / n;
}

} // namespace zr::test
