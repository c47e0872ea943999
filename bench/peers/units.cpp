// The library side of the peers program and the measurements shared by the checks.
#include "bench/peers/units.h"

#include "host/module_library.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace peers {

namespace {
zrhost::ModuleLibrary& library() {
    return zrhost::ModuleLibrary::shared(ZR_MODULE_LIBRARY_PATH);
}
} // namespace

ModuleRunner::ModuleRunner(const char16_t* id, const std::vector<int>& pins, int outputPin)
    : context_(std::make_unique<zrhost::HostContext>()) {
    module_ = std::make_unique<zrhost::AudioModule>(library(), id, *context_,
                                                    zrhost::AudioSettings{kBlock, kRate});
    module_->setRecording(false);
    for (int pin : pins)
        module_->attachOwnBuffer(pin);
    output_ = module_->buffer(outputPin).data();
}

void ModuleRunner::fill(int pin, const std::function<float(int)>& f) {
    auto b = module_->buffer(pin);
    for (int i = 0; i < kBlock; ++i)
        b[static_cast<std::size_t>(i)] = f(i);
}

void ModuleRunner::start(const std::function<void(zrhost::EventList&)>& events) {
    module_->open();
    startEvents_ = std::make_unique<zrhost::EventList>();
    startEvents_->addGraphStart(0);
    events(*startEvents_);
}

void ModuleRunner::block() {
    if (before_) before_();
    if (startEvents_) {
        module_->processBlock(*startEvents_);
        startEvents_.reset();
        return;
    }
    module_->plugin()->process(kBlock, nullptr);
}

const float* ModuleRunner::sharedTable(const char16_t* name, int entries, float rate) {
    void* p = nullptr;
    gmpi::int32 isNew = 0;
    context_->sharedMemory().allocate(name, &p, rate, (entries + 1) * 4, isNew);
    return static_cast<const float*>(p);
}

float slotEntry(double (*wave)(double), int i) {
    if (i < 4360) return 0.0f;
    const int zone = (i - 4360) / 2048;
    return static_cast<float>(wave(((i - 4360) % 2048) / 2048.0) * (1.0 - 0.005 * zone));
}

void plantSlot(zrhost::HostContext& context, const char16_t* name, double (*wave)(double)) {
    void* p = nullptr;
    gmpi::int32 isNew = 0;
    context.sharedMemory().allocate(name, &p, -1.0f, kSlotEntries * 4, isNew);
    float* t = static_cast<float*>(p);
    for (int i = 0; i < kSlotEntries; ++i)
        t[i] = slotEntry(wave, i);
}

// ---------------------------------------------------------------------------------------------

std::vector<float> render(Runner& r, int blocks) {
    std::vector<float> out;
    out.reserve(static_cast<std::size_t>(blocks) * kBlock);
    for (int b = 0; b < blocks; ++b) {
        r.block();
        out.insert(out.end(), r.output(), r.output() + kBlock);
    }
    return out;
}

double measuredFrequency(const std::vector<float>& x, double rate) {
    double first = -1.0, last = -1.0;
    int count = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (count == 0) first = t;
            last = t;
            ++count;
        }
    }
    return count < 2 ? 0.0 : (count - 1) * rate / (last - first);
}

double tailRms(const std::vector<float>& x) {
    double sum = 0.0;
    const std::size_t from = x.size() / 2;
    for (std::size_t i = from; i < x.size(); ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / static_cast<double>(x.size() - from));
}

double cents(double f, double reference) {
    return 1200.0 * std::log2(f / reference);
}

long long firstDifference(Runner& a, Runner& b, int blocks) {
    for (int blk = 0; blk < blocks; ++blk) {
        a.block();
        b.block();
        for (int i = 0; i < kBlock; ++i)
            if (std::memcmp(a.output() + i, b.output() + i, sizeof(float)) != 0)
                return static_cast<long long>(blk) * kBlock + i;
    }
    return -1;
}

std::string failIf(bool failed, const std::string& what) {
    return failed ? what : std::string();
}

} // namespace peers
