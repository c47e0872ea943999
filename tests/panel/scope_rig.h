// Drives the oscilloscope's audio half block by block, as a host would, and collects the
// windows it publishes with their absolute sample time stamps.
#pragma once

#include "tests/rig/module_rig.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace scopetest {

inline constexpr char16_t kScope[] = u"ZR SCOPE V4";
inline constexpr gmpi::int32 kCapturePin = 0, kSignalPin = 1, kTimePin = 2, kInfoPin = 3,
                             kRunPin = 4;

struct Window {
    std::int64_t at;               // absolute sample of the Capture value's time stamp
    std::vector<std::int8_t> data; // the 4800 bytes
    gmpi::int32 length = 0;        // from Capture Info
    gmpi::int32 rate = 0;
};

class ScopeRig {
  public:
    using Signal = rig::Signal;

    ScopeRig(float sampleRate, gmpi::int32 blockSize) : rig_(kScope, {blockSize, sampleRate}) {
        rig_.feed(kSignalPin, [this](std::int64_t t) { return signal(t); });
        rig_.feed(kTimePin, [this](std::int64_t t) { return time(t); });
        rig_.open();
    }

    // Runs one block with `events`; the first block also carries graph start and the start
    // of streaming on both inputs.
    void block(zrhost::EventList& events) {
        if (rig_.now() == 0)
            events.addGraphStart(0).addStreamingStart(0, kSignalPin).addStreamingStart(0, kTimePin);
        rig_.block(events);
    }
    void runTo(std::int64_t sample) {
        while (now() < sample) {
            zrhost::EventList none;
            block(none);
        }
    }
    void setRun(gmpi::int32 value, gmpi::int32 at = 0) {
        zrhost::EventList events;
        events.addInt(at, kRunPin, value);
        block(events);
    }
    std::int64_t now() const { return rig_.now(); }
    // Blocks the test ran on `module` directly.
    void advance(std::int64_t samples) { rig_.advance(samples); }

    // Windows published so far (Capture values of 4800 bytes with the Info that follows).
    std::vector<Window> windows() const {
        std::vector<Window> out;
        const gmpi::int32 n = module.settings().blockSize;
        for (const auto& call : module.calls()) {
            if (call.kind != zrhost::AudioCallKind::SetPinValue) continue;
            if (call.pinId == kCapturePin && call.bytes.size() == 4800) {
                Window w{call.block * n + call.time, {}, 0, 0};
                w.data.assign(call.bytes.begin(), call.bytes.end());
                out.push_back(std::move(w));
            } else if (call.pinId == kInfoPin && call.bytes.size() == 8 && !out.empty()) {
                std::memcpy(&out.back().length, call.bytes.data(), 4);
                std::memcpy(&out.back().rate, call.bytes.data() + 4, 4);
            }
        }
        return out;
    }

  private:
    rig::ModuleRig rig_;

  public:
    zrhost::AudioModule& module = rig_.module();
    Signal signal = [](std::int64_t) { return 0.0f; };
    Signal time = [](std::int64_t) { return 1.0f; };
};

} // namespace scopetest
