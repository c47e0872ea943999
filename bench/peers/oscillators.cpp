// Oscillator rows: the saw of "Osc ZRPM" and the sine of "ZR Osc SINE", each beside its
// hand-written floor (checked sample for sample) and a Faust peer (checked for pitch).
#include "bench/peers/floors.h"
#include "bench/peers/units.h"

#include <cmath>
#include <numbers>
#include <string>

#if defined(ZR_HAVE_FAUST)
#include "bench/peers/faust_runner.h"
#include "faust_saw.h"
#include "faust_sine.h"
#endif

namespace peers {
namespace {

constexpr float kSteadyPitch = 0.43f; // 270.9 Hz

float pitchAt(bool changing, int i) {
    return changing ? 0.3f + 0.0002f * static_cast<float>(i) : kSteadyPitch;
}

double sineWave(double x) {
    return std::sin(2.0 * std::numbers::pi * x);
}
double sawWave(double x) {
    return 2.0 * x - 1.0;
}

// "Osc ZRPM" playing the saw (Wave 2, Reset Mode 0) at full Saw Level, no phase modulation.
std::unique_ptr<Runner> sawUnit(bool changing) {
    auto r = std::make_unique<ModuleRunner>(u"Osc ZRPM",
                                            std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13}, 5);
    for (const char16_t* name : {u"QORV_OSC-ZRPM-sine", u"QORV_OSC-ZRPM-saw", u"QORV_OSC-ZRPM-tri"})
        plantSlot(r->context(), name, sawWave);
    r->fill(0, [=](int i) { return pitchAt(changing, i); });
    r->fill(2, [](int) { return 0.2f; });
    r->fill(3, [](int) { return 1.0f; });
    r->start([](zrhost::EventList& ev) {
        ev.addInt(0, 11, 2).addInt(0, 12, 0);
        for (int pin : {14, 15, 16})
            ev.addFloat(0, pin, 1.0f);
        ev.addStreamingStop(0, 3);
    });
    return r;
}

std::unique_ptr<Runner> sineUnit(bool changing) {
    auto r = std::make_unique<ModuleRunner>(u"ZR Osc SINE", std::vector<int>{0, 1, 2, 3, 6}, 3);
    plantSlot(r->context(), u"QORV_OSC-ZRPM-sine", sineWave);
    r->fill(0, [=](int i) { return pitchAt(changing, i); });
    r->fill(1, [](int) { return 1.0f; });
    r->start([](zrhost::EventList& ev) {
        ev.addInt(0, 5, 0).addFloat(0, 7, 1.0f).addStreamingStop(0, 1);
    });
    return r;
}

// A wavetable slot and the pitch table, as the floors read them.
struct Tables {
    std::vector<float> slot, pitch;
    explicit Tables(double (*wave)(double)) : slot(kSlotEntries), pitch(20341) {
        for (int i = 0; i < kSlotEntries; ++i)
            slot[static_cast<std::size_t>(i)] = slotEntry(wave, i);
        floors::fillPitchTable(pitch.data(), kRate);
    }
};

class SawFloor : public Runner {
  public:
    explicit SawFloor(bool changing) : tables_(sawWave) {
        saw_.table = tables_.slot.data();
        saw_.pitchTable = tables_.pitch.data();
        for (int i = 0; i < kBlock; ++i)
            pitch_[i] = pitchAt(changing, i);
    }
    void block() override {
        saw_.run(pitch_, phaseMod_, out_[0], out_[1], out_[2], out_[3], out_[4], kBlock);
    }
    const float* output() const override { return out_[0]; }

  private:
    Tables tables_;
    floors::Saw saw_;
    float pitch_[kBlock] = {}, phaseMod_[kBlock] = {};
    float out_[5][kBlock] = {};
};

class SineFloor : public Runner {
  public:
    explicit SineFloor(bool changing) : tables_(sineWave) {
        sine_.table = tables_.slot.data();
        sine_.pitchTable = tables_.pitch.data();
        for (int i = 0; i < kBlock; ++i)
            pitch_[i] = pitchAt(changing, i);
    }
    void block() override { sine_.run(pitch_, out_, kBlock); }
    const float* output() const override { return out_; }

  private:
    Tables tables_;
    floors::Sine sine_;
    float pitch_[kBlock] = {}, out_[kBlock] = {};
};

// The floor renders what the module renders, sample for sample, over 4096 samples.
template <class Floor>
Check sameSamples(std::unique_ptr<Runner> (*unit)(bool), bool changing) {
    return [=] {
        auto u = unit(changing);
        Floor f(changing);
        const long long at = firstDifference(*u, f, 64);
        return failIf(at >= 0, "differs from the module at sample " + std::to_string(at));
    };
}

std::string kind(bool changing) {
    return changing ? " changing" : " steady";
}

#if defined(ZR_HAVE_FAUST)
// One second at the steady pitch, within a cent of 440 Hz x 2^(10 x 0.43 - 5).
template <class Dsp>
Check pitchWithinACent() {
    return [] {
        FaustRunner<Dsp> r([](int, long long) { return kSteadyPitch; }, true);
        const double f = measuredFrequency(render(r, 750), kRate);
        const double off = cents(f, pitchHz(kSteadyPitch));
        return failIf(!(std::fabs(off) < 1.0), "pitch off by " + std::to_string(off) + " cents");
    };
}

template <class Dsp>
Make faustOsc(bool changing) {
    return faust<Dsp>(
        [changing](int, long long i) { return pitchAt(changing, static_cast<int>(i)); });
}
#endif

} // namespace

std::vector<Row> oscillatorRows() {
    std::vector<Row> rows;
    for (bool changing : {false, true}) {
        const std::string saw = "saw" + kind(changing);
        rows.push_back({saw, [=] { return sawUnit(changing); }, "floor: same arithmetic",
                        [=] { return std::make_unique<SawFloor>(changing); },
                        sameSamples<SawFloor>(sawUnit, changing)});
#if defined(ZR_HAVE_FAUST)
        rows.push_back({saw, [=] { return sawUnit(changing); }, "faust: PTR saw",
                        faustOsc<Faust_saw>(changing), pitchWithinACent<Faust_saw>()});
#endif
    }
    for (bool changing : {false, true}) {
        const std::string sine = "sine" + kind(changing);
        rows.push_back({sine, [=] { return sineUnit(changing); }, "floor: same arithmetic",
                        [=] { return std::make_unique<SineFloor>(changing); },
                        sameSamples<SineFloor>(sineUnit, changing)});
#if defined(ZR_HAVE_FAUST)
        rows.push_back({sine, [=] { return sineUnit(changing); }, "faust: interpolated table",
                        faustOsc<Faust_sine>(changing), pitchWithinACent<Faust_sine>()});
#endif
    }
    return rows;
}

} // namespace peers
