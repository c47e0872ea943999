// Drives any of the effect and routing modules as a host would: graph start, streaming
// changes and pin values as events at the start of a block, audio inputs filled per sample
// from signals (absolute sample index), outputs collected per pin. The measuring helpers
// (single-bin amplitude, bin power, sines) are the filter bank's, from filter_rig.h.
#pragma once

#include "tests/filters/filter_rig.h"

#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace effectstest {

using filtertest::constant;
using filtertest::dB;
using filtertest::sine;
using rig::library;
using Signal = filtertest::FilterRig::Signal;

class EffectRig {
  public:
    // `audioIns` and `audioOuts` get buffers; every input starts as a constant 0.
    EffectRig(std::u16string_view id, std::vector<gmpi::int32> audioIns,
              std::vector<gmpi::int32> audioOuts, float sampleRate = 44100.0f,
              gmpi::int32 blockSize = 64)
        : module_(library(), id, context_, {blockSize, sampleRate}), ins_(std::move(audioIns)),
          outs_(std::move(audioOuts)) {
        for (gmpi::int32 pin : ins_) {
            module_.attachOwnBuffer(pin);
            signals_[pin] = constant(0.0f);
        }
        for (gmpi::int32 pin : outs_)
            module_.attachOwnBuffer(pin);
        module_.open();
    }

    zrhost::AudioModule& module() { return module_; }

    // An audio input's samples from now on.
    void signal(gmpi::int32 pin, Signal s) { signals_[pin] = std::move(s); }
    void value(gmpi::int32 pin, float v) { signals_[pin] = constant(v); }

    // Events at the start of the next block.
    void setInt(gmpi::int32 pin, gmpi::int32 v) {
        pending_.push_back([=](auto& e) { e.addInt(0, pin, v); });
    }
    void setFloat(gmpi::int32 pin, float v) {
        pending_.push_back([=](auto& e) { e.addFloat(0, pin, v); });
    }
    void stream(gmpi::int32 pin, bool on) {
        pending_.push_back(
            [=](auto& e) { on ? e.addStreamingStart(0, pin) : e.addStreamingStop(0, pin); });
    }

    // Renders `count` samples (whole blocks; the tail of the last one is dropped) and returns
    // every output pin's samples.
    std::map<gmpi::int32, std::vector<float>> run(long count) {
        std::map<gmpi::int32, std::vector<float>> out;
        const gmpi::int32 n = module_.settings().blockSize;
        for (long done = 0; done < count; done += n) {
            zrhost::EventList events;
            if (first_) events.addGraphStart(0);
            first_ = false;
            for (auto& add : pending_)
                add(events);
            pending_.clear();
            for (gmpi::int32 pin : ins_) {
                auto buf = module_.buffer(pin);
                for (gmpi::int32 i = 0; i < n; ++i)
                    buf[i] = signals_[pin](now_ + i);
            }
            module_.processBlock(events);
            for (gmpi::int32 pin : outs_) {
                auto buf = module_.buffer(pin);
                auto& o = out[pin];
                for (gmpi::int32 i = 0; i < n && done + i < count; ++i)
                    o.push_back(buf[i]);
            }
            now_ += n;
        }
        return out;
    }

    // The last streaming state the module declared on `pin` (false when none).
    bool declaredStreaming(gmpi::int32 pin) const {
        const auto states = module_.streamingSent(pin);
        return !states.empty() && states.back() != 0;
    }

    long now() const { return now_; }

  private:
    zrhost::HostContext context_;
    zrhost::AudioModule module_;
    std::vector<gmpi::int32> ins_, outs_;
    std::map<gmpi::int32, Signal> signals_;
    std::vector<std::function<void(zrhost::EventList&)>> pending_;
    bool first_ = true;
    long now_ = 0;
};

// A unit impulse at sample `at`.
inline Signal impulse(long at) {
    return [at](long t) { return t == at ? 1.0f : 0.0f; };
}

inline bool allFinite(const std::vector<float>& y) {
    for (float v : y)
        if (!std::isfinite(v)) return false;
    return true;
}

} // namespace effectstest
