// Filter rows for "ZR-LPF over CS": the plain four-stage ladder (mode 1) and the resonant one
// (mode 4) beside their hand-written floors (checked sample for sample), and beside Faust
// peers checked for their gain at the cutoff: four one-poles, a tanh ladder (also for the
// oversampled modes 5-8) and one or two Chamberlin sections (the state-variable modes).
#include "bench/peers/floors.h"
#include "bench/peers/units.h"
#include "dsp/decimator.h"
#include "dsp/oversampler.h"

#include <cmath>
#include <numbers>
#include <string>

#if defined(ZR_HAVE_FAUST)
#include "bench/peers/faust_runner.h"
#include "faust_chamberlin.h"
#include "faust_chamberlin2.h"
#include "faust_ladder.h"
#include "faust_onepole4.h"
#endif

namespace peers {
namespace {

// Input 0, Pitch 1, Resonance 2, Output 3, Mode 4, Aux 5, Blend 6.
float pitchAt(bool changing, int i) {
    return changing ? 0.4f + 0.0005f * static_cast<float>(i) : 0.5f;
}
float resAt(bool changing, int i) {
    return changing ? 0.2f + 0.002f * static_cast<float>(i) : 0.5f;
}
constexpr float kBlend = 0.3f;

std::unique_ptr<ModuleRunner> filterUnit(int mode, bool changing) {
    auto r =
        std::make_unique<ModuleRunner>(u"ZR-LPF over CS", std::vector<int>{0, 1, 2, 3, 5, 6}, 3);
    r->fill(0, [](int i) { return noise(0, i); });
    r->fill(1, [=](int i) { return pitchAt(changing, i); });
    r->fill(2, [=](int i) { return resAt(changing, i); });
    r->fill(6, [](int) { return kBlend; });
    r->start([=](zrhost::EventList& ev) {
        ev.addStreamingStart(0, 0).addInt(0, 4, mode);
        for (int pin : {1, 2, 6})
            changing ? ev.addStreamingStart(0, pin) : ev.addStreamingStop(0, pin);
    });
    return r;
}

// Mode 1 (`Resonant` false) or mode 4 by hand, on the tables an unused instance of the module
// shares.
template <bool Resonant>
class LadderFloor : public Runner {
  public:
    explicit LadderFloor(bool changing) : tables_(Resonant ? 4 : 1, false) {
        ladder_.kTable = tables_->sharedTable(u"QORV_CS_ok0-pitch", 10551);
        ladder_.resTable = tables_->sharedTable(u"QORV_CS_osloo1-pitch", 10551);
        for (int i = 0; i < kBlock; ++i) {
            in_[i] = noise(0, i);
            pitch_[i] = pitchAt(changing, i);
            res_[i] = resAt(changing, i);
        }
    }
    void block() override {
        if constexpr (Resonant)
            ladder_.run(in_, pitch_, res_, out_, kBlock);
        else
            ladder_.run(in_, pitch_, out_, kBlock);
    }
    const float* output() const override { return out_; }

  private:
    struct Tables : std::unique_ptr<ModuleRunner> {
        Tables(int mode, bool changing)
            : std::unique_ptr<ModuleRunner>(filterUnit(mode, changing)) {
            get()->block(); // opened and run once: the tables are filled
        }
    } tables_;
    std::conditional_t<Resonant, floors::LadderResonant, floors::LadderPlain> ladder_;
    float in_[kBlock] = {}, pitch_[kBlock] = {}, res_[kBlock] = {}, out_[kBlock] = {};
};

// The parts of the oversampled ladders put together by hand, as mode 5 combines them: the
// input spread over two sub-samples, per sub-sample the input's decimation filter, the
// resonance feedback, tanh from the table, four one-poles at the doubled rate and the output's
// decimation filter. Modes 6-8 vary the saturation and the number of stages.
class OversampledParts : public Runner {
  public:
    OversampledParts() : tables_(filterUnit(5, false)) {
        tables_->block();
        ladder_.kTable = tables_->sharedTable(u"QORV_CS_ok0_2-pitch", 10551);
        tanh_ = tables_->sharedTable(u"QORV_CS_o_Tanh", 20001);
        const float* resTable = tables_->sharedTable(u"QORV_CS_oslo-pitch", 10551);
        const float pitch = floors::clampLow(pitchAt(false, 0) - 0.0009f, 0.0f, 1.039f);
        ladder_.k = floors::lerp(ladder_.kTable, pitch * 10000.0f);
        ladder_.g = (ladder_.k + 1.0f) * 0.5f;
        fb_ = resAt(false, 0) * 0.935f * floors::lerp(resTable, pitch * 10000.0f);
        for (int i = 0; i < kBlock; ++i)
            in_[i] = noise(0, i);
    }
    void block() override {
        for (int i = 0; i < kBlock; ++i)
            out_[i] = oversampler_.run(in_[i], [this](float u) {
                float x = decA_.process(u) - fb_ * ladder_.y[3];
                x = floors::clampLow(x, -4.0f, 4.0f);
                x = 4.0f * floors::lerp(tanh_, (x * 0.25f + 1.0f) * 10000.0f);
                return decB_.process(ladder_.stages(x));
            });
    }
    const float* output() const override { return out_; }

  private:
    std::unique_ptr<ModuleRunner> tables_;
    const float* tanh_ = nullptr;
    floors::Ladder ladder_;
    float fb_ = 0.0f;
    zr::dsp::Oversampler<2> oversampler_;
    zr::dsp::Decimator2x decA_, decB_;
    float in_[kBlock] = {}, out_[kBlock] = {};
};

template <class Floor, class... Args>
Check sameSamples(int mode, bool changing, Args... args) {
    return [=] {
        auto u = filterUnit(mode, changing);
        Floor f(args...);
        const long long at = firstDifference(*u, f, 64);
        return failIf(at >= 0, "differs from the module at sample " + std::to_string(at));
    };
}

std::string kind(bool changing) {
    return changing ? " changing" : " steady";
}

Make unit(int mode, bool changing) {
    return [=] { return std::unique_ptr<Runner>(filterUnit(mode, changing)); };
}

#if defined(ZR_HAVE_FAUST)
template <class Dsp>
Check gainNear(double hz, float res, float a, double expectedDb, double toleranceDb) {
    return [=] {
        const double g = gainAtCutoff<Dsp>(hz, res, a);
        return failIf(!(std::fabs(g - expectedDb) <= toleranceDb),
                      "gain at the cutoff " + std::to_string(g) + " dB, expected " +
                          std::to_string(expectedDb));
    };
}

template <class Dsp>
Make peer(bool changing) {
    return faust<Dsp>([=](int c, long long i) {
        const int n = static_cast<int>(i);
        return c == 0   ? noise(0, n)
               : c == 1 ? pitchAt(changing, n)
               : c == 2 ? resAt(changing, n)
                        : kBlend;
    });
}

// Each bilinear one-pole is 3.01 dB down at its cutoff: four of them 12.04 dB.
const double kFourPolesDb = 4.0 * 10.0 * std::log10(0.5);
// A second-order low-pass with damping q = 1 - 0.88 res is 1/q above its pass band at the
// cutoff; two sections in series (blend 1) twice that in dB.
double sectionDb(float res) {
    return -20.0 * std::log10(1.0 - 0.88 * res);
}
#endif

} // namespace

std::vector<Row> filterRows() {
    std::vector<Row> rows;
    for (bool changing : {false, true}) {
        const std::string name = "filter mode 1" + kind(changing);
        rows.push_back({name, unit(1, changing), "floor: same arithmetic",
                        [=] { return std::make_unique<LadderFloor<false>>(changing); },
                        sameSamples<LadderFloor<false>>(1, changing, changing)});
#if defined(ZR_HAVE_FAUST)
        rows.push_back({name, unit(1, changing), "faust: four one-poles",
                        peer<Faust_onepole4>(changing),
                        gainNear<Faust_onepole4>(1000.0, 0.0f, 1.0f, kFourPolesDb, 0.1)});
#endif
    }
    rows.push_back({"filter mode 4", unit(4, false), "floor: same arithmetic",
                    [] { return std::make_unique<LadderFloor<true>>(false); },
                    sameSamples<LadderFloor<true>>(4, false, false)});
    for (int mode : {5, 6, 7, 8})
        rows.push_back({"filter mode " + std::to_string(mode), unit(mode, false),
                        "parts: 2x, decimators, ladder",
                        [] { return std::make_unique<OversampledParts>(); },
                        sameSamples<OversampledParts>(5, false)});
#if defined(ZR_HAVE_FAUST)
    // Quiet enough for tanh to be linear: with no resonance the ladder is four one-poles.
    const Check ladderCheck = gainNear<Faust_ladder>(1000.0, 0.0f, 0.01f, kFourPolesDb, 0.1);
    for (int mode : {4, 5, 6, 7, 8})
        rows.push_back({"filter mode " + std::to_string(mode), unit(mode, false),
                        "faust: tanh ladder", peer<Faust_ladder>(false), ladderCheck});
    for (int mode : {23, 24, 25})
        rows.push_back({"filter mode " + std::to_string(mode), unit(mode, false),
                        "faust: Chamberlin section", peer<Faust_chamberlin>(false),
                        gainNear<Faust_chamberlin>(1000.0, 0.5f, 1.0f, sectionDb(0.5f), 0.5)});
    for (int mode : {19, 20, 21, 22})
        rows.push_back(
            {"filter mode " + std::to_string(mode), unit(mode, false),
             "faust: two Chamberlin sections", peer<Faust_chamberlin2>(false),
             gainNear<Faust_chamberlin2>(1000.0, 0.5f, 1.0f, 2.0 * sectionDb(0.5f), 1.0)});
#endif
    return rows;
}

} // namespace peers
