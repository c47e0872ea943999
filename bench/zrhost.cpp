// The patch engine's own cost per block for patches of 16 modules: the engine rendering a
// block, against the same 16 modules called directly with their buffers wired by hand (the
// modules' own work). The difference is what the host adds: event lists, input buffers,
// relays, output channels. Also: the cost per voice of many parallel voices (it stays flat
// while the buffers in use fit the cache), and how reading and wiring a chain grows with its
// length.
//
// The modules are the filter bank in mode 0, which copies its input: about the cheapest
// module there is, so the host's share shows.
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "host/engine.h"
#include "host/event_list.h"
#include "host/module_catalog.h"
#include "host/module_library.h"
#include "tools/zrhost/patch_file.h"
#include "tools/zrhost/wavetable_cache.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kModules = 16;
constexpr int kBlock = 64;

using benchrig::library;

const zrhost::ModuleCatalog& catalog() {
    return zrhost::sharedModuleCatalog(ZR_MODULE_LIBRARY_PATH);
}

// `length` copies in a chain (16 unless said). `mixed`: each input also adds a constant, so the
// host sums every input into a buffer of its own instead of handing over the source's buffer.
std::string chainPatch(bool mixed, int length = kModules, int block = kBlock) {
    std::string modules, connections;
    for (int i = 0; i < length; ++i) {
        const std::string name = "m" + std::to_string(i);
        modules += (i ? ", " : "") +
                   ("\"" + name + "\": {\"id\": \"ZR-LPF over CS\", " + "\"values\": {\"Mode\": 0" +
                    (i == 0 || mixed ? ", \"Input\": 0.01" : "") + "}}");
        if (i)
            connections += std::string(i > 1 ? ", " : "") + "[\"m" + std::to_string(i - 1) +
                           ".Output\", \"" + name + ".Input\"]";
    }
    return "{\"blockSize\": " + std::to_string(block) + ", \"seconds\": 1, \"modules\": {" +
           modules + "}, \"connections\": [" + connections + "], \"output\": [\"m" +
           std::to_string(length - 1) + ".Output\"]}";
}

// `voices` parallel voices, each an oscillator through a filter into an envelope used as its
// amplifier, every envelope feeding the output: the standard wavetables loaded and every
// envelope gated, so that each voice sounds (the oscillators' pitches spread over a volt, so
// that their reads cover several zones of the table, as a chord's would). `shared`: one
// oscillator feeds every voice, so that a voice is the two cheapest modules. A voice's modules
// take about 4.4 kB (their objects: state and pins), so from about 64 voices on they no longer
// fit the cache together.
std::string voicesPatch(int voices, bool shared) {
    const auto osc = [](const std::string& name, double pitch) {
        return "\"" + name +
               "\": {\"id\": \"Osc ZRPM\", \"values\": {\"Pitch\": " + std::to_string(pitch) +
               ", \"Gate\": 1, \"Wave\": 2, \"Saw Level\": 0.5}}, ";
    };
    std::string modules = R"("tables": {"id": "INIT Osc ZRPM", "values": {"File": "base.zrw",
        "Sine Slot Type": 0, "Sine Slot Number": 1, "Saw Slot Type": 2, "Saw Slot Number": 1,
        "Tri Slot Type": 1, "Tri Slot Number": 1}}, )";
    if (shared) modules += osc("o", 0.4);
    std::string connections, outputs;
    for (int v = 0; v < voices; ++v) {
        const std::string n = std::to_string(v);
        const std::string source = shared ? "o" : "o" + n;
        if (!shared) modules += osc(source, 0.4 + 0.1 * v / voices);
        modules += "\"f" + n + "\": {\"id\": \"ZR-LPF over CS\", \"values\": {\"Mode\": 1, " +
                   "\"Pitch\": 0.6, \"Resonance\": 0.2}}, \"e" + n +
                   "\": {\"id\": \"QORVALIS ZR-ADSR D\", \"values\": {\"Enable\": 1, " +
                   "\"Gate\": 1, \"Attack\": 0.3, \"Decay\": 0.5, \"Sustain\": 0.6, " +
                   "\"Release\": 0.5}}" + (v + 1 < voices ? ", " : "");
        connections += (v ? ", " : "") +
                       ("[\"" + source + ".Audio Out\", \"f" + n + ".Input\"], ") + "[\"f" + n +
                       ".Output\", \"e" + n + ".Level\"]";
        outputs += (v ? ", " : "") + ("\"e" + n + ".Envelope\"");
    }
    return "{\"blockSize\": " + std::to_string(kBlock) +
           ", \"seconds\": 1000, \"standardWavetables\": true, \"modules\": {" + modules +
           "}, \"connections\": [" + connections + "], \"output\": [[" + outputs + "]]}";
}

// 16 oscillators with a static gate of 0: after two blocks every one of them sleeps.
std::string sleepingPatch() {
    std::string modules;
    for (int i = 0; i < kModules; ++i)
        modules += (i ? ", " : "") + ("\"o" + std::to_string(i) +
                                      "\": {\"id\": \"Osc ZRPM\", \"values\": {\"Gate\": 0}}");
    return "{\"blockSize\": " + std::to_string(kBlock) + ", \"modules\": {" + modules +
           "}, \"output\": [\"o0.Audio Out\"]}";
}

// Time per block and per module of a block, from the loop's iterations.
void timePerBlockAndModule(benchmark::State& state) {
    state.counters["ns/block"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["ns/module"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kModules,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void runEngine(benchmark::State& state, const std::string& json, int block = kBlock) {
    zrhost::Engine engine(library(), zrhost::parsePatch(json, "bench", catalog()));
    std::vector<float> out(static_cast<std::size_t>(block) * 2);
    for (int i = 0; i < 8; ++i) // past graph start and into the steady state
        engine.renderFrames(block, out.data());
    for (auto _ : state) {
        engine.renderFrames(block, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    timePerBlockAndModule(state);
}

void BM_EngineChain16(benchmark::State& state) {
    runEngine(state, chainPatch(false));
}
BENCHMARK(BM_EngineChain16)->Unit(benchmark::kNanosecond);

void BM_EngineMixedChain16(benchmark::State& state) {
    runEngine(state, chainPatch(true));
}
BENCHMARK(BM_EngineMixedChain16)->Unit(benchmark::kNanosecond);

// One frame per block: the engine's fixed cost per block call dominates.
void BM_EngineChain16Block1(benchmark::State& state) {
    runEngine(state, chainPatch(false, kModules, 1), 1);
}
BENCHMARK(BM_EngineChain16Block1)->Unit(benchmark::kNanosecond);

// Time per voice of a block, for 16 to 512 voices: flat when the engine neither touches more
// per voice as voices are added nor waits for the modules' memory once it has left the cache.
void runVoices(benchmark::State& state, bool shared) {
    const int voices = static_cast<int>(state.range(0));
    zrhost::Patch patch = zrhost::parsePatch(voicesPatch(voices, shared), "bench", catalog());
    zrhost::prepareWavetables(patch);
    zrhost::Engine engine(library(), std::move(patch));
    std::vector<float> out(static_cast<std::size_t>(kBlock));
    for (int i = 0; i < 8; ++i)
        engine.renderFrames(kBlock, out.data());
    for (auto _ : state) {
        engine.renderFrames(kBlock, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ns/voice"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * voices,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EngineVoices(benchmark::State& state) {
    runVoices(state, false);
}
BENCHMARK(BM_EngineVoices)->Arg(16)->Arg(64)->Arg(256)->Arg(512)->Unit(benchmark::kMicrosecond);

void BM_EngineVoicesSharedOsc(benchmark::State& state) {
    runVoices(state, true);
}
BENCHMARK(BM_EngineVoicesSharedOsc)
    ->Arg(16)
    ->Arg(64)
    ->Arg(256)
    ->Arg(512)
    ->Unit(benchmark::kMicrosecond);

void BM_EngineAllAsleep16(benchmark::State& state) {
    runEngine(state, sleepingPatch());
}
BENCHMARK(BM_EngineAllAsleep16)->Unit(benchmark::kNanosecond);

// The same chain without the engine: each module's input buffer is its predecessor's output
// buffer, and process is called with an empty event list once the modules are running.
void BM_DirectChain16(benchmark::State& state) {
    zrhost::HostContext context;
    std::vector<std::unique_ptr<zrhost::AudioModule>> modules;
    std::vector<std::vector<float>> buffers(kModules + 1, std::vector<float>(kBlock, 0.0f));
    std::fill(buffers[0].begin(), buffers[0].end(), 0.01f);
    for (int i = 0; i < kModules; ++i) {
        auto m = std::make_unique<zrhost::AudioModule>(library(), u"ZR-LPF over CS", context,
                                                       zrhost::AudioSettings{kBlock, 44100.0f});
        m->setRecording(false);
        m->attachBuffer(0, buffers[static_cast<std::size_t>(i)].data());
        for (gmpi::int32 pin : {1, 2, 5, 6})
            m->attachOwnBuffer(pin);
        m->attachBuffer(3, buffers[static_cast<std::size_t>(i) + 1].data());
        m->open();
        modules.push_back(std::move(m));
    }
    zrhost::EventList start, none;
    start.addGraphStart(0).addInt(0, 4, 0).addStreamingStart(0, 0);
    for (auto& m : modules)
        m->processBlock(start);
    for (auto _ : state) {
        for (auto& m : modules)
            m->processBlock(none);
        benchmark::DoNotOptimize(buffers.back().data());
    }
    timePerBlockAndModule(state);
}
BENCHMARK(BM_DirectChain16)->Unit(benchmark::kNanosecond);

// Reading and resolving a chain of N modules, and wiring it into an engine (run order
// included): both grow linearly with N (the complexity fit reports the order).
void BM_ResolveChain(benchmark::State& state) {
    const std::string json = chainPatch(false, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(zrhost::parsePatch(json, "bench", catalog()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ResolveChain)
    ->RangeMultiplier(4)
    ->Range(1000, 64000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_BuildChainEngine(benchmark::State& state) {
    const zrhost::Patch patch =
        zrhost::parsePatch(chainPatch(false, static_cast<int>(state.range(0))), "bench", catalog());
    for (auto _ : state) {
        zrhost::Engine engine(library(), patch);
        benchmark::DoNotOptimize(engine.runOrder().data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BuildChainEngine)
    ->RangeMultiplier(4)
    ->Range(1000, 64000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace
