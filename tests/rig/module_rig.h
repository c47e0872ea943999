// The one test rig for module tests: loads the module library, creates an audio half through
// the host library, refills its audio inputs from signals before every block, runs blocks with
// the events a test gives, and collects its audio outputs. Family rigs (filters, envelope,
// oscillators, scope) add only what is particular to their module on top of it.
#pragma once

#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace rig {

using gmpi::int32;
// A signal: the value at an absolute sample index (0 is the first sample of the first block).
using Signal = std::function<float(std::int64_t)>;

// A library object of its own, for tests that hold one per fixture.
inline std::unique_ptr<zrhost::ModuleLibrary> loadLibrary() {
    return zrhost::ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
}

// The library shared by the tests of one process.
inline zrhost::ModuleLibrary& library() {
    static std::unique_ptr<zrhost::ModuleLibrary> lib = loadLibrary();
    return *lib;
}

class ModuleRig {
  public:
    // `shared`: a host context several modules use together (shared tables); by default the
    // rig has its own. `lib`: by default the process-wide library.
    explicit ModuleRig(std::u16string_view id, zrhost::AudioSettings settings = {},
                       zrhost::HostContext* shared = nullptr, zrhost::ModuleLibrary* lib = nullptr)
        : context_(shared ? shared : &own_),
          module_(lib ? *lib : library(), id, *context_, settings) {}

    zrhost::AudioModule& module() { return module_; }
    const zrhost::AudioModule& module() const { return module_; }
    zrhost::HostContext& context() { return *context_; }
    float sampleRate() const { return module_.settings().sampleRate; }
    int32 blockSize() const { return module_.settings().blockSize; }
    // Samples run so far: the absolute index of the next block's first sample.
    std::int64_t now() const { return now_; }

    // An audio input refilled before every block from `s`.
    void feed(int32 pin, Signal s) {
        module_.attachOwnBuffer(pin);
        inputs_[pin] = std::move(s);
    }
    void feed(int32 pin, float value) {
        feed(pin, [value](std::int64_t) { return value; });
    }
    // An audio output whose samples are appended to output(pin) after every block.
    void collect(int32 pin) {
        module_.attachOwnBuffer(pin);
        outputs_[pin];
    }
    std::vector<float>& output(int32 pin) { return outputs_[pin]; }
    // A pin with a zero-filled buffer that the rig neither fills nor reads.
    void attach(int32 pin) { module_.attachOwnBuffer(pin); }

    // Opens the module; the first block does it when the test has not.
    void open() {
        if (opened_) return;
        opened_ = true;
        module_.open();
    }

    // Events kept for a later block; addQueued moves them into that block's list.
    void queue(std::function<void(zrhost::EventList&)> add) { queued_.push_back(std::move(add)); }
    void addQueued(zrhost::EventList& events) {
        for (auto& add : queued_)
            add(events);
        queued_.clear();
    }

    // One block of `frames` samples (< 0: the block size) with `events`: inputs filled,
    // processed, outputs appended. Returns whether the module's process ran.
    bool block(const zrhost::EventList& events, int32 frames = -1) {
        open();
        const int32 n = frames < 0 ? blockSize() : frames;
        for (auto& [pin, signal] : inputs_) {
            auto buffer = module_.buffer(pin);
            for (int32 i = 0; i < n; ++i)
                buffer[static_cast<std::size_t>(i)] = signal(now_ + i);
        }
        const bool ran = module_.processBlock(events, frames);
        for (auto& [pin, samples] : outputs_) {
            auto buffer = module_.buffer(pin);
            samples.insert(samples.end(), buffer.begin(), buffer.begin() + n);
        }
        now_ += n;
        return ran;
    }
    bool block() {
        zrhost::EventList none;
        return block(none);
    }
    // Accounts for `samples` the test ran on module() directly, without the rig.
    void advance(std::int64_t samples) { now_ += samples; }
    // Whole blocks without events until at least `samples` more have run.
    void run(std::int64_t samples) {
        for (const std::int64_t end = now_ + samples; now_ < end;)
            block();
    }

  private:
    zrhost::HostContext own_;
    zrhost::HostContext* context_;
    zrhost::AudioModule module_;
    std::map<int32, Signal> inputs_;
    std::map<int32, std::vector<float>> outputs_;
    std::vector<std::function<void(zrhost::EventList&)>> queued_;
    bool opened_ = false;
    std::int64_t now_ = 0;
};

} // namespace rig
