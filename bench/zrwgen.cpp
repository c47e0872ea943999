// Free wavetables from single cycles: the spectrum of a cycle whose length is a large prime
// (Bluestein's transform) against a power of two and a smooth length (mixed-radix FFT), so
// that any cycle length costs O(n log n).
#include "tools/zrwgen/zrw.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

void cycleSpectrum(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<float> cycle(n);
    for (std::size_t j = 0; j < n; ++j)
        cycle[j] = static_cast<float>(std::sin(2 * std::numbers::pi * j / n) +
                                      0.3 * std::sin(2 * std::numbers::pi * 7 * j / n));
    for (auto _ : state)
        benchmark::DoNotOptimize(zrw::cycleSpectrum(cycle));
    state.SetComplexityN(state.range(0));
}

// 65536 = 2^16; 100000 = 2^5 5^5; 65537 and 1000003 are prime.
BENCHMARK(cycleSpectrum)
    ->Arg(65536)
    ->Arg(65537)
    ->Arg(100000)
    ->Arg(1000003)
    ->Unit(benchmark::kMillisecond);

} // namespace
