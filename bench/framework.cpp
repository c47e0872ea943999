// The framework's own cost: `process` on a module whose block routine does nothing, per
// 64-sample block, with 0, 1 and 8 value events in the block. Calls go straight to the
// module's `process`, so only the event dispatch and routine calls are measured.
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

zrhost::ModuleLibrary& testLibrary() {
    return zrhost::ModuleLibrary::shared(ZR_TEST_MODULE_LIBRARY_PATH);
}

void processEmptyRoutine(benchmark::State& state) {
    const int eventCount = static_cast<int>(state.range(0));
    zrhost::HostContext context;
    zrhost::AudioModule module(testLibrary(), u"ZR Test Null", context);
    module.setRecording(false);
    module.attachOwnBuffer(1);
    module.open();
    zrhost::EventList start;
    start.addGraphStart(0);
    module.processBlock(start);

    // Values at distinct times, spread over the block, so that each one splits it.
    zrhost::EventList events;
    for (int i = 0; i < eventCount; ++i)
        events.addFloat(i * 64 / (eventCount > 0 ? eventCount : 1), 0, static_cast<float>(i));
    gmpi::IMpPlugin* plugin = module.plugin();
    for (auto _ : state) {
        plugin->process(64, events.first());
        benchmark::ClobberMemory();
    }
    state.SetLabel("per 64-sample block");
}

} // namespace

BENCHMARK(processEmptyRoutine)->Arg(0)->Arg(1)->Arg(8);
