// Drives the multi-mode filter as a host would (graph start, streaming changes, pin values as
// events, audio-rate controls in buffers) and measures what comes out: amplitude at a
// frequency, power on frequency bins.
#pragma once

#include "tests/rig/module_rig.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

namespace filtertest {

inline constexpr char16_t kFilter[] = u"ZR-LPF over CS";
inline constexpr gmpi::int32 kInputPin = 0, kPitchPin = 1, kResPin = 2, kOutputPin = 3,
                             kModePin = 4, kAuxPin = 5, kBlendPin = 6, kClearPin = 7;

// Frequency of a pitch value: 1 V per octave, 0.5 (5 V) at 440 Hz.
inline double pitchHz(double pitch) {
    return 440.0 * std::pow(2.0, pitch * 10.0 - 5.0);
}
inline double dB(double ratio) {
    return 20.0 * std::log10(ratio);
}

struct Controls {
    float pitch = 0.5f;
    float res = 0.0f;
    float blend = 0.0f;
};

class FilterRig {
  public:
    using Signal = rig::Signal;

    explicit FilterRig(int mode, float sampleRate = 44100.0f, gmpi::int32 blockSize = 64,
                       zrhost::HostContext* shared = nullptr)
        : rig_(kFilter, {blockSize, sampleRate}, shared), mode_(mode) {
        rig_.feed(kInputPin, [this](long t) { return input_(t); });
        rig_.feed(kPitchPin,
                  [this](long t) { return pitchSignal ? pitchSignal(t) : controls.pitch; });
        rig_.feed(kResPin, [this](long t) { return resSignal ? resSignal(t) : controls.res; });
        rig_.feed(kBlendPin,
                  [this](long t) { return blendSignal ? blendSignal(t) : controls.blend; });
        rig_.collect(kOutputPin);
        rig_.attach(kAuxPin);
        rig_.open();
    }

    zrhost::AudioModule& module() { return rig_.module(); }

    Controls controls;
    // Whether the first block declares `Input` streaming (else it is a static value).
    bool streamInput = true;
    // Optional per-sample control signals (absolute sample index); override `controls`.
    Signal pitchSignal, resSignal, blendSignal;

    // Events for the next block: a Mode or Clear value, `Input` going static (the signal must
    // then be that constant) or streaming again.
    void setMode(int mode) {
        rig_.queue([=](auto& e) { e.addInt(0, kModePin, mode); });
    }
    void clear(float v) {
        rig_.queue([=](auto& e) { e.addFloat(0, kClearPin, v); });
    }
    void stopInputStreaming() {
        rig_.queue([](auto& e) { e.addStreamingStop(0, kInputPin); });
    }
    void startInputStreaming() {
        rig_.queue([](auto& e) { e.addStreamingStart(0, kInputPin); });
    }

    // Renders `count` samples of `input` (absolute sample index) and returns the output.
    std::vector<float> run(const Signal& input, long count) {
        input_ = input;
        std::vector<float>& all = rig_.output(kOutputPin);
        const std::size_t from = all.size();
        while (static_cast<long>(all.size() - from) < count) {
            zrhost::EventList events;
            if (rig_.now() == 0) {
                events.addGraphStart(0);
                if (streamInput) events.addStreamingStart(0, kInputPin);
                events.addStreamingStop(0, kPitchPin).addStreamingStop(0, kResPin);
                events.addStreamingStop(0, kBlendPin).addInt(0, kModePin, mode_);
            }
            rig_.addQueued(events);
            rig_.block(events);
        }
        return {all.begin() + static_cast<long>(from),
                all.begin() + static_cast<long>(from) + count};
    }

  private:
    rig::ModuleRig rig_;
    int mode_ = 0;
    Signal input_;
};

inline FilterRig::Signal sine(double hz, double sampleRate, double amplitude) {
    return [=](long t) {
        return static_cast<float>(amplitude *
                                  std::sin(2.0 * std::numbers::pi * hz * t / sampleRate));
    };
}

inline FilterRig::Signal constant(float v) {
    return [v](long) { return v; };
}

// Amplitude of the component at `hz` in y[from..], by a Hann-windowed single-bin transform.
inline double amplitudeAt(const std::vector<float>& y, double hz, double sampleRate,
                          std::size_t from) {
    const std::size_t n = y.size() - from;
    std::complex<double> acc = 0.0;
    double wsum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (n - 1));
        const double ph = 2.0 * std::numbers::pi * hz * static_cast<double>(from + i) / sampleRate;
        acc += w * static_cast<double>(y[from + i]) *
               std::complex<double>(std::cos(ph), -std::sin(ph));
        wsum += w;
    }
    return 2.0 * std::abs(acc) / wsum;
}

// Gain in dB of `mode` at `hz` for a sine of `amplitude`, measured once the filter settled.
inline double gainDb(int mode, Controls c, double hz, double amplitude = 0.1,
                     float sampleRate = 44100.0f) {
    FilterRig rig(mode, sampleRate);
    rig.controls = c;
    // At least 40 cycles measured, after a settling stretch of the same length.
    const long measure = std::max(8192L, static_cast<long>(40.0 * sampleRate / hz));
    const auto y = rig.run(sine(hz, sampleRate, amplitude), 2 * measure);
    return dB(amplitudeAt(y, hz, sampleRate, static_cast<std::size_t>(measure)) / amplitude);
}

// Mean power of the component on bin k of the n samples y[from ..]. Components on bins of
// the stretch are orthogonal to each other, so powers of distinct bins add up to the whole.
inline double binPower(const std::vector<float>& y, std::size_t from, std::size_t n,
                       std::size_t k) {
    std::complex<double> acc = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double ph = 2.0 * std::numbers::pi * static_cast<double>(k * i % n) / n;
        acc += static_cast<double>(y[from + i]) * std::complex<double>(std::cos(ph), -std::sin(ph));
    }
    return (k == 0 ? 1.0 : 2.0) * std::norm(acc) / (static_cast<double>(n) * n);
}

} // namespace filtertest
