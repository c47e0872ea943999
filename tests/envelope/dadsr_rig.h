// Drives one "QORVALIS ZR-ADSR D" instance the way a host does: graph start and the initial
// control values on the first block, audio inputs as buffers refilled every block, control
// changes as timed events, and the output of every block (or the held output while the
// module sleeps) appended to one recording.
#pragma once

#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace envtest {

using gmpi::int32;

// Pin indices of the envelope.
enum Pin : int32 {
    Enable = 0,
    Attack = 1,
    Decay = 2,
    Sustain = 3,
    Release = 4,
    Level = 5,
    AttackShape = 6,
    DecayShape = 7,
    ReleaseShape = 8,
    Envelope = 9,
    RestartFromZero = 10,
    AttackRange = 11,
    DecayRange = 12,
    ReleaseRange = 13,
    Delay = 14,
    Gate = 15,
    Trigger = 16,
    FixedTime = 17,
    HoldRelease = 18,
};

constexpr std::array<int32, 7> kAudioInputs = {Enable,  Attack, Decay, Sustain,
                                               Release, Level,  Delay};

inline zrhost::ModuleLibrary& library() {
    static std::unique_ptr<zrhost::ModuleLibrary> lib =
        zrhost::ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
    return *lib;
}

class DadsrRig {
  public:
    explicit DadsrRig(float sampleRate = 44100.0f, int32 blockSize = 64,
                      zrhost::HostContext* shared = nullptr)
        : context_(shared ? shared : &ownContext_),
          module_(library(), u"QORVALIS ZR-ADSR D", *context_, {blockSize, sampleRate}) {
        for (int32 pin : kAudioInputs)
            module_.attachOwnBuffer(pin);
        module_.attachOwnBuffer(Envelope);
        // A plain starting point, sent as a host sends every pin value at start: enabled, full
        // level and sustain, gate off, straight-line curves, fixed-duration segments, short
        // ranges.
        audio[Enable] = 1.0f;
        audio[Level] = 1.0f;
        audio[Sustain] = 1.0f;
        initial = {{AttackShape, 2}, {DecayShape, 2}, {ReleaseShape, 2}, {RestartFromZero, 0},
                   {AttackRange, 0}, {DecayRange, 0}, {ReleaseRange, 0}, {FixedTime, 1},
                   {HoldRelease, 0}, {Gate, 0}};
    }

    bool valid() const { return module_.valid(); }
    zrhost::AudioModule& module() { return module_; }
    float sampleRate() const { return module_.settings().sampleRate; }
    int32 blockSize() const { return module_.settings().blockSize; }

    // Audio input values, written into every sample of the next blocks' buffers, unless a
    // per-sample source is set for the pin (called with the absolute sample index).
    std::array<float, 19> audio{};
    std::map<int32, std::function<float(std::int64_t)>> source;
    // Control values sent with the graph start on the first block.
    std::map<int32, int32> initial;

    // Control events of the next block (times relative to its start). On the first block
    // they follow the graph start and the initial values.
    struct Queue {
        std::vector<std::function<void(zrhost::EventList&)>> adds;
        Queue& addInt(int32 time, int32 pin, int32 value) {
            adds.push_back([=](zrhost::EventList& e) { e.addInt(time, pin, value); });
            return *this;
        }
        Queue& addFloat(int32 time, int32 pin, float value) {
            adds.push_back([=](zrhost::EventList& e) { e.addFloat(time, pin, value); });
            return *this;
        }
        Queue& addStreamingStart(int32 time, int32 pin) {
            adds.push_back([=](zrhost::EventList& e) { e.addStreamingStart(time, pin); });
            return *this;
        }
    };
    Queue& next() { return queue_; }
    // Absolute sample index of the start of the next block.
    std::int64_t now() const { return static_cast<std::int64_t>(out.size()); }

    // Runs one block with the queued events; returns whether process was called.
    bool block() {
        zrhost::EventList events;
        if (!started_) {
            events.addGraphStart(0);
            for (const auto& [pin, value] : initial)
                events.addInt(0, pin, value);
            started_ = true;
            module_.open();
        }
        for (auto& add : queue_.adds)
            add(events);
        queue_.adds.clear();
        const std::int64_t base = now();
        for (int32 pin : kAudioInputs) {
            auto buffer = module_.buffer(pin);
            auto it = source.find(pin);
            for (std::size_t i = 0; i < buffer.size(); ++i)
                buffer[i] = it != source.end() ? it->second(base + static_cast<std::int64_t>(i))
                                               : audio[static_cast<std::size_t>(pin)];
        }
        const bool ran = module_.processBlock(events);
        auto o = module_.buffer(Envelope);
        out.insert(out.end(), o.begin(), o.end());
        return ran;
    }
    // Runs blocks until at least `samples` more samples are recorded.
    void run(std::int64_t samples) {
        const std::int64_t end = now() + samples;
        while (now() < end)
            block();
    }
    // Queues a gate value at `offset` within the next block and runs that block.
    void gate(int32 value, int32 offset = 0) {
        queue_.addInt(offset, Gate, value);
        block();
    }

    // First recorded index at or after `from` whose sample satisfies `pred`, or -1.
    template <class Pred>
    std::int64_t find(std::int64_t from, Pred pred) const {
        for (std::int64_t i = from; i < static_cast<std::int64_t>(out.size()); ++i)
            if (pred(out[static_cast<std::size_t>(i)])) return i;
        return -1;
    }

    std::vector<float> out;

  private:
    zrhost::HostContext ownContext_;
    zrhost::HostContext* context_;
    zrhost::AudioModule module_;
    Queue queue_;
    bool started_ = false;
};

// The curve shapes as closed forms in double precision, independent of the module's tables:
// the value the envelope should follow at curve position x in 0..1 (type 4 already doubled,
// negative results raised to 0).
inline double referenceCurve(int type, double x) {
    double v = 0.0;
    switch (type) {
    case 0:
        v = (x - (std::sin(x * 1.5707964 * 1.27) - x)) * 0.919;
        break;
    case 1:
        v = x - (std::sin(x * 1.5707964) - x);
        break;
    case 2:
        v = x;
        break;
    case 3:
        v = std::sin(x * 1.5707964);
        break;
    case 4: {
        const double g = x * 1.6 * (std::abs(x) + 1.0) / (x * 1.6 * (x * 3.0) + 1.0);
        v = 2.0 * (g * 1.89 * (std::abs(g / 3.0) + 1.0) / (g * 1.6 * (g * 3.0) + 1.0));
        break;
    }
    case 5:
        v = std::exp(x * 4.462 - 4.45) - 0.0117;
        break;
    case 6:
        v = std::exp(x * 11.5 - 11.5);
        break;
    }
    return v < 0.0 ? 0.0 : v;
}

// Segment length in seconds for a time control value and a range offset.
inline double segmentSeconds(double control, double rangeOffset) {
    const double t = std::exp2((control > 0.0 ? 10.0 * control : 0.0) - rangeOffset);
    return t <= 0.001 ? 0.001 : t;
}

} // namespace envtest
