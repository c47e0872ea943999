// Cost per sample of every mode of the multi-mode filter (64-sample blocks at 48 kHz), with
// steady controls (coefficients cached: one comparison per sample) and with Pitch and Resonance
// changing every sample (coefficients recomputed every sample). The gap between the two is the
// cache at work.
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

namespace {

constexpr gmpi::int32 kInputPin = 0, kPitchPin = 1, kResPin = 2, kOutputPin = 3, kModePin = 4,
                      kAuxPin = 5, kBlendPin = 6;
constexpr gmpi::int32 kBlock = 64;

using benchrig::library;

void runMode(benchmark::State& state, int mode, bool changing) {
    zrhost::HostContext context;
    zrhost::AudioModule module(library(), u"ZR-LPF over CS", context, {kBlock, 48000.0f});
    for (gmpi::int32 pin : {kInputPin, kPitchPin, kResPin, kOutputPin, kAuxPin, kBlendPin})
        module.attachOwnBuffer(pin);
    module.setRecording(false);
    module.open();

    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    auto in = module.buffer(kInputPin);
    auto pitch = module.buffer(kPitchPin);
    auto res = module.buffer(kResPin);
    auto blend = module.buffer(kBlendPin);
    for (gmpi::int32 i = 0; i < kBlock; ++i) {
        in[i] = noise(rng);
        // Changing controls differ from sample to sample, and across the block boundary.
        pitch[i] = changing ? 0.4f + 0.0005f * static_cast<float>(i) : 0.5f;
        res[i] = changing ? 0.2f + 0.002f * static_cast<float>(i) : 0.5f;
        blend[i] = 0.3f;
    }

    zrhost::EventList start;
    start.addGraphStart(0).addStreamingStart(0, kInputPin).addInt(0, kModePin, mode);
    for (gmpi::int32 pin : {kPitchPin, kResPin, kBlendPin})
        changing ? start.addStreamingStart(0, pin) : start.addStreamingStop(0, pin);
    module.processBlock(start);

    const zrhost::EventList none;
    for (auto _ : state) {
        module.processBlock(none);
        benchmark::DoNotOptimize(module.buffer(kOutputPin).data());
        benchmark::ClobberMemory();
    }
    // Seconds per sample, shown with an SI prefix (n: nanoseconds).
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const int registered = [] {
    for (int mode = 0; mode < 32; ++mode) {
        for (bool changing : {false, true}) {
            const std::string name =
                "AllFiltersCS/mode:" + std::to_string(mode) + (changing ? "/changing" : "/steady");
            benchmark::RegisterBenchmark(name.c_str(), [mode, changing](benchmark::State& s) {
                runMode(s, mode, changing);
            });
        }
    }
    return 0;
}();

} // namespace
