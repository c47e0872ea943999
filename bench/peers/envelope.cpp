// Envelope rows for "QORVALIS ZR-ADSR D": the straight-line attack and decay beside their
// hand-written floors (checked sample for sample from the gate on), and every stage beside a
// Faust envelope of straight-line or exponential segments, checked for its levels at given
// times.
#include "bench/peers/floors.h"
#include "bench/peers/units.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#if defined(ZR_HAVE_FAUST)
#include "bench/peers/faust_runner.h"
#include "faust_envcurve.h"
#include "faust_envline.h"
#endif

namespace peers {
namespace {

enum Pin : int {
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
    FixedTime = 17,
    HoldRelease = 18,
};
constexpr int kInputs[] = {Enable, Attack, Decay, Sustain, Release, Level, Delay};

enum class Stage { Attack, Decay, Sustain, Release };

// Input `pin` of buffer set `set` at sample i. Control 3 (30 V) is a 2^20 s segment, so the
// envelope stays in the stage measured; 0 is the shortest (1 ms). Changing inputs differ on
// every sample and between the two sets, which alternate block by block.
float inputAt(Stage stage, bool changing, int set, int pin, int i) {
    std::map<int, float> base = {{Enable, 1.0f},  {Attack, 0.0f}, {Decay, 0.0f}, {Sustain, 0.5f},
                                 {Release, 3.0f}, {Level, 0.8f},  {Delay, 0.0f}};
    if (stage == Stage::Attack) base[Attack] = 3.0f;
    if (stage == Stage::Decay) base[Decay] = 3.0f;
    return base[pin] *
           (changing ? 1.0f + 1e-4f * std::sin(static_cast<float>(i) + set * 0.5f) : 1.0f);
}

// The input values of both sets, indexed [set][pin][i], and the buffers a block reads. With
// changing inputs both sides copy the next set into those buffers before each block, so the
// unit is not charged for re-attaching its pins and both pay the same for new inputs.
struct Inputs {
    float at[2][Delay + 1][kBlock] = {};
    float now[Delay + 1][kBlock] = {};
    Inputs(Stage stage, bool changing) {
        for (int set = 0; set < 2; ++set)
            for (int pin : kInputs)
                for (int i = 0; i < kBlock; ++i)
                    at[set][pin][i] = inputAt(stage, changing, set, pin, i);
        load(0);
    }
    void load(int set) { std::memcpy(now, at[set], sizeof now); }
};

// What a block reads and writes, at the same addresses modulo a page on both sides of a row.
// Where the output sits relative to the inputs moved both sides' times by up to a factor of
// two (and the attack's ratio from 1.1 to 1.4) from one heap layout to another; placed alike,
// the unit and its floor meet the same memory effects.
struct alignas(4096) Buffers {
    Buffers(Stage stage, bool changing) : inputs(stage, changing) {}
    Inputs inputs;
    float out[kBlock] = {};
};

class EnvelopeUnit : public ModuleRunner {
  public:
    EnvelopeUnit(Stage stage, bool fixed, int curve, bool changing)
        : ModuleRunner(u"QORVALIS ZR-ADSR D", {}, Envelope),
          buffers_(std::make_unique<Buffers>(stage, changing)), inputs_(buffers_->inputs) {
        for (int pin : kInputs)
            module().attachBuffer(pin, inputs_.now[pin]);
        module().attachBuffer(Envelope, buffers_->out);
        if (changing)
            beforeBlock([this] {
                inputs_.load(set_);
                set_ ^= 1;
            });
        // Only the stage measured takes the curve under test; the others are straight lines.
        start([=](zrhost::EventList& ev) {
            const int init[][2] = {{AttackShape, stage == Stage::Attack ? curve : 2},
                                   {DecayShape, stage == Stage::Decay ? curve : 2},
                                   {ReleaseShape, curve},
                                   {FixedTime, fixed ? 1 : 0},
                                   {HoldRelease, 0},
                                   {RestartFromZero, 0},
                                   {AttackRange, 0},
                                   {DecayRange, 0},
                                   {ReleaseRange, 0},
                                   {Gate, 1}};
            for (const auto& [pin, value] : init)
                ev.addInt(0, pin, value);
            ev.addStreamingStart(0, Level);
        });
    }

    // Runs through the 1 ms segments; for the release, lets the gate fall.
    void bringTo(Stage stage) {
        for (int b = 0; b < 40; ++b)
            block();
        if (stage == Stage::Release) {
            zrhost::EventList off;
            off.addInt(0, Gate, 0);
            module().processBlock(off);
        }
    }

    const float* output() const override { return buffers_->out; }

  private:
    std::unique_ptr<Buffers> buffers_;
    Inputs& inputs_;
    int set_ = 0;
};

// The straight-line attack or decay by hand, from the gate on: the times from the first
// sample of each block, the attack, the handover to the decay within the sample the attack
// reaches 1, the decay.
template <bool Fixed>
class LineFloor : public Runner {
  public:
    LineFloor(Stage stage, bool changing)
        : buffers_(std::make_unique<Buffers>(stage, changing)), inputs_(buffers_->inputs),
          out_(buffers_->out), changing_(changing) {}

    void block() override {
        if (changing_) {
            inputs_.load(set_);
            set_ ^= 1;
        }
        const auto& in = inputs_.now;
        update(in);
        const float* gain = in[Level];
        int i = 0;
        if (attacking_) {
            i = env_.attack(gain, out_, kBlock);
            if (i == kBlock) return;
            attacking_ = false;
            env_.level = 1.0f;
            env_.phase = 1.0;
            float unused;
            if (env_.decay<Fixed>(gain + i, &unused, 1) == 0) env_.level = env_.sustain;
            ++i;
        }
        if (i < kBlock) {
            const int done = i + env_.decay<Fixed>(gain + i, out_ + i, kBlock - i);
            if (done < kBlock) env_.level = env_.sustain; // the sustain: not measured here
        }
    }
    const float* output() const override { return out_; }

  private:
    void update(const float (&in)[Delay + 1][kBlock]) {
        if (in[Attack][0] != attackCache_) {
            attackCache_ = in[Attack][0];
            env_.attackStep = floors::segmentIncrement(in[Attack][0] * 10.0f, 10.0f, kRate);
        }
        if (in[Decay][0] != decayCache_) {
            decayCache_ = in[Decay][0];
            env_.decayIncrement = floors::segmentIncrement(in[Decay][0] * 10.0f, 10.0f, kRate);
        }
        if (in[Sustain][0] != sustainCache_) {
            sustainCache_ = in[Sustain][0];
            env_.sustain = floors::clampLow(in[Sustain][0], 0.0f, 1.0f);
            env_.oneMinusSustain = 1.0f - env_.sustain;
        }
    }

    std::unique_ptr<Buffers> buffers_;
    Inputs& inputs_;
    float* out_;
    bool changing_;
    int set_ = 0;
    bool attacking_ = true;
    float attackCache_ = floors::kUnset, decayCache_ = floors::kUnset,
          sustainCache_ = floors::kUnset;
    floors::EnvelopeLine env_;
};

Make unit(Stage stage, bool fixed, int curve, bool changing) {
    return [=] {
        auto u = std::make_unique<EnvelopeUnit>(stage, fixed, curve, changing);
        u->bringTo(stage);
        return std::unique_ptr<Runner>(std::move(u));
    };
}

template <bool Fixed>
Check sameSamples(Stage stage, bool changing) {
    return [=] {
        EnvelopeUnit u(stage, Fixed, 2, changing);
        LineFloor<Fixed> f(stage, changing);
        const long long at = firstDifference(u, f, 64);
        return failIf(at >= 0, "differs from the module at sample " + std::to_string(at));
    };
}

#if defined(ZR_HAVE_FAUST)
// Inputs (gate, attack, decay, sustain, release) in seconds and 0..1.
struct Times {
    float attack, decay, sustain, release;
};

template <class Dsp>
std::unique_ptr<FaustRunner<Dsp>> faustEnvelope(Times t, float gate) {
    return std::make_unique<FaustRunner<Dsp>>([=](int c, long long) {
        const float v[] = {gate, t.attack, t.decay, t.sustain, t.release};
        return v[c];
    });
}

// The peer held in the stage measured: long segments, the short ones run through first.
template <class Dsp>
Make peer(Stage stage) {
    return [=] {
        const Times t{stage == Stage::Attack ? 1e5f : 0.001f, stage == Stage::Decay ? 1e5f : 0.001f,
                      0.5f, 1e5f};
        auto r = faustEnvelope<Dsp>(t, 1.0f);
        for (int b = 0; b < 40; ++b)
            r->block();
        if (stage == Stage::Release)
            r->setInput([=](int c, long long) {
                const float v[] = {0.0f, t.attack, t.decay, t.sustain, t.release};
                return v[c];
            });
        return std::unique_ptr<Runner>(std::move(r));
    };
}

// Levels at given times for attack 0.1 s, decay 0.2 s, sustain 0.5 and release 0.1 s, the gate
// falling at 0.5 s: `expected` holds (seconds, level) pairs, within `tolerance`.
template <class Dsp>
Check levelsAt(std::vector<std::pair<double, double>> expected, double tolerance) {
    return [=] {
        auto r = faustEnvelope<Dsp>({0.1f, 0.2f, 0.5f, 0.1f}, 1.0f);
        std::vector<float> x = render(*r, 375); // 0.5 s
        r->setInput([](int c, long long) {
            const float v[] = {0.0f, 0.1f, 0.2f, 0.5f, 0.1f};
            return v[c];
        });
        const std::vector<float> tail = render(*r, 375);
        x.insert(x.end(), tail.begin(), tail.end());
        for (auto [seconds, level] : expected) {
            const double got = x[static_cast<std::size_t>(seconds * kRate)];
            if (!(std::fabs(got - level) <= tolerance))
                return "level " + std::to_string(got) + " at " + std::to_string(seconds) +
                       " s, expected " + std::to_string(level);
        }
        return std::string();
    };
}
#endif

} // namespace

std::vector<Row> envelopeRows() {
    std::vector<Row> rows;
    for (bool changing : {false, true}) {
        const std::string k = changing ? " changing" : " steady";
        rows.push_back({"env line attack" + k, unit(Stage::Attack, true, 2, changing),
                        "floor: same arithmetic",
                        [=] { return std::make_unique<LineFloor<true>>(Stage::Attack, changing); },
                        sameSamples<true>(Stage::Attack, changing)});
        rows.push_back({"env line decay" + k, unit(Stage::Decay, true, 2, changing),
                        "floor: same arithmetic",
                        [=] { return std::make_unique<LineFloor<true>>(Stage::Decay, changing); },
                        sameSamples<true>(Stage::Decay, changing)});
        rows.push_back({"env line decay scaled" + k, unit(Stage::Decay, false, 2, changing),
                        "floor: same arithmetic",
                        [=] { return std::make_unique<LineFloor<false>>(Stage::Decay, changing); },
                        sameSamples<false>(Stage::Decay, changing)});
    }
#if defined(ZR_HAVE_FAUST)
    // Straight lines: half-way up at 0.05 s, a quarter of the decay at 0.15 s, the sustain
    // from 0.3 s, half-way down at 0.55 s, silent from 0.6 s.
    const Check line = levelsAt<Faust_envline>(
        {{0.05, 0.5}, {0.15, 0.875}, {0.4, 0.5}, {0.55, 0.25}, {0.7, 0.0}}, 0.002);
    // Exponential segments reach -60 dB of the distance to their target in their time.
    const double e = std::exp(-6.91 * 0.5);
    const Check curve = levelsAt<Faust_envcurve>(
        {{0.05, 1.0 - e}, {0.45, 0.5}, {0.55, 0.5 * e}, {0.7, 0.0}}, 0.005);
    for (auto [stage, name] : {std::pair{Stage::Attack, "attack"},
                               {Stage::Decay, "decay"},
                               {Stage::Release, "release"}}) {
        rows.push_back({std::string("env line ") + name, unit(stage, true, 2, false),
                        "faust: straight-line adsr", peer<Faust_envline>(stage), line});
        rows.push_back({std::string("env curve ") + name, unit(stage, true, 0, false),
                        "faust: exponential adsr", peer<Faust_envcurve>(stage), curve});
    }
    rows.push_back({"env sustain", unit(Stage::Sustain, true, 2, false),
                    "faust: straight-line adsr", peer<Faust_envline>(Stage::Sustain), line});
#endif
    return rows;
}

} // namespace peers
