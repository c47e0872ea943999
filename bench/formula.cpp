// Cost of the expression evaluator and of "VL Float Function DSP": one evaluation of a formula
// with ten operators (parsed once, and parsed every time), and the per-sample cost of the
// module when its input changes on every sample of a block.
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "modules/formula/Evaluator.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

using namespace zrhost;

namespace {

// Ten binary operators: * + / - * + - * + ^
constexpr const char* kTenOperators = "a*2 + a/3 - a*a + (a-1)*0.5 + a^2";

void EvaluateParsedFormula(benchmark::State& state) {
    zr::Evaluator ev;
    zr::Formula formula;
    formula.compile(kTenOperators);
    double a = 0.0, result = 0.0;
    for (auto _ : state) {
        ev.setVariable("a", a);
        ev.run(formula, result);
        benchmark::DoNotOptimize(result);
        a += 0.001;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(EvaluateParsedFormula);

void ParseAndEvaluateFormula(benchmark::State& state) {
    zr::Evaluator ev;
    double a = 0.0, result = 0.0;
    for (auto _ : state) {
        ev.setVariable("a", a);
        ev.evaluate(kTenOperators, result);
        benchmark::DoNotOptimize(result);
        a += 0.001;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ParseAndEvaluateFormula);

// Blocks of 64 frames with a new value of A on every frame: 64 evaluations and 64 sends per
// block. Items are samples. Argument 0: formula "A*2"; 1: the ten-operator formula.
void FloatFunctionDspPerSample(benchmark::State& state) {
    constexpr int kFrames = 64;
    HostContext context;
    AudioModule m(benchrig::library(), u"VL Float Function DSP", context, {kFrames, 48000.0f});
    m.setRecording(false);
    m.open();
    const std::u16string formula = state.range(0) ? u"a*2 + a/3 - a*a + (a-1)*0.5 + a^2" : u"A*2";
    EventList start;
    start.addGraphStart(0).addText(0, 2, formula);
    m.processBlock(start);
    std::vector<std::unique_ptr<EventList>> blocks;
    for (int b = 0; b < 8; ++b) {
        blocks.push_back(std::make_unique<EventList>());
        for (int i = 0; i < kFrames; ++i)
            blocks.back()->addFloat(i, 0, 0.01f * static_cast<float>(b * kFrames + i));
    }
    std::size_t next = 0;
    for (auto _ : state) {
        m.processBlock(*blocks[next]);
        next = (next + 1) % blocks.size();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(FloatFunctionDspPerSample)->Arg(0)->Arg(1);

} // namespace
