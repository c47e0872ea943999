// Test rig for the oscillators: loads the module library, fills the wavetable slots through
// the loader module as a host would, and drives "Osc ZRPM" sample by sample from input
// signals, collecting its five outputs. Also signal measurements (frequency by zero
// crossings, windowed spectra) used by the sound tests.
#pragma once

#include "host/text.h"
#include "modules/oscillators/Wavetables.h"
#include "tests/rig/module_rig.h"
#include "tools/zrwgen/zrw.h"

#include <gtest/gtest.h>
#include <kissfft/kissfft.hh>

#include <cmath>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace osctest {

namespace wt = zr::wavetables;

// Pins of "Osc ZRPM".
enum OscPin : int {
    Pitch = 0,
    PhaseMod = 1,
    Shape = 2,
    Gate = 3,
    Sync = 4,
    AudioOut = 5,
    WrapOut = 6,
    IncrementOut = 7,
    ZoneFadeOut = 8,
    ZoneBaseOut = 9,
    WavePin = 11,
    ResetMode = 12,
    SpareAudio = 13,
    SineLevel = 14,
    SawLevel = 15,
    TriLevel = 16,
    Reset = 17,
};

// Pins of "INIT Osc ZRPM".
enum LoaderPin : int {
    File = 0,
    SineType = 2,
    SineNumber = 3,
    SawType = 4,
    SawNumber = 5,
    TriType = 6,
    TriNumber = 7,
    SineStatus = 8,
    SawStatus = 9,
    TriStatus = 10,
};

inline constexpr float kLoaded = 1.0f;
inline constexpr float kNotLoaded = 0.000001f;

// The frequency of a pitch in volts: 440 Hz at 5 V, one octave per volt.
inline double hertz(double volts) {
    return 440.0 * std::exp2(volts - 5.0);
}
inline double cents(double measured, double expected) {
    return 1200.0 * std::log2(measured / expected);
}

inline std::filesystem::path scratch(const std::string& name) {
    auto p = std::filesystem::path(ZR_TEST_SCRATCH_DIR) / name;
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

// Writes a wavetable file from raw entries (any length: tests make short and long ones).
inline void writeRaw(const std::filesystem::path& file, const std::vector<float>& entries) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(entries.data()),
              static_cast<std::streamsize>(entries.size() * sizeof(float)));
}

// A full file whose header says format 2 and whose zone z, sample n holds f(z, n).
inline std::vector<float> tableOf(const std::function<float(int zone, int n)>& f,
                                  float format = 2.0f) {
    std::vector<float> t(wt::kFileEntries, 0.0f);
    t[3] = format;
    for (int z = 0; z < wt::kZoneCount; ++z)
        for (int n = 0; n < wt::kZoneLength; ++n)
            t[wt::kZoneStart + z * wt::kZoneLength + n] = f(z, n);
    return t;
}

// The loader's File and slot choices, as events at time 0.
inline void addLoaderSettings(zrhost::EventList& ev, const std::u16string& file, int sineType,
                              int sineNumber, int sawType, int sawNumber, int triType,
                              int triNumber) {
    ev.addText(0, File, file)
        .addInt(0, SineType, sineType)
        .addInt(0, SineNumber, sineNumber)
        .addInt(0, SawType, sawType)
        .addInt(0, SawNumber, sawNumber)
        .addInt(0, TriType, triType)
        .addInt(0, TriNumber, triNumber);
}

class Rig {
  public:
    Rig() : library_(rig::loadLibrary()) {}

    zrhost::ModuleLibrary& library() { return *library_; }
    zrhost::HostContext& context() { return context_; }

    // The shared block of a slot as the host holds it (empty before any module asked for it).
    std::span<const float> slot(int slot) const {
        auto bytes = context_.sharedMemory().find(wt::kSlotNames[slot], wt::kSlotSampleRate);
        return {reinterpret_cast<const float*>(bytes.data()), bytes.size() / sizeof(float)};
    }
    // Writable access, for tests that plant values the loader must not touch.
    float* slotForWriting(int slot) {
        void* p = nullptr;
        gmpi::int32 needInit = 0;
        context_.sharedMemory().allocate(wt::kSlotNames[slot], &p, wt::kSlotSampleRate,
                                         wt::kSlotBytes, needInit);
        return static_cast<float*>(p);
    }

    // Loads the three slots through a loader module: File resolves against `folder`.
    // Returns the three status values sent last.
    std::vector<float> load(const std::filesystem::path& folder, int sineType, int sawType,
                            int triType, int number = 1, std::u16string file = u"base.zrw") {
        context_.setFileFolder(zrhost::toUtf16(folder.string()));
        rig::ModuleRig r(u"INIT Osc ZRPM", {}, &context_, library_.get());
        r.attach(11);
        zrhost::EventList ev;
        ev.addGraphStart(0);
        addLoaderSettings(ev, file, sineType, number, sawType, number, triType, number);
        r.block(ev);
        const zrhost::AudioModule& loader = r.module();
        return {loader.floatsSent(SineStatus).back(), loader.floatsSent(SawStatus).back(),
                loader.floatsSent(TriStatus).back()};
    }

    // Standard tables from the generator: the sine, saw and tri slots from the sine, saw and
    // triangle files (the square file lies in the same folder, number 1).
    std::filesystem::path loadStandardTables() {
        const auto folder = std::filesystem::path(ZR_TEST_SCRATCH_DIR) / "standard";
        if (!std::filesystem::exists(folder / "osc-sqr-1.zrw")) {
            // Test processes may run side by side: each writes its own set and moves the
            // files into place, so a reader never sees a half-written file.
            const auto own =
                folder.parent_path() / ("standard-" + std::to_string(std::random_device{}()));
            std::filesystem::create_directories(folder);
            for (const auto& f : zrw::writeStandardTables(own, 1)) {
                std::error_code ec; // another process may have moved its copy in first
                std::filesystem::rename(f, folder / f.filename(), ec);
            }
            std::filesystem::remove_all(own);
        }
        const auto status = load(folder, 0, 2, 1);
        EXPECT_EQ(status, (std::vector<float>{kLoaded, kLoaded, kLoaded}));
        return folder;
    }

  private:
    std::unique_ptr<zrhost::ModuleLibrary> library_;
    zrhost::HostContext context_;
};

struct Output {
    std::vector<float> audio, wrap, increment, zoneFade, zoneBase;
};

// Drives one oscillator. Input pins take a signal per absolute sample index (default 0);
// control values and other events are added per block through a callback.
class Osc {
  public:
    using Signal = rig::Signal;
    using Events = std::function<void(zrhost::EventList&, std::int64_t blockStart)>;

    Osc(Rig& rig, float sampleRate, int blockSize = 64)
        : rig_(u"Osc ZRPM", {blockSize, sampleRate}, &rig.context(), &rig.library()) {
        for (int pin : {Pitch, PhaseMod, Shape, Gate, Sync})
            rig_.feed(pin, [this, pin](std::int64_t n) { return signals_[pin](n); });
        for (int pin : {AudioOut, WrapOut, IncrementOut, ZoneFadeOut, ZoneBaseOut})
            rig_.collect(pin);
        rig_.attach(SpareAudio);
        rig_.open();
        for (int pin : {Pitch, PhaseMod, Shape, Gate, Sync})
            signals_[pin] = [](std::int64_t) { return 0.0f; };
    }

    zrhost::AudioModule& module() { return rig_.module(); }
    float sampleRate() const { return rig_.sampleRate(); }

    void signal(int pin, Signal s) { signals_[pin] = std::move(s); }
    void constant(int pin, float v) {
        signals_[pin] = [v](std::int64_t) { return v; };
    }

    // First block's events: graph start, wave, reset mode, levels, and a static gate at 1.
    void start(int wave, int resetMode = 0, float sine = 1.0f, float saw = 1.0f, float tri = 1.0f) {
        constant(Gate, 1.0f);
        rig_.queue([=](zrhost::EventList& ev) {
            ev.addGraphStart(0)
                .addInt(0, WavePin, wave)
                .addInt(0, ResetMode, resetMode)
                .addFloat(0, SineLevel, sine)
                .addFloat(0, SawLevel, saw)
                .addFloat(0, TriLevel, tri)
                .addStreamingStop(0, Gate);
        });
    }

    // Renders `count` samples. `events` is asked for each block's events (besides the ones
    // `start` queued for the first block).
    Output render(std::int64_t count, const Events& events = {}) {
        const std::int64_t from = rig_.now();
        for (std::int64_t done = 0; done < count;) {
            const int n = static_cast<int>(std::min<std::int64_t>(rig_.blockSize(), count - done));
            zrhost::EventList ev;
            rig_.addQueued(ev);
            if (events) events(ev, rig_.now());
            rig_.block(ev, n);
            done += n;
        }
        return {slice(AudioOut, from), slice(WrapOut, from), slice(IncrementOut, from),
                slice(ZoneFadeOut, from), slice(ZoneBaseOut, from)};
    }
    std::int64_t position() const { return rig_.now(); }

  private:
    // The samples of an output from absolute index `from` on.
    std::vector<float> slice(int pin, std::int64_t from) {
        const std::vector<float>& all = rig_.output(pin);
        return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
    }

    rig::ModuleRig rig_;
    std::map<int, Signal> signals_;
};

// Frequency from rising zero crossings (linear interpolation between samples), skipping the
// first `skip` samples.
inline double measureFrequency(const std::vector<float>& x, double sampleRate,
                               std::size_t skip = 16) {
    double first = -1.0, last = -1.0;
    long crossings = 0;
    for (std::size_t i = skip + 1; i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            const double t = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return static_cast<double>(crossings - 1) / (last - first) * sampleRate;
}

// Spectrum of a block under a four-term Blackman-Harris window (side lobes near -92 dB).
struct Spectrum {
    std::vector<double> magnitude; // per bin, up to Nyquist
    double binHz = 0.0;
    double windowSum = 0.0;
    double windowEnergy = 0.0;
    std::size_t size = 0;

    std::size_t bin(double hz) const { return static_cast<std::size_t>(std::lround(hz / binHz)); }
    // Amplitude of a sinusoid near `hz`: the largest bin within `reach` bins, corrected for the
    // window's gain (scalloping may lower it by up to 0.8 dB).
    double peak(double hz, int reach = 4) const {
        const std::size_t c = bin(hz);
        double m = 0.0;
        for (std::size_t k = c > static_cast<std::size_t>(reach) ? c - reach : 0;
             k <= c + reach && k < magnitude.size(); ++k)
            m = std::max(m, magnitude[k]);
        return 2.0 * m / windowSum;
    }
    // Amplitude from the energy of the main lobe: free of scalloping.
    double amplitude(double hz, int reach = 5) const {
        const std::size_t c = bin(hz);
        double e = 0.0;
        for (std::size_t k = c > static_cast<std::size_t>(reach) ? c - reach : 0;
             k <= c + reach && k < magnitude.size(); ++k)
            e += magnitude[k] * magnitude[k];
        return std::sqrt(4.0 * e / (static_cast<double>(size) * windowEnergy));
    }
};

inline Spectrum spectrumOf(const std::vector<float>& x, std::size_t offset, std::size_t n,
                           double sampleRate) {
    using std::numbers::pi;
    std::vector<std::complex<double>> in(n), out(n);
    Spectrum s;
    for (std::size_t i = 0; i < n; ++i) {
        const double p = 2.0 * pi * static_cast<double>(i) / static_cast<double>(n);
        const double w =
            0.35875 - 0.48829 * std::cos(p) + 0.14128 * std::cos(2 * p) - 0.01168 * std::cos(3 * p);
        in[i] = x[offset + i] * w;
        s.windowSum += w;
        s.windowEnergy += w * w;
    }
    kissfft<double>(n, false).transform(in.data(), out.data());
    s.magnitude.resize(n / 2);
    for (std::size_t k = 0; k < n / 2; ++k)
        s.magnitude[k] = std::abs(out[k]);
    s.binHz = sampleRate / static_cast<double>(n);
    s.size = n;
    return s;
}

inline double dB(double ratio) {
    return 20.0 * std::log10(ratio);
}

} // namespace osctest
