// A Faust-generated class as a runner: inputs filled by a function of channel and sample
// index, once (steady or per-block-repeating controls, as the library side gets them) or
// before every block from a running sample count (the checks' test signals).
#pragma once

#include "bench/peers/rig.h"

#include <faust/dsp/dsp.h>
#include <faust/gui/UI.h>
#include <faust/gui/meta.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

namespace peers {

using Signal = std::function<float(int channel, long long sample)>;

template <class Dsp>
class FaustRunner : public Runner {
  public:
    // `running`: refill every block from the running sample count; else fill once with the
    // sample index inside the block.
    FaustRunner(Signal input, bool running = false, int outputChannel = 0)
        : dsp_(std::make_unique<Dsp>()), input_(std::move(input)), running_(running),
          channel_(outputChannel) {
        dsp_->init(static_cast<int>(kRate));
        in_.assign(static_cast<std::size_t>(dsp_->getNumInputs()), std::vector<float>(kBlock));
        out_.assign(static_cast<std::size_t>(dsp_->getNumOutputs()), std::vector<float>(kBlock));
        for (auto& v : in_)
            inPtr_.push_back(v.data());
        for (auto& v : out_)
            outPtr_.push_back(v.data());
        fill(0);
    }

    void block() override {
        if (running_) fill(count_);
        dsp_->compute(kBlock, inPtr_.data(), outPtr_.data());
        count_ += kBlock;
    }
    const float* output() const override { return outPtr_[static_cast<std::size_t>(channel_)]; }
    // New inputs from now on, filled once (a gate that falls after a prelude, say).
    void setInput(Signal input) {
        input_ = std::move(input);
        fill(0);
    }
    const float* output(int channel) const { return outPtr_[static_cast<std::size_t>(channel)]; }

  private:
    void fill(long long from) {
        for (std::size_t c = 0; c < in_.size(); ++c)
            for (int i = 0; i < kBlock; ++i)
                in_[c][static_cast<std::size_t>(i)] = input_(static_cast<int>(c), from + i);
    }

    std::unique_ptr<Dsp> dsp_;
    Signal input_;
    bool running_;
    int channel_;
    long long count_ = 0;
    std::vector<std::vector<float>> in_, out_;
    std::vector<float*> inPtr_, outPtr_;
};

template <class Dsp>
Make faust(Signal input, int outputChannel = 0) {
    return [input, outputChannel] {
        return std::make_unique<FaustRunner<Dsp>>(input, false, outputChannel);
    };
}

// 1 V per octave with 0.5 at 440 Hz, as the pitch pins read it.
inline double pitchHz(double pitch) {
    return 440.0 * std::pow(2.0, pitch * 10.0 - 5.0);
}

// Pitch for `hz`, as the pitch pins read it.
inline float pitchFor(double hz) {
    return static_cast<float>((std::log2(hz / 440.0) + 5.0) / 10.0);
}

// Gain in dB of a filter peer fed a sine of amplitude `a` at `hz` with its cutoff at `hz`:
// inputs (x, pitch, resonance, blend) as far as the peer has them, blend 1.
template <class Dsp>
double gainAtCutoff(double hz, float res, float a) {
    const float pitch = pitchFor(hz);
    FaustRunner<Dsp> r(
        [=](int c, long long i) {
            if (c == 0)
                return a * static_cast<float>(std::sin(2.0 * std::numbers::pi * hz *
                                                       static_cast<double>(i) / kRate));
            return c == 1 ? pitch : c == 2 ? res : 1.0f;
        },
        true);
    return 20.0 * std::log10(tailRms(render(r, 750)) * std::sqrt(2.0) / a);
}

} // namespace peers
