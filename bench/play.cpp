// `zrhost play`'s audio callback against the buffer period it must meet, at 64 and 256 frames
// and 48 kHz: a render thread fills the block queue from a running patch (two channels, 64-frame
// blocks) while the benchmark, standing in for the server's callback, copies one period out of
// it per iteration. The time shown is the callback's own (the wait for the render thread is
// left out); the counters give the worst callback seen, the period and any underruns.
#include "bench/bench_library.h"
#include "host/engine.h"
#include "host/module_catalog.h"
#include "tools/zrhost/patch_file.h"
#include "tools/zrhost/play_stream.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 64;

// An oscillator and a filter it feeds, both to the output: two channels of real module work,
// rendered block after block past the patch's length.
const char* const kPatch = R"({"sampleRate": 48000, "blockSize": 64,
    "modules": {"osc": {"id": "Osc ZRPM", "values": {"Pitch": 0.5, "Gate": 1}},
                "f": {"id": "ZR-LPF over CS", "values": {"Mode": 0}}},
    "connections": [["osc.Audio Out", "f.Input"]],
    "output": ["osc.Audio Out", "f.Output"]})";

void BM_PlayCallback(benchmark::State& state) {
    const int period = static_cast<int>(state.range(0));
    const auto& catalog = zrhost::sharedModuleCatalog(ZR_MODULE_LIBRARY_PATH);
    zrhost::Engine engine(benchrig::library(), zrhost::parsePatch(kPatch, "bench", catalog));
    // The queue play would size: a quarter second, at least four periods.
    const int queued = std::max(static_cast<int>(0.25 * kRate), 4 * period);
    zrhost::PlayStream stream(engine.channels(), kBlock, (queued + kBlock - 1) / kBlock + 1);

    std::atomic<bool> stop{false};
    std::thread render([&] {
        while (!stop.load()) {
            if (float* slot = stream.queue().writeSlot()) {
                engine.renderFrames(kBlock, slot);
                stream.queue().publish(kBlock);
            } else {
                std::this_thread::yield();
            }
        }
    });
    std::vector<std::vector<float>> buffers(static_cast<std::size_t>(engine.channels()),
                                            std::vector<float>(static_cast<std::size_t>(period)));
    std::vector<float*> outs;
    for (auto& b : buffers)
        outs.push_back(b.data());
    const int periodBlocks = (period + kBlock - 1) / kBlock + 1;

    for (auto _ : state) {
        // The server calls once a period; by then the render thread has refilled the queue.
        while (stream.queue().size() < periodBlocks)
            std::this_thread::yield();
        const auto start = std::chrono::steady_clock::now();
        stream.fill(outs.data(), period);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(outs.data());
    }
    stop.store(true);
    render.join();

    const zrhost::PlayStats s = stream.stats();
    state.counters["worst_us"] = static_cast<double>(s.worstNanoseconds) / 1e3;
    state.counters["period_us"] = 1e6 * period / kRate;
    state.counters["underruns"] = static_cast<double>(s.underruns);
}
BENCHMARK(BM_PlayCallback)
    ->Arg(64)
    ->Arg(256)
    ->Iterations(100000)
    ->UseManualTime()
    ->Unit(benchmark::kNanosecond);

} // namespace
