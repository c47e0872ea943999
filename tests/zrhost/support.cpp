#include "tests/zrhost/support.h"

#include "tools/zrhost/wavetable_cache.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zrtest {

namespace {

// The standard wavetables go to the test's scratch folder, not the user's cache; set before
// any test runs (and inherited by the zrhost processes the command tests start).
const bool cacheFolderSet = [] {
    ::setenv("ZRHOST_CACHE_DIR", ZR_TEST_SCRATCH_DIR "/cache", 1);
    return true;
}();

} // namespace

const char* const kTablesModule = R"("tables": {
      "id": "INIT Osc ZRPM",
      "values": {"File": "base.zrw", "Sine Slot Type": 0, "Sine Slot Number": 1,
                 "Saw Slot Type": 2, "Saw Slot Number": 1, "Tri Slot Type": 1,
                 "Tri Slot Number": 1}})";

zrhost::ModuleLibrary& library() {
    return zrhost::ModuleLibrary::shared(ZR_MODULE_LIBRARY_PATH);
}

const zrhost::ModuleCatalog& catalog() {
    return zrhost::sharedModuleCatalog(ZR_MODULE_LIBRARY_PATH);
}

std::filesystem::path scratch() {
    return ZR_TEST_SCRATCH_DIR;
}

zrhost::Patch patchOf(const std::string& json, const zrhost::PatchOptions& options) {
    zrhost::PatchOptions o = options;
    if (o.baseFolder.empty()) o.baseFolder = scratch();
    zrhost::Patch patch = zrhost::parsePatch(json, "test.json", catalog(), o);
    zrhost::prepareWavetables(patch);
    return patch;
}

std::vector<std::vector<float>> render(zrhost::Engine& engine) {
    const int channels = engine.channels();
    std::vector<std::vector<float>> out(static_cast<std::size_t>(channels));
    std::vector<float> block(static_cast<std::size_t>(std::max(channels, 1)) *
                             static_cast<std::size_t>(engine.patch().blockSize));
    while (const int frames = engine.renderBlock(block.data()))
        for (int c = 0; c < channels; ++c)
            for (int f = 0; f < frames; ++f)
                out[static_cast<std::size_t>(c)].push_back(
                    block[static_cast<std::size_t>(f * channels + c)]);
    return out;
}

std::vector<std::vector<float>> render(const std::string& json) {
    zrhost::Engine engine(library(), patchOf(json));
    return render(engine);
}

double frequencyOf(std::span<const float> signal, double sampleRate, double skipSeconds) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t i = static_cast<std::size_t>(skipSeconds * sampleRate) + 1; i < signal.size();
         ++i) {
        const double a = signal[i - 1], b = signal[i];
        if (a <= 0.0 && b > 0.0) {
            const double t = static_cast<double>(i - 1) + (-a) / (b - a);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return (crossings - 1) * sampleRate / (last - first);
}

float peakOf(std::span<const float> signal) {
    float peak = 0.0f;
    for (float x : signal)
        peak = std::max(peak, std::abs(x));
    return peak;
}

} // namespace zrtest
