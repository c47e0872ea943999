// Cost per sample of each DADSR block routine: attack, decay and sustain stages of the
// attack-decay-sustain routine and the release routine (fixed-time and level-scaled, table,
// straight-line, doubled-table and absent curves), the held release and the silence routine.
// "steady" keeps every input constant; "changing" feeds inputs that differ on every sample,
// so every block starts on new time values and recomputes its powers.
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace {

using gmpi::int32;

enum Pin : int32 {
    Enable,
    Attack,
    Decay,
    Sustain,
    Release,
    Level,
    AttackShape,
    DecayShape,
    ReleaseShape,
    Envelope,
    RestartFromZero,
    AttackRange,
    DecayRange,
    ReleaseRange,
    Delay,
    Gate,
    Trigger,
    FixedTime,
    HoldRelease
};
constexpr std::array<int32, 7> kInputs = {Enable, Attack, Decay, Sustain, Release, Level, Delay};
constexpr int32 kBlock = 64; // the block size the goals are stated at

using benchrig::library;

enum class Stage { Attack, Decay, Sustain, Release, Held, Silence };

// One envelope brought into the wanted stage, with two sets of input buffers to alternate.
class Bench {
  public:
    Bench(Stage stage, bool fixedTime, int curve, bool changing)
        : module_(library(), u"QORVALIS ZR-ADSR D", context_, {kBlock, 44100.0f}),
          changing_(changing) {
        module_.setRecording(false);
        module_.attachOwnBuffer(Envelope);
        // Long segments (control 3: 2^20 s) keep the envelope in the stage being measured.
        std::map<int32, float> base = {{Enable, 1.0f},  {Attack, 0.0f},  {Decay, 0.0f},
                                       {Sustain, 0.5f}, {Release, 3.0f}, {Level, 0.8f},
                                       {Delay, 0.0f}};
        if (stage == Stage::Attack) base[Attack] = 3.0f;
        if (stage == Stage::Decay) base[Decay] = 3.0f;
        if (stage == Stage::Silence) base[Enable] = 0.0f;
        for (int set = 0; set < 2; ++set)
            for (int32 pin : kInputs) {
                auto& b = buffers_[set][pin];
                b.resize(kBlock);
                for (int i = 0; i < kBlock; ++i)
                    b[static_cast<std::size_t>(i)] =
                        base[pin] * (changing ? 1.0f + 1e-4f * std::sin(i + set * 0.5f) : 1.0f);
            }
        attach(0);
        module_.open();

        zrhost::EventList start;
        start.addGraphStart(0);
        // Only the measured segment takes the curve under test; the others are straight lines
        // so that the envelope gets there (an absent curve would never leave the attack).
        const int32 attackCurve = stage == Stage::Attack ? curve : 2;
        const int32 decayCurve = stage == Stage::Decay ? curve : 2;
        const int32 init[][2] = {{AttackShape, attackCurve},
                                 {DecayShape, decayCurve},
                                 {ReleaseShape, curve},
                                 {FixedTime, fixedTime ? 1 : 0},
                                 {HoldRelease, stage == Stage::Held ? 1 : 0},
                                 {RestartFromZero, 0},
                                 {AttackRange, 0},
                                 {DecayRange, 0},
                                 {ReleaseRange, 0},
                                 {Gate, 1}};
        for (const auto& [pin, value] : init)
            start.addInt(0, pin, value);
        // An input that streams keeps even the silent module awake.
        start.addStreamingStart(0, Level);
        module_.processBlock(start);
        module_.processBlocks(20); // through the 1 ms segments
        if (stage == Stage::Release || stage == Stage::Held) {
            zrhost::EventList off;
            off.addInt(0, Gate, 0);
            module_.processBlock(off);
        }
    }

    void attach(int set) {
        for (int32 pin : kInputs)
            module_.attachBuffer(pin, buffers_[set][pin].data());
    }

    void block() {
        if (changing_) attach(set_ ^= 1);
        module_.plugin()->process(kBlock, nullptr);
    }

    float lastSample() { return module_.buffer(Envelope)[kBlock - 1]; }

  private:
    zrhost::HostContext context_;
    zrhost::AudioModule module_;
    bool changing_;
    int set_ = 0;
    std::map<int32, std::vector<float>> buffers_[2];
};

void run(benchmark::State& state, Stage stage) {
    Bench bench(stage, state.range(0) != 0, static_cast<int>(state.range(1)), state.range(2) != 0);
    for (auto _ : state) {
        bench.block();
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(bench.lastSample());
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void attack(benchmark::State& s) {
    run(s, Stage::Attack);
}
void decay(benchmark::State& s) {
    run(s, Stage::Decay);
}
void sustain(benchmark::State& s) {
    run(s, Stage::Sustain);
}
void release(benchmark::State& s) {
    run(s, Stage::Release);
}
void heldRelease(benchmark::State& s) {
    run(s, Stage::Held);
}
void silence(benchmark::State& s) {
    run(s, Stage::Silence);
}

// fixed: 1 fixed-time, 0 level-scaled; curve: 0 table, 2 straight line, 4 doubled table,
// 7 none; changing: 0 steady inputs, 1 inputs that change every sample.
void curves(benchmark::internal::Benchmark* b) {
    b->ArgNames({"fixed", "curve", "changing"})->ArgsProduct({{1, 0}, {0, 2, 4, 7}, {0, 1}});
}
void plain(benchmark::internal::Benchmark* b) {
    b->ArgNames({"fixed", "curve", "changing"})->ArgsProduct({{1, 0}, {2}, {0, 1}});
}

} // namespace

BENCHMARK(attack)->Apply(curves);
BENCHMARK(decay)->Apply(curves);
BENCHMARK(sustain)->Apply(plain);
BENCHMARK(release)->Apply(curves);
BENCHMARK(heldRelease)->Apply(plain);
BENCHMARK(silence)->ArgNames({"fixed", "curve", "changing"})->Args({1, 2, 0});
