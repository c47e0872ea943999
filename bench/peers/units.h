// The library side of the peers program: one module half created through the host library,
// its buffers attached, started with an event list and then run block by block.
#pragma once

#include "bench/peers/rig.h"
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"

#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace peers {

class ModuleRunner : public Runner {
  public:
    // Creates `id` at 48 kHz with 64-sample blocks and wrapper-owned buffers on `pins`; the
    // first entry of `pins` that is an output is given as `outputPin`.
    ModuleRunner(const char16_t* id, const std::vector<int>& pins, int outputPin);

    zrhost::AudioModule& module() { return *module_; }
    zrhost::HostContext& context() { return *context_; }
    std::span<float> buffer(int pin) { return module_->buffer(pin); }
    // Fills a pin's buffer with f(i).
    void fill(int pin, const std::function<float(int)>& f);
    // Opens the module; the first block comes with `events` (after the graph start).
    void start(const std::function<void(zrhost::EventList&)>& events);
    // Runs before every block (to switch input buffers).
    void beforeBlock(std::function<void()> f) { before_ = std::move(f); }

    void block() override;
    const float* output() const override { return output_; }

    // The table the module's instances share under `name` at 48 kHz (entries + guard).
    const float* sharedTable(const char16_t* name, int entries, float rate = kRate);

  private:
    std::unique_ptr<zrhost::HostContext> context_;
    std::unique_ptr<zrhost::AudioModule> module_;
    std::function<void()> before_;
    std::unique_ptr<zrhost::EventList> startEvents_;
    const float* output_ = nullptr;
};

// Entry i of a wavetable slot: one cycle of `wave(phase)` (phase 0..1) per zone, each zone a
// little quieter than the one below so that the crossfade between two zones shows.
float slotEntry(double (*wave)(double), int i);
inline constexpr int kSlotEntries = 127256;

// A slot filled with slotEntry, planted in `context` under the slot's name.
void plantSlot(zrhost::HostContext& context, const char16_t* name, double (*wave)(double));

} // namespace peers
