// Drives any audio module of the library as a host does, for the tests of the sync and sine
// oscillators and the ring modulator: audio inputs from functions of the absolute sample
// index, control values on the first block, further events per block, outputs collected.
// Tables, spectra and frequency measurements come from osc_rig.h.
#pragma once

#include "osc_rig.h"

#include <string>

namespace osctest {

class Driver {
  public:
    using Signal = std::function<float(std::int64_t n)>;
    using Events = std::function<void(zrhost::EventList&, std::int64_t blockStart, int n)>;

    Driver(Rig& rig, std::u16string_view id, float sampleRate, std::vector<int> audioIns,
           std::vector<int> outs, int blockSize = 64)
        : module_(std::make_unique<zrhost::AudioModule>(
              rig.library(), id, rig.context(), zrhost::AudioSettings{blockSize, sampleRate})),
          ins_(std::move(audioIns)), outs_(std::move(outs)), blockSize_(blockSize) {
        for (int pin : ins_)
            module_->attachOwnBuffer(pin);
        for (int pin : outs_)
            module_->attachOwnBuffer(pin);
        module_->open();
    }

    zrhost::AudioModule& module() { return *module_; }

    void signal(int pin, Signal s) { signals_[pin] = std::move(s); }
    void constant(int pin, float v) {
        signals_[pin] = [v](std::int64_t) { return v; };
    }
    // Control values for the first block (graph start comes first); audio inputs are
    // announced static there, so the module reads their first samples.
    void setInt(int pin, int v) { ints_[pin] = v; }
    void setFloat(int pin, float v) { floats_[pin] = v; }

    // Renders `count` samples; returns each output pin's samples.
    std::map<int, std::vector<float>> render(std::int64_t count, const Events& events = {}) {
        std::map<int, std::vector<float>> out;
        for (std::int64_t done = 0; done < count;) {
            const int n = static_cast<int>(std::min<std::int64_t>(blockSize_, count - done));
            for (int pin : ins_) {
                auto buf = module_->buffer(pin);
                const auto s = signals_.find(pin);
                for (int i = 0; i < n; ++i)
                    buf[i] = s == signals_.end() ? 0.0f : s->second(position_ + i);
            }
            zrhost::EventList ev;
            if (position_ == 0) {
                ev.addGraphStart(0);
                for (const auto& [pin, v] : ints_)
                    ev.addInt(0, pin, v);
                for (const auto& [pin, v] : floats_)
                    ev.addFloat(0, pin, v);
                for (int pin : ins_)
                    ev.addStreamingStop(0, pin);
            }
            if (events) events(ev, position_, n);
            module_->processBlock(ev, n);
            for (int pin : outs_) {
                auto buf = module_->buffer(pin);
                out[pin].insert(out[pin].end(), buf.begin(), buf.begin() + n);
            }
            position_ += n;
            done += n;
        }
        return out;
    }

  private:
    std::unique_ptr<zrhost::AudioModule> module_;
    std::vector<int> ins_, outs_;
    int blockSize_;
    std::map<int, Signal> signals_;
    std::map<int, int> ints_;
    std::map<int, float> floats_;
    std::int64_t position_ = 0;
};

// Share of a signal's energy (from `offset`, 2^16 samples) that lies on harmonics of `f0`
// (within 4 bins of each multiple, DC excluded): near 1 for a signal periodic at f0.
inline double harmonicShare(const std::vector<float>& x, std::size_t offset, double rate,
                            double f0) {
    const Spectrum s = spectrumOf(x, offset, 1 << 16, rate);
    double total = 0.0, onHarmonics = 0.0;
    for (std::size_t k = 3; k < s.magnitude.size(); ++k) {
        const double e = s.magnitude[k] * s.magnitude[k];
        total += e;
        const double h = static_cast<double>(k) * s.binHz / f0;
        if (std::abs(h - std::round(h)) * f0 <= 4.0 * s.binHz) onHarmonics += e;
    }
    return total > 0.0 ? onHarmonics / total : 0.0;
}

} // namespace osctest
