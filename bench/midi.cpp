// MIDI throughput of the MIDI and voice modules in nanoseconds per event (a block of 1,024
// messages, reported as items per second), the key split's limiter at flood sizes (linear in
// the number of events), and the voice mute per sample while copying and while fading.
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr gmpi::int32 kBlock = 256;

using benchrig::library;

struct IntSetting {
    gmpi::int32 pin, value;
};

// A random stream of note-ons and note-offs on `channels` channels over 48 keys.
void fillNotes(zrhost::EventList& events, gmpi::int32 pin, int count, int channels) {
    std::mt19937 rng(11);
    for (int i = 0; i < count; ++i) {
        const auto c = static_cast<std::uint8_t>(rng() % channels);
        const auto note = static_cast<std::uint8_t>(36 + rng() % 48);
        const std::uint8_t m[3] = {static_cast<std::uint8_t>((rng() & 1 ? 0x90 : 0x80) + c), note,
                                   100};
        events.addMidi(static_cast<gmpi::int32>(static_cast<long>(i) * kBlock / count), pin, m);
    }
}

void runMidi(benchmark::State& state, const char16_t* id, std::vector<gmpi::int32> audioPins,
             std::vector<IntSetting> settings, int channels) {
    zrhost::HostContext context;
    zrhost::AudioModule module(library(), id, context, {kBlock, 44100.0f});
    for (gmpi::int32 pin : audioPins)
        module.attachOwnBuffer(pin);
    module.setRecording(false);
    module.open();
    zrhost::EventList start;
    start.addGraphStart(0);
    for (auto s : settings)
        start.addInt(0, s.pin, s.value);
    module.processBlock(start);

    const int count = static_cast<int>(state.range(0));
    zrhost::EventList notes;
    fillNotes(notes, 0, count, channels);
    for (auto _ : state) {
        module.processBlock(notes);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetComplexityN(count);
}

void BM_MidiAllOff(benchmark::State& s) {
    runMidi(s, u"zr midi all off", {}, {{2, 5}}, 16);
}
void BM_MidiOnOff(benchmark::State& s) {
    runMidi(s, u"zr midi on off", {}, {{2, 5}, {3, 1}}, 16);
}
void BM_PrgChangeMidi(benchmark::State& s) {
    runMidi(s, u"ZrPrgChange", {1, 2, 3}, {{5, 2}}, 16);
}
void BM_UnisonFix(benchmark::State& s) {
    runMidi(s, u"VL Unison Fix", {}, {}, 16);
}
void BM_ZrmodAllocator(benchmark::State& s) {
    runMidi(
        s, u"ZR-MOD CS", {},
        {{2, 0}, {3, 8}, {4, 1}, {5, 1}, {8, 1}, {9, -1}, {11, 0}, {12, 59}, {13, 60}, {14, 127}},
        4);
}
void BM_ZrmodCopy(benchmark::State& s) {
    runMidi(s, u"ZR-MOD CS", {},
            {{2, 1}, {3, 3}, {8, 1}, {9, -1}, {11, 0}, {12, 127}, {13, 0}, {14, 127}}, 4);
}

BENCHMARK(BM_MidiAllOff)->Arg(1024);
BENCHMARK(BM_MidiOnOff)->Arg(1024);
BENCHMARK(BM_PrgChangeMidi)->Arg(1024);
BENCHMARK(BM_UnisonFix)->Arg(1024);
BENCHMARK(BM_ZrmodAllocator)->RangeMultiplier(4)->Range(256, 16384)->Complexity(benchmark::oN);
BENCHMARK(BM_ZrmodCopy)->Arg(1024);

// Voice mute per sample: copying an active voice, and fading (the voice released every block
// and activated again, so that every measured block runs the slow fade's table read).
constexpr gmpi::int32 kInput = 0, kActive = 1, kOutput = 2;

void runVoiceMute(benchmark::State& state, bool fading) {
    zrhost::HostContext context;
    zrhost::AudioModule module(library(), u"VL Voice Mute", context, {kBlock, 48000.0f});
    for (gmpi::int32 pin : {kInput, kOutput})
        module.attachOwnBuffer(pin);
    module.setRecording(false);
    module.open();
    auto in = module.buffer(kInput);
    for (gmpi::int32 i = 0; i < kBlock; ++i)
        in[i] = 0.001f * static_cast<float>(i);
    zrhost::EventList start;
    start.addGraphStart(0).addStreamingStart(0, kInput).addFloat(0, kActive, 1.0f);
    module.processBlock(start);
    // A 20 ms fade at 48 kHz is 960 samples: re-armed (active at 0, released at 1) every third
    // block, so that no measured block reaches the end of a fade.
    zrhost::EventList rearm;
    rearm.addFloat(0, kActive, 1.0f).addFloat(1, kActive, 0.0f);
    const zrhost::EventList none;
    long blocks = 0;
    for (auto _ : state) {
        module.processBlock(fading && blocks % 3 == 0 ? rearm : none);
        ++blocks;
        benchmark::DoNotOptimize(module.buffer(kOutput).data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

void BM_VoiceMuteCopy(benchmark::State& s) {
    runVoiceMute(s, false);
}
void BM_VoiceMuteFade(benchmark::State& s) {
    runVoiceMute(s, true);
}
BENCHMARK(BM_VoiceMuteCopy);
BENCHMARK(BM_VoiceMuteFade);

} // namespace
