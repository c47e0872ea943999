// Drives one "QORVALIS ZR-ADSR D" as a host does: graph start and every control value on the
// first block, audio inputs refilled every block, control changes as timed events, and each
// block's output (the held output while the module sleeps) appended to `out`.
#pragma once

#include "tests/rig/module_rig.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace envtest {

using gmpi::int32;

// clang-format off
enum Pin : int32 {
    Enable, Attack, Decay, Sustain, Release, Level, AttackShape, DecayShape, ReleaseShape,
    Envelope, RestartFromZero, AttackRange, DecayRange, ReleaseRange, Delay, Gate, Trigger,
    FixedTime, HoldRelease
};
// clang-format on
constexpr std::array<int32, 7> kAudioInputs = {Enable,  Attack, Decay, Sustain,
                                               Release, Level,  Delay};

class DadsrRig {
  public:
    explicit DadsrRig(float sampleRate = 44100.0f, int32 blockSize = 64,
                      zrhost::HostContext* shared = nullptr)
        : rig_(u"QORVALIS ZR-ADSR D", {blockSize, sampleRate}, shared) {
        for (int32 pin : kAudioInputs)
            rig_.feed(pin, [this, pin](std::int64_t t) {
                auto src = source.find(pin);
                return src != source.end() ? src->second(t) : audio[static_cast<std::size_t>(pin)];
            });
        rig_.collect(Envelope);
    }

    zrhost::AudioModule& module() { return rig_.module(); }
    float rate() const { return rig_.sampleRate(); }

    // Audio input values for every sample of the coming blocks, unless `source` has a
    // function of the absolute sample index for the pin.
    std::array<float, 19> audio{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f};
    std::map<int32, std::function<float(std::int64_t)>> source;
    // Control values sent at start: gate off, straight lines, fixed time, short ranges.
    std::map<int32, int32> initial{
        {AttackShape, 2}, {DecayShape, 2}, {ReleaseShape, 2}, {RestartFromZero, 0},
        {AttackRange, 0}, {DecayRange, 0}, {ReleaseRange, 0}, {FixedTime, 1},
        {HoldRelease, 0}, {Gate, 0}};

    // Control events for the next block, at `time` within it.
    DadsrRig& sendInt(int32 time, int32 pin, int32 v) {
        rig_.queue([=](zrhost::EventList& e) { e.addInt(time, pin, v); });
        return *this;
    }
    DadsrRig& sendFloat(int32 time, int32 pin, float v) {
        rig_.queue([=](zrhost::EventList& e) { e.addFloat(time, pin, v); });
        return *this;
    }

    std::int64_t now() const { return static_cast<std::int64_t>(out.size()); }
    float at(std::int64_t i) const { return out[static_cast<std::size_t>(i)]; }

    void block() {
        zrhost::EventList events;
        if (rig_.now() == 0) {
            events.addGraphStart(0);
            for (const auto& [pin, v] : initial)
                events.addInt(0, pin, v);
        }
        rig_.addQueued(events);
        rig_.block(events);
    }
    void run(std::int64_t samples) {
        for (const std::int64_t end = now() + samples; now() < end;)
            block();
    }
    // Gate value at `offset` in the next block; returns the absolute sample of the gate.
    std::int64_t gate(int32 value, int32 offset = 0) {
        const std::int64_t g = now() + offset;
        sendInt(offset, Gate, value);
        block();
        return g;
    }
    // Quickest attack and decay (1 ms each) to a sustain level, then 10 ms of it.
    void settle(float sustain) {
        audio[Attack] = audio[Decay] = 0.0f;
        audio[Sustain] = sustain;
        gate(1);
        run(static_cast<std::int64_t>(rate() * 0.01));
    }
    // Samples from `from` to the first output satisfying `pred` (-1 when none).
    template <class Pred>
    std::int64_t until(std::int64_t from, Pred pred) const {
        for (std::int64_t i = from; i < now(); ++i)
            if (pred(at(i))) return i - from;
        return -1;
    }
    // Streaming states declared for the output, with their block numbers.
    std::vector<std::pair<std::int64_t, int32>> streaming() const {
        std::vector<std::pair<std::int64_t, int32>> s;
        for (const auto& c : rig_.module().callsOf(zrhost::AudioCallKind::SetPinStreaming))
            if (c.pinId == Envelope) s.emplace_back(c.block, c.streaming);
        return s;
    }

  private:
    rig::ModuleRig rig_;

  public:
    // Every output sample so far (the held output while the module sleeps).
    std::vector<float>& out = rig_.output(Envelope);
};

// The curve shapes in double precision from their closed forms, independent of the module's
// tables: type 4 doubled, negative values raised to 0.
inline double referenceCurve(int type, double x) {
    double v = x;
    if (type == 0) v = (x - (std::sin(x * 1.5707964 * 1.27) - x)) * 0.919;
    if (type == 1) v = x - (std::sin(x * 1.5707964) - x);
    if (type == 3) v = std::sin(x * 1.5707964);
    if (type == 4) {
        const double g = x * 1.6 * (x + 1.0) / (x * 1.6 * (x * 3.0) + 1.0);
        v = 2.0 * g * 1.89 * (g / 3.0 + 1.0) / (g * 1.6 * (g * 3.0) + 1.0);
    }
    if (type == 5) v = std::exp(x * 4.462 - 4.45) - 0.0117;
    if (type == 6) v = std::exp(x * 11.5 - 11.5);
    return v < 0.0 ? 0.0 : v;
}

// Segment length in samples: 2^(10 v - offset) s, at least 1 ms.
inline double segmentSamples(double control, double offset, double rate) {
    const double t = std::exp2((control > 0.0 ? 10.0 * control : 0.0) - offset);
    return (t <= 0.001 ? 0.001 : t) * rate;
}

} // namespace envtest
