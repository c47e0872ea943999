// Oscilloscope costs: the audio half per block while it records (every sample converted and
// stored) and while it waits for a trigger (a scan), and one paint of a full 4800-point window
// on a 400 × 160 software surface.
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/gui_module.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr gmpi::int32 kSignalPin = 1, kTimePin = 2, kRunPin = 4;
constexpr gmpi::int32 kBlock = 256;

using benchrig::library;

// A constant positive signal never re-triggers, so after the first
// window the module only scans; a sine keeps it cycling through windows and hold-offs.
void audioBlock(benchmark::State& state, bool sine) {
    zrhost::HostContext context;
    zrhost::AudioModule module(library(), u"ZR SCOPE V4", context, {kBlock, 48000.0f});
    module.attachOwnBuffer(kSignalPin);
    module.attachOwnBuffer(kTimePin);
    module.setRecording(false);
    module.open();
    auto signal = module.buffer(kSignalPin);
    auto time = module.buffer(kTimePin);
    for (gmpi::int32 i = 0; i < kBlock; ++i) {
        // 187.5 Hz: a whole number of cycles per block, so every block looks the same.
        signal[i] = sine ? static_cast<float>(std::sin(2 * std::numbers::pi * i / kBlock)) : 0.5f;
        time[i] = 10.0f; // 4800-sample windows
    }
    zrhost::EventList start;
    start.addGraphStart(0).addStreamingStart(0, kSignalPin).addStreamingStart(0, kTimePin);
    start.addInt(0, kRunPin, 1);
    module.processBlock(start);
    const zrhost::EventList none;
    for (auto _ : state)
        module.processBlock(none);
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_ScopeCycling(benchmark::State& state) {
    audioBlock(state, true);
}
void BM_ScopeScanning(benchmark::State& state) {
    audioBlock(state, false);
}
BENCHMARK(BM_ScopeCycling);
BENCHMARK(BM_ScopeScanning);

void BM_ScopePaint(benchmark::State& state) {
    zrhost::HostContext context;
    zrhost::GuiModule gui(library(), u"ZR SCOPE V4", context);
    std::vector<std::uint8_t> capture(4800);
    for (std::size_t i = 0; i < capture.size(); ++i)
        capture[i] = static_cast<std::uint8_t>(
            static_cast<std::int8_t>(120 * std::sin(2 * std::numbers::pi * i / 600.0)));
    gui.arrange(0, 160, 0, 400);
    gui.deliverBlob(0, capture);
    for (auto _ : state)
        benchmark::DoNotOptimize(gui.paint(400, 160));
}
BENCHMARK(BM_ScopePaint);

} // namespace
