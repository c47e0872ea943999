// Cost per sample of the effect and routing modules, per mode, with steady controls (cached
// coefficients: one comparison per sample) and with controls that change every sample
// (coefficients, read position or gains recomputed every sample). When the build found Faust,
// the same run times small Faust-generated equivalents (bench/faust/*.dsp) for comparison.
#include "bench/bench_library.h"
#include "bench/signals.h"
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#if defined(ZR_HAVE_FAUST)
#include <faust/dsp/dsp.h>
#include <faust/gui/UI.h>
#include <faust/gui/meta.h>

#include "faust_delay.h"
#include "faust_matrix.h"
#include "faust_pan.h"
#include "faust_svf.h"
#endif

namespace {

constexpr gmpi::int32 kBlock = 64;
constexpr float kRate = 44100.0f;

using benchrig::library;
using benchsig::noise;
using benchsig::ramp;

// Sample i of an input: noise for signals, a constant or a per-sample ramp for controls.
using Fill = std::function<float(gmpi::int32 pin, gmpi::int32 i)>;

struct Setup {
    const char16_t* id;
    std::vector<gmpi::int32> ins, outs;
    std::vector<std::pair<gmpi::int32, gmpi::int32>> ints; // int pin values at the start
    std::vector<gmpi::int32> streaming;                    // inputs declared streaming
    Fill fill;
    int pairs = 1; // channel pairs per sample, for a per-pair figure
};

void setCounters(benchmark::State& state, int pairs) {
    // Seconds per sample (and per channel pair), shown with an SI prefix (n: nanoseconds).
    const double samples = static_cast<double>(state.iterations()) * kBlock;
    state.counters["per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    if (pairs > 1)
        state.counters["per_pair"] = benchmark::Counter(
            samples * pairs, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void runModule(benchmark::State& state, const Setup& s) {
    zrhost::HostContext context;
    zrhost::AudioModule module(library(), s.id, context, {kBlock, kRate});
    for (gmpi::int32 pin : s.ins)
        module.attachOwnBuffer(pin);
    for (gmpi::int32 pin : s.outs)
        module.attachOwnBuffer(pin);
    module.setRecording(false);
    module.open();
    for (gmpi::int32 pin : s.ins) {
        auto buf = module.buffer(pin);
        for (gmpi::int32 i = 0; i < kBlock; ++i)
            buf[i] = s.fill(pin, i);
    }
    zrhost::EventList start;
    start.addGraphStart(0);
    for (gmpi::int32 pin : s.streaming)
        start.addStreamingStart(0, pin);
    for (auto [pin, value] : s.ints)
        start.addInt(0, pin, value);
    module.processBlock(start);

    const zrhost::EventList none;
    for (auto _ : state) {
        module.processBlock(none);
        benchmark::DoNotOptimize(module.buffer(s.outs.front()).data());
        benchmark::ClobberMemory();
    }
    setCounters(state, s.pairs);
}

void add(const std::string& name, Setup s) {
    benchmark::RegisterBenchmark(name.c_str(),
                                 [s = std::move(s)](benchmark::State& st) { runModule(st, s); });
}

const char* kind(bool changing) {
    return changing ? "/changing" : "/steady";
}

// "ZR-SVF-02": Input 0, Pitch 1, Resonance 2, Output 3, Mode 4, Blend 6, On 7.
void registerSvf() {
    for (int mode = 0; mode < 9; ++mode) {
        for (bool changing : {false, true}) {
            add("FxSvf/mode:" + std::to_string(mode) + kind(changing),
                {u"ZR-SVF-02",
                 {0, 1, 2, 5, 6},
                 {3},
                 {{4, mode}, {7, 1}},
                 {0, 1, 2},
                 [changing](gmpi::int32 pin, gmpi::int32 i) {
                     if (pin == 1) return ramp(changing, 0.5f, 0.0005f, i);
                     if (pin == 2) return ramp(changing, 0.5f, 0.001f, i);
                     if (pin == 6) return 0.3f;
                     return pin == 0 ? noise(pin, i) : 0.0f;
                 }});
        }
    }
}

// "ZR DIST CS": Input 0, Gain 1, Mod 3, Mod Depth 4, Drive 5, Saturation 6, Divisor 7,
// Output 9, Mode 10.
void registerDist() {
    for (int mode = 0; mode < 6; ++mode) {
        for (bool changing : {false, true}) {
            add("DistOver/mode:" + std::to_string(mode) + kind(changing),
                {u"ZR DIST CS",
                 {0, 1, 2, 3, 4, 5, 6, 7, 8},
                 {9},
                 {{10, mode}},
                 {0, 1, 3, 5, 6},
                 [changing](gmpi::int32 pin, gmpi::int32 i) {
                     switch (pin) {
                     case 0:
                         return noise(pin, i);
                     case 1:
                         return ramp(changing, 1.0f, 0.001f, i);
                     case 3:
                         return noise(pin, i);
                     case 4:
                         return 0.5f;
                     case 5:
                         return ramp(changing, 2.0f, 0.01f, i);
                     case 6:
                         return ramp(changing, 0.5f, 0.001f, i);
                     case 7:
                         return 1.0f;
                     default:
                         return 0.0f;
                     }
                 }});
        }
    }
}

// "ZR Delay v3": Delay In 0, Feedback 1, Time 2, Spread 3, Delay Level 4, Pan 5, Clear Line 6,
// Output Level 7, outputs 8-10, On 11, Interpolation 12. Modulated: Time changes every
// sample, so the read position is recomputed every sample.
void registerDelay() {
    for (int cubic : {0, 1}) {
        for (bool changing : {false, true}) {
            add(std::string("DelayTrois/") + (cubic ? "cubic" : "linear") +
                    (changing ? "/modulated" : "/steady"),
                {u"ZR Delay v3",
                 {0, 1, 2, 3, 4, 5, 6, 7},
                 {8, 9, 10},
                 {{11, 1}, {12, cubic}},
                 {0, 2, 5},
                 [changing](gmpi::int32 pin, gmpi::int32 i) {
                     switch (pin) {
                     case 0:
                         return noise(pin, i);
                     case 1:
                         return 0.5f;
                     case 2:
                         return ramp(changing, 1.0f, 0.001f, i);
                     case 4:
                         return 0.9f;
                     case 5:
                         return ramp(changing, 0.3f, 0.001f, i);
                     case 7:
                         return 1.0f;
                     default:
                         return 0.0f;
                     }
                 }});
        }
    }
}

// "ZR MATRICE 12": Common 0, inputs 1-12, outputs 13-24, On 25.
void registerMatrix() {
    std::vector<gmpi::int32> ins, outs, streaming{0};
    for (gmpi::int32 p = 0; p <= 12; ++p)
        ins.push_back(p);
    for (gmpi::int32 p = 13; p <= 24; ++p)
        outs.push_back(p);
    for (bool changing : {false, true}) {
        add(std::string("MatDouze") + kind(changing),
            {u"ZR MATRICE 12",
             ins,
             outs,
             {{25, 1}},
             ins,
             [changing](gmpi::int32 pin, gmpi::int32 i) {
                 return pin == 0 ? ramp(changing, 0.7f, 0.001f, i) : noise(pin, i);
             },
             12});
    }
}

// "ZR MixM": Input 0, Amount 1, Multiplier 2, Output 3, On 4. "ZR PanST CS": In A 0, In B 1,
// Pan 2, Left 3, Right 4, Mode 5.
void registerMixerAndPanner() {
    for (bool changing : {false, true}) {
        add(std::string("Mixm") + kind(changing),
            {u"ZR MixM",
             {0, 1, 2},
             {3},
             {{4, 1}},
             {0, 1, 2},
             [changing](gmpi::int32 pin, gmpi::int32 i) {
                 return pin == 1 ? ramp(changing, 0.0f, 0.001f, i) : noise(pin, i);
             }});
        for (int mode : {0, 1}) {
            add("PanStCS/mode:" + std::to_string(mode) + kind(changing),
                {u"ZR PanST CS",
                 {0, 1, 2},
                 {3, 4},
                 {{5, mode}},
                 {0, 1, 2},
                 [changing](gmpi::int32 pin, gmpi::int32 i) {
                     return pin == 2 ? ramp(changing, 0.2f, 0.002f, i) : noise(pin, i);
                 }});
        }
    }
}

#if defined(ZR_HAVE_FAUST)
// A Faust-generated class fed the same kind of buffers as the module it stands beside.
template <class Dsp>
void runFaust(benchmark::State& state, const Fill& fill, int pairs) {
    auto dsp = std::make_unique<Dsp>();
    dsp->init(static_cast<int>(kRate));
    std::vector<std::vector<float>> in(dsp->getNumInputs(), std::vector<float>(kBlock));
    std::vector<std::vector<float>> out(dsp->getNumOutputs(), std::vector<float>(kBlock));
    std::vector<float*> inPtr, outPtr;
    for (int c = 0; c < dsp->getNumInputs(); ++c) {
        for (gmpi::int32 i = 0; i < kBlock; ++i)
            in[c][i] = fill(c, i);
        inPtr.push_back(in[c].data());
    }
    for (auto& o : out)
        outPtr.push_back(o.data());
    for (auto _ : state) {
        dsp->compute(kBlock, inPtr.data(), outPtr.data());
        benchmark::DoNotOptimize(outPtr.front());
        benchmark::ClobberMemory();
    }
    setCounters(state, pairs);
}

template <class Dsp>
void addFaust(const std::string& name, Fill fill, int pairs = 1) {
    benchmark::RegisterBenchmark(name.c_str(), [fill = std::move(fill), pairs](auto& st) {
        runFaust<Dsp>(st, fill, pairs);
    });
}

// Faust inputs in .dsp order.
void registerFaust() {
    for (bool changing : {false, true}) {
        // x, pitch, resonance
        addFaust<Faust_svf>(std::string("Faust/svf") + kind(changing),
                            [changing](gmpi::int32 c, gmpi::int32 i) {
                                if (c == 1) return ramp(changing, 0.5f, 0.0005f, i);
                                if (c == 2) return ramp(changing, 0.5f, 0.001f, i);
                                return noise(c, i);
                            });
        // x, feedback, time, level, pan, output level
        addFaust<Faust_delay>(std::string("Faust/delay") + (changing ? "/modulated" : "/steady"),
                              [changing](gmpi::int32 c, gmpi::int32 i) {
                                  switch (c) {
                                  case 0:
                                      return noise(c, i);
                                  case 1:
                                      return 0.5f;
                                  case 2:
                                      return ramp(changing, 1.0f, 0.001f, i);
                                  case 3:
                                      return 0.9f;
                                  case 4:
                                      return ramp(changing, 0.3f, 0.001f, i);
                                  default:
                                      return 1.0f;
                                  }
                              });
        // a, b, pan
        addFaust<Faust_pan>(std::string("Faust/pan") + kind(changing),
                            [changing](gmpi::int32 c, gmpi::int32 i) {
                                return c == 2 ? ramp(changing, 0.2f, 0.002f, i) : noise(c, i);
                            });
        // common, then twelve inputs
        addFaust<Faust_matrix>(
            std::string("Faust/matrix") + kind(changing),
            [changing](gmpi::int32 c, gmpi::int32 i) {
                return c == 0 ? ramp(changing, 0.7f, 0.001f, i) : noise(c, i);
            },
            12);
    }
}
#endif

const int registered = [] {
    registerSvf();
    registerDist();
    registerDelay();
    registerMatrix();
    registerMixerAndPanner();
#if defined(ZR_HAVE_FAUST)
    registerFaust();
#endif
    return 0;
}();

} // namespace
