// Cost of the patch-memory modules: one audio block carrying a changed value (float and text),
// an idle block, and one GUI relay from the host side to the panel side.
#include "bench/bench_library.h"
#include "host/audio_module.h"
#include "host/gui_module.h"

#include <benchmark/benchmark.h>

using namespace zrhost;

namespace {

using benchrig::library;

// Blocks of 64 frames, each with one value on pin 0 that differs from the last, so that every
// block copies and sends.
template <class Add>
void runBlocks(benchmark::State& state, const char16_t* id, Add add) {
    HostContext context;
    AudioModule m(library(), id, context);
    m.setRecording(false);
    m.open();
    EventList start;
    start.addGraphStart(0);
    m.processBlock(start);
    EventList even, odd;
    add(even, 0);
    add(odd, 1);
    bool flip = false;
    for (auto _ : state) {
        m.processBlock(flip ? odd : even);
        flip = !flip;
    }
    state.SetItemsProcessed(state.iterations());
}

void FloatBlockWithValue(benchmark::State& state) {
    runBlocks(state, u"VL PatchMemory Float",
              [](EventList& e, int k) { e.addFloat(17, 0, 0.25f + static_cast<float>(k)); });
}
BENCHMARK(FloatBlockWithValue);

void TextBlockWithValue(benchmark::State& state) {
    runBlocks(state, u"VL PatchMemory Text2", [](EventList& e, int k) {
        e.addText(17, 0,
                  k ? u"a patch name of 32 characters..." : u"another name, also 32 characters");
    });
}
BENCHMARK(TextBlockWithValue);

void FloatIdleBlock(benchmark::State& state) {
    HostContext context;
    AudioModule m(library(), u"VL PatchMemory Float", context);
    m.setRecording(false);
    m.open();
    EventList start, none;
    start.addGraphStart(0).addFloat(0, 0, 0.5f);
    m.processBlock(start);
    for (auto _ : state) {
        m.wake(); // measure the block itself, not the host skipping a sleeping module
        m.processBlock(none);
    }
}
BENCHMARK(FloatIdleBlock);

void GuiFloatRelay(benchmark::State& state) {
    HostContext context;
    GuiModule m(library(), u"VL PatchMemory Float", context);
    float v = 0.0f;
    for (auto _ : state) {
        m.deliverFloat(0, v);
        v += 1.0f;
        if (m.transmits().size() > 4096) m.clearRecord();
    }
}
BENCHMARK(GuiFloatRelay);

} // namespace
