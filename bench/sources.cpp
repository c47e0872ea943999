// Costs of the sources in ns per sample: the sine oscillator, the sync oscillator per family
// (free, external master, internal master at 2, 4 and 8 times), the ring modulator in both
// qualities, and the tempo clock, each at a steady and at a changing pitch (or band, or tempo
// division).
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace {

constexpr int kBlock = 256;

using benchrig::library;

// The oscillators read whatever the slots hold: a sine in every zone, planted directly.
void plantSlots(zrhost::HostContext& context) {
    for (const char16_t* name :
         {u"QORV_OSC-ZRPM-sine", u"QORV_OSC-ZRPM-saw", u"QORV_OSC-ZRPM-tri"}) {
        void* p = nullptr;
        gmpi::int32 isNew = 0;
        context.sharedMemory().allocate(name, &p, -1.0f, 127256 * 4, isNew);
        float* t = static_cast<float*>(p);
        for (int i = 0; i < 127256; ++i)
            t[i] = static_cast<float>(std::sin(2.0 * std::numbers::pi * (i - 4360) / 2048.0));
    }
}

void perSample(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A module with the given audio inputs filled once, started with `start`, then run block
// after block without events.
void runModule(benchmark::State& state, const char16_t* id, const std::vector<int>& pins,
               const std::function<void(zrhost::AudioModule&, zrhost::EventList&)>& setUp) {
    zrhost::HostContext context;
    plantSlots(context);
    zrhost::AudioModule m(library(), id, context, {kBlock, 44100.0f});
    for (int pin : pins)
        m.attachOwnBuffer(pin);
    m.open();
    m.setRecording(false);
    zrhost::EventList start;
    start.addGraphStart(0);
    setUp(m, start);
    m.processBlock(start);
    const zrhost::EventList none;
    for (auto _ : state) {
        m.processBlock(none);
        benchmark::ClobberMemory();
    }
    perSample(state);
}

void fill(zrhost::AudioModule& m, int pin, const std::function<float(int)>& f) {
    auto b = m.buffer(pin);
    for (int i = 0; i < kBlock; ++i)
        b[i] = f(i);
}

std::function<float(int)> pitchSignal(bool moving, float at) {
    return [=](int i) { return moving ? at - 0.1f + 0.0008f * static_cast<float>(i) : at; };
}

// Args: reset family (Reset Mode 0 or 1), pitch changing every sample.
void Sine(benchmark::State& state) {
    const bool moving = state.range(1) != 0;
    runModule(state, u"ZR Osc SINE", {0, 1, 2, 3, 6}, [&](auto& m, auto& ev) {
        fill(m, 0, pitchSignal(moving, 0.45f));
        fill(m, 1, [](int) { return 1.0f; });
        ev.addInt(0, 5, static_cast<int>(state.range(0))).addFloat(0, 7, 1.0f);
        ev.addStreamingStop(0, 1);
    });
}
BENCHMARK(Sine)->ArgNames({"resetFamily", "movingPitch"})->ArgsProduct({{0, 1}, {0, 1}});

// Args: wave, family (0 free, 1 external master, 2/4/8 internal master at that factor), pitch
// changing every sample, and the sync: 0 a hard restart (Sync Amount 0: no crossfade, no
// fade), 1 the heaviest (Sync Amount 1.2: a crossfade after each master cycle and the fade
// towards the master frequency, master pitch 0.7). The external master's signals are those of
// a 440 Hz master; its fade needs Sync Mode 2.
void Sync(benchmark::State& state) {
    const int wave = static_cast<int>(state.range(0));
    const int family = static_cast<int>(state.range(1));
    const bool moving = state.range(2) != 0;
    const float amount = state.range(3) != 0 ? 1.2f : 0.0f;
    const std::vector<int> pins = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 16, 21};
    runModule(state, u"Osc ZRPM Sync", pins, [&](auto& m, auto& ev) {
        fill(m, 0, pitchSignal(moving, 0.62f));
        fill(m, 2, [](int) { return 0.2f; });
        fill(m, 3, [](int) { return 1.0f; });
        fill(m, 5, pitchSignal(moving, 0.7f));
        const float inc = 440.0f * 2048.0f / 44100.0f;
        fill(m, 6, [=](int i) {
            const float p = std::fmod(static_cast<float>(i + 1) * inc, 2048.0f);
            return p < inc ? p : 0.0f;
        });
        fill(m, 7, [=](int) { return inc; });
        fill(m, 8, [](int) { return 0.3f; });
        fill(m, 9, [](int) { return 4360.0f + 2048.0f * 30.0f; });
        fill(m, 21, [=](int) { return amount; });
        ev.addInt(0, 11, family == 0 ? 0 : 1)
            .addInt(0, 12, family == 1 ? 2 : -family)
            .addInt(0, 14, wave)
            .addInt(0, 15, 0);
        for (int pin : {17, 18, 19})
            ev.addFloat(0, pin, 0.8f);
        ev.addStreamingStop(0, 3);
    });
}
BENCHMARK(Sync)
    ->ArgNames({"wave", "family", "movingPitch", "heavySync"})
    ->ArgsProduct({{0, 1, 4}, {0, 1, 2, 4, 8}, {0, 1}, {0, 1}});

// Args: quality, band controls changing every sample.
void Ring(benchmark::State& state) {
    const bool moving = state.range(1) != 0;
    runModule(state, u"ZR-RING ZRPM CS", {0, 1, 2, 3, 7, 8, 9}, [&](auto& m, auto& ev) {
        fill(m, 0, [](int i) { return std::sin(0.05f * static_cast<float>(i)); });
        fill(m, 1, [](int i) { return std::sin(0.013f * static_cast<float>(i)); });
        fill(m, 8, pitchSignal(moving, 0.3f));
        fill(m, 9, pitchSignal(moving, 0.7f));
        ev.addInt(0, 4, 1).addInt(0, 5, 1).addInt(0, 6, static_cast<int>(state.range(0)));
    });
}
BENCHMARK(Ring)->ArgNames({"quality", "movingBand"})->ArgsProduct({{0, 1}, {0, 1}});

// Args: pulses per beat at 120 BPM (4: an edge every 2756 samples; 256: every 43).
void Clock(benchmark::State& state) {
    runModule(state, u"ZR BPM Clock3", {3}, [&](auto&, auto& ev) {
        ev.addFloat(0, 0, 120.0f)
            .addFloat(0, 1, 0.0f)
            .addInt(0, 2, static_cast<int>(state.range(0)))
            .addInt(0, 5, 1);
    });
}
BENCHMARK(Clock)->ArgName("division")->Arg(4)->Arg(256);

} // namespace
