// Oscillator costs: each wave routine of "Osc ZRPM" in ns per sample, at a steady pitch and at
// a pitch that changes every sample, in both reset families; and the loader's time to load
// one wavetable slot from a file.
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"
#include "host/text.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <vector>

namespace {

constexpr int kBlock = 64; // the block size the goals are stated at
constexpr int kSlotFileEntries = 127240;

using benchrig::library;

// A wavetable file whose zones hold a sine: what the routines read does not change their cost.
std::filesystem::path tableFolder() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / "zr-bench-oscillators";
        std::filesystem::create_directories(d);
        std::vector<float> t(kSlotFileEntries, 0.0f);
        t[3] = 2.0f;
        for (int i = 4360; i < kSlotFileEntries; ++i)
            t[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * (i - 4360) / 2048.0));
        for (const char* name :
             {"osc-sine-1.zrw", "osc-saw-1.zrw", "osc-tri-1.zrw", "osc-sine-2.zrw"}) {
            std::ofstream out(d / name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(t.data()),
                      static_cast<std::streamsize>(t.size() * sizeof(float)));
        }
        return d;
    }();
    return dir;
}

void loadSlots(zrhost::HostContext& context) {
    context.setFileFolder(zrhost::toUtf16(tableFolder().string()));
    zrhost::AudioModule loader(library(), u"INIT Osc ZRPM", context);
    loader.attachOwnBuffer(11);
    loader.open();
    zrhost::EventList ev;
    ev.addGraphStart(0).addText(0, 0, u"base.zrw");
    for (int pin : {2, 4, 6})
        ev.addInt(0, pin, pin / 2 - 1); // types 0, 1, 2: sine, tri, saw files
    for (int pin : {3, 5, 7})
        ev.addInt(0, pin, 1);
    loader.processBlock(ev);
}

// Args: wave (0-4), reset family (0: Reset Mode 0, 1: Reset Mode 1), pitch (0 steady,
// 1 changing every sample).
void OscWave(benchmark::State& state) {
    const int wave = static_cast<int>(state.range(0));
    const int resetMode = static_cast<int>(state.range(1));
    const bool moving = state.range(2) != 0;
    zrhost::HostContext context;
    loadSlots(context);
    zrhost::AudioModule osc(library(), u"Osc ZRPM", context, {kBlock, 44100.0f});
    for (int pin : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13})
        osc.attachOwnBuffer(pin);
    osc.open();
    osc.setRecording(false);
    auto pitch = osc.buffer(0);
    for (int i = 0; i < kBlock; ++i)
        pitch[i] = moving ? 0.3f + 0.0002f * static_cast<float>(i) : 0.43f;
    for (float& s : osc.buffer(2))
        s = 0.2f;
    for (float& g : osc.buffer(3))
        g = 1.0f;
    zrhost::EventList start;
    start.addGraphStart(0)
        .addInt(0, 11, wave)
        .addInt(0, 12, resetMode)
        .addFloat(0, 14, 1.0f)
        .addFloat(0, 15, 1.0f)
        .addFloat(0, 16, 1.0f)
        .addStreamingStop(0, 3);
    osc.processBlock(start);
    const zrhost::EventList none;
    for (auto _ : state) {
        osc.processBlock(none);
        benchmark::DoNotOptimize(osc.buffer(5).data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    // Shown in seconds per sample (an "n" suffix reads as ns per sample).
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(OscWave)
    ->ArgNames({"wave", "resetFamily", "movingPitch"})
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}, {0, 1}});

// One slot reload per iteration: the sine slot's number alternates between two files.
void LoaderSlotLoad(benchmark::State& state) {
    zrhost::HostContext context;
    context.setFileFolder(zrhost::toUtf16(tableFolder().string()));
    zrhost::AudioModule loader(library(), u"INIT Osc ZRPM", context);
    loader.attachOwnBuffer(11);
    loader.open();
    loader.setRecording(false);
    zrhost::EventList first;
    first.addGraphStart(0)
        .addText(0, 0, u"base.zrw")
        .addInt(0, 3, 1)
        .addInt(0, 5, 1)
        .addInt(0, 7, 1);
    first.addInt(0, 4, 2).addInt(0, 6, 1);
    loader.processBlock(first);
    zrhost::EventList toTwo, toOne;
    toTwo.addInt(0, 3, 2);
    toOne.addInt(0, 3, 1);
    bool two = false;
    for (auto _ : state) {
        two = !two;
        loader.processBlock(two ? toTwo : toOne);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(LoaderSlotLoad)->Unit(benchmark::kMicrosecond);

} // namespace
