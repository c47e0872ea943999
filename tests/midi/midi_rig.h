// Drives one audio half of the MIDI and voice family as a host would (graph start, pin values
// and MIDI messages as timed events, audio in pin buffers) and collects what comes out: MIDI
// messages with their absolute sample times, output samples and streaming declarations.
#pragma once

#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace miditest {

using Bytes = std::vector<std::uint8_t>;

inline zrhost::ModuleLibrary& library() {
    static std::unique_ptr<zrhost::ModuleLibrary> lib =
        zrhost::ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
    return *lib;
}

// A message as it left an output pin: absolute sample time and bytes.
struct Sent {
    long time;
    Bytes bytes;
    bool operator==(const Sent&) const = default;
};

// A streaming declaration of an audio output: absolute sample time and state.
struct Declared {
    long time;
    bool streaming;
};

class Rig {
  public:
    using Signal = std::function<float(long)>;

    // `audioPins` get buffers of the rig's own; `inputs` are filled from `signals` each block.
    Rig(const char16_t* id, std::initializer_list<gmpi::int32> audioPins,
        float sampleRate = 44100.0f, gmpi::int32 blockSize = 64)
        : module_(library(), id, context_, {blockSize, sampleRate}) {
        for (gmpi::int32 pin : audioPins)
            module_.attachOwnBuffer(pin);
        module_.open();
        first_.addGraphStart(0);
    }

    zrhost::AudioModule& module() { return module_; }
    zrhost::HostContext& context() { return context_; }
    gmpi::int32 blockSize() const { return module_.settings().blockSize; }
    long now() const { return now_; }

    // Events of the next block, at times relative to it.
    zrhost::EventList& next() { return started_ ? pending_ : first_; }
    Rig& midi(gmpi::int32 time, gmpi::int32 pin, Bytes bytes) {
        next().addMidi(time, pin, bytes);
        return *this;
    }
    Rig& setInt(gmpi::int32 pin, gmpi::int32 v, gmpi::int32 time = 0) {
        next().addInt(time, pin, v);
        return *this;
    }
    Rig& setFloat(gmpi::int32 pin, float v, gmpi::int32 time = 0) {
        next().addFloat(time, pin, v);
        return *this;
    }

    // Input signals by pin (absolute sample index).
    void feed(gmpi::int32 pin, Signal s) { signals_.push_back({pin, std::move(s)}); }

    // Runs `blocks` blocks; returns the samples of `outPin` (if any) across them.
    std::vector<float> run(int blocks = 1, gmpi::int32 outPin = -1) {
        std::vector<float> out;
        for (int b = 0; b < blocks; ++b) {
            for (auto& [pin, s] : signals_) {
                auto buffer = module_.buffer(pin);
                for (gmpi::int32 i = 0; i < blockSize(); ++i)
                    buffer[i] = s(now_ + i);
            }
            module_.processBlock(started_ ? pending_ : first_);
            started_ = true;
            pending_.clear();
            collect();
            if (outPin >= 0) {
                auto o = module_.buffer(outPin);
                out.insert(out.end(), o.begin(), o.end());
            }
            now_ += blockSize();
        }
        return out;
    }

    // Messages sent on `pin` since the last take, in order.
    std::vector<Sent> take(gmpi::int32 pin) {
        std::vector<Sent> out;
        std::vector<std::pair<gmpi::int32, Sent>> keep;
        for (auto& [p, s] : all_) {
            if (p == pin)
                out.push_back(s);
            else
                keep.push_back({p, s});
        }
        all_ = std::move(keep);
        return out;
    }
    // Bytes only, for comparisons that ignore time.
    std::vector<Bytes> takeBytes(gmpi::int32 pin) {
        std::vector<Bytes> out;
        for (auto& s : take(pin))
            out.push_back(s.bytes);
        return out;
    }
    std::vector<Declared> declarations(gmpi::int32 pin) const {
        std::vector<Declared> out;
        for (const auto& [p, d] : declared_)
            if (p == pin) out.push_back(d);
        return out;
    }

  private:
    void collect() {
        const long base = now_;
        for (const auto& c : module_.calls()) {
            if (c.kind == zrhost::AudioCallKind::SetPinValue)
                all_.push_back({c.pinId, Sent{base + c.time, c.bytes}});
            if (c.kind == zrhost::AudioCallKind::SetPinStreaming)
                declared_.push_back({c.pinId, Declared{base + c.time, c.streaming != 0}});
        }
        module_.clearCalls();
    }

    zrhost::HostContext context_;
    zrhost::AudioModule module_;
    zrhost::EventList first_, pending_;
    bool started_ = false;
    long now_ = 0;
    std::vector<std::pair<gmpi::int32, Signal>> signals_;
    std::vector<std::pair<gmpi::int32, Sent>> all_;
    std::vector<std::pair<gmpi::int32, Declared>> declared_;
};

inline Bytes noteOn(int channel, int note, int velocity) {
    return {static_cast<std::uint8_t>(0x90 + channel), static_cast<std::uint8_t>(note),
            static_cast<std::uint8_t>(velocity)};
}
inline Bytes noteOff(int channel, int note, int velocity = 0) {
    return {static_cast<std::uint8_t>(0x80 + channel), static_cast<std::uint8_t>(note),
            static_cast<std::uint8_t>(velocity)};
}
inline Bytes allNotesOff(int channel) {
    return {static_cast<std::uint8_t>(0xB0 + channel), 123, 0};
}

} // namespace miditest
