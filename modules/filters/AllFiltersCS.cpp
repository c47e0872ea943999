// "ZR-LPF over CS" filters its input in one of 32 modes (ladders, state-variable, oversampled).
// Shared coefficient tables, the mode routines and the pin logic of the
// 32-mode filter. Each mode is a small kernel type (coefficient update + one sample); one
// block routine template turns a kernel into the routine installed for that mode, so the
// sample loops carry no mode tests and the variants are not copies of each other.
#include "modules/filters/AllFiltersCS.h"

#include "dsp/cache_forcing.h"
#include "dsp/clamp.h"
#include "dsp/one_pole.h"
#include "dsp/sample_rate.h"
#include "dsp/shared_table.h"
#include "dsp/state_variable_pair.h"
#include "dsp/table_read.h"
#include "framework/mp_factory.h"

#include <cmath>
#include <initializer_list>

namespace zr {
namespace {

using dsp::ChamberlinState;
using dsp::clampNanToLow;
using dsp::readAtPinValue;
using dsp::readInterpolated;
using dsp::SharedTable;
using Tap = dsp::ChamberlinTap;
using BaseCore = AllFiltersBaseRateCore;

// ---------------------------------------------------------------------------------------------
// Shared tables. Entry i stands for the pin value i / 10000, that is i x 0.001 volts. Each
// table is filled from double-precision formulas and stored in single precision.

constexpr int kPitchEntries = 10551; // the seven ladder tables and the high-pass table
constexpr int kLadder18Entries = 10401;
constexpr int kTanhEntries = 20001;
constexpr int kSvEntries = 10001;

// Added to a control's cache to force the next sample to recompute its coefficients.
constexpr float kForceOffset = 0.001f;

// The one-pole coefficients are polynomial fits that exceed 1 near the Nyquist frequency
// (above about 0.31 of the sample rate, and for kh at the lowest pitches above 96 kHz). A pole
// at or beyond the unit circle makes a stage diverge, so stored coefficients stop just below
// it. At 44.1 and 48 kHz no entry that a mode reads reaches the limit.
constexpr double kMaxPole = 0.9999;
float limitPole(double k) {
    return static_cast<float>(k < kMaxPole ? k : kMaxPole);
}

// Cutoff of the ladder tables at entry i, tuned 0.152999 V below the pitch.
double ladderHz(int i) {
    return 440.0 * std::pow(2.0, i * 0.001 - 0.152999 - 5.0);
}

// One-pole low-pass coefficient of the four-stage ladders for c = cutoff / (rate / 2).
double ladderK(double c) {
    return c * 3.516399 - c * 0.52505 * c - 1.0;
}

// Entry formulas, one per table: entry i at sample rate `sr`; the resonance gains derive from
// the coefficient table `k` filled before them.
double ok0At(int i, double sr, const float*) {
    return limitPole(ladderK(2.0 * ladderHz(i) / sr));
}

double ok0x2At(int i, double sr, const float*) {
    return ok0At(i, 2.0 * sr, nullptr);
}

double os0At(int i, double, const float* k) {
    const double g0 = (k[i] + 1.0) * 0.5;
    return std::exp((1.449986 - g0) * 1.229991) - 0.930001;
}

double osloo1At(int i, double, const float* k) {
    const double g0 = (k[i] + 1.0) * 0.5;
    return std::exp(3.15 - g0 * 1.75);
}

double ohpAt(int i, double sr, const float*) {
    const double c = (sr * 0.5 - ladderHz(i)) * 2.0 / sr;
    return limitPole(c * 3.6 - c * 1.5999 * c - 1.0);
}

double osloAt(int i, double, const float* k) {
    const double g2 = (k[i] + 1.0) * 0.5;
    return std::exp((g2 * 0.5 - 0.78) * -2.2) - 1.3;
}

// The three-stage ladders read their pitch through a slightly compressed scale:
// W = i x 0.001 - 0.4 volts, X = W + (W - 9.1) x 0.093 (held to 0..10 V).
double ladder18Hz(int i) {
    const double w = i * 0.001 - 0.4;
    double x = w + (w - 9.1) * 0.093;
    x = x < 0.0 ? 0.0 : (x > 10.0 ? 10.0 : x);
    return 440.0 * std::pow(2.0, x - 5.0);
}

// Resonance level of the three-stage ladders, falling with pitch, never negative.
double ladder18Level(int i) {
    const double w = i * 0.001 - 0.4;
    const double a = (20.8 - (2.0 * w - 7.8)) * 0.102;
    return a < 0.0 ? 0.0 : a;
}

double ladder18K(double c) {
    return c * 3.2 - c * 0.71 * c - 0.9987;
}

double ok18At(int i, double sr, const float*) {
    return limitPole(ladder18K(2.0 * ladder18Hz(i) / sr));
}

double ok18x2At(int i, double sr, const float*) {
    return ok18At(i, 2.0 * sr, nullptr);
}

double or18At(int i, double, const float* k) {
    return ladder18Level(i) * std::exp(3.15 - (k[i] + 1.0) * 0.5 * 1.75);
}

double tanhAt(int i, double, const float*) {
    return std::tanh(i * 0.0001 - 1.0);
}

double svVoltAt(int i, double sr, const float*) {
    constexpr double pi = 3.1415927;
    return 2.0 * std::sin(pi * 440.0 * std::pow(2.0, i * 0.001 - 5.0) / sr);
}

double svResAt(int i, double, const float*) {
    const double x = i * 0.0512;
    return (x * (x * 0.000025 + 0.009) + 7.8) * 0.1;
}

// One table of a group: its entry formula and the table that formula reads (or none).
struct TableFill {
    const SharedTable& table;
    double (*entry)(int i, double sr, const float* k);
    const float* k = nullptr;
};

// Fills a group of tables in order, each with its guard. The group is filled by the instance
// that got its first table new.
void fillGroup(std::initializer_list<TableFill> group, double sr) {
    if (!group.begin()->table.isNew) return;
    for (const TableFill& f : group) {
        for (int i = 0; i < f.table.entries; ++i)
            f.table.data[i] = static_cast<float>(f.entry(i, sr, f.k));
        f.table.setGuard();
    }
}

// ---------------------------------------------------------------------------------------------
// Sample-level helpers.

// tanh saturation over +-4, read from the table.
inline float tanhShape(const float* tanhT, float x) {
    x = clampNanToLow(x, -4.0f, 4.0f);
    return 4.0f * readAtPinValue(tanhT, x * 0.25f + 1.0f);
}

// x - x^3 / 6 c
inline float cubicSoften(float x, float c) {
    return x - x * x * x * 0.16666667f * c;
}

// Interpolated read of a small per-instance table at position x (held to 0..top).
inline float instanceLerp(const float* t, float x, float top) {
    return readInterpolated(t, clampNanToLow(x, 0.0f, top));
}

// ---------------------------------------------------------------------------------------------
// Mode kernels. Each has `kComparesResonance` (whether a Resonance change triggers `update`),
// `update(core, pitch, res, blend)` run when a compared control differs from its cache, and
// `tick(core, in, blend)` returning one output sample. `res` in a tick is the cached value.
// The modes that do not oversample name the base-rate part of the core as their `State`.

// Mode 1: four-stage low-pass without resonance.
struct LadderPlain {
    using State = BaseCore;
    static constexpr bool kComparesResonance = false;
    static void update(BaseCore& c, float pitch, float, float) {
        c.cachedPitch = pitch;
        const float p = clampNanToLow(pitch, 0.0f, 0.99f);
        c.k = readAtPinValue(c.tables().ok0, p);
        c.g = dsp::onePoleGain(c.k);
    }
    static float tick(BaseCore& c, float in, float) {
        return dsp::lowPassLadder<4>(c.lpPrev, c.lp, in, c.k, c.g);
    }
};

// Modes 2 and 3: a clean ladder, plus a soft-clipped resonant ladder while res > 0.
template <int Mode>
struct LadderCleanResonant {
    using State = BaseCore;
    static constexpr bool kComparesResonance = true;
    static constexpr float kLimit = Mode == 2 ? 15.0f : 1.5f;
    static void update(BaseCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch, 0.0f, 0.99f);
        c.k = readAtPinValue(c.tables().ok0, p);
        c.g = dsp::onePoleGain(c.k);
        const float r = readAtPinValue(c.tables().os0, p);
        if constexpr (Mode == 2)
            c.fb = res * r * 0.9f;
        else
            c.fb = res * 0.74f * r;
        c.softC = res * 0.015f;
        c.denom = 2.0f * res + 1.0f;
    }
    static float tick(BaseCore& c, float in, float) {
        const float res = c.cachedRes;
        const float cleanIn = Mode == 2 ? in : clampNanToLow(in, -1.5f, 1.5f);
        const float c4 = dsp::lowPassLadder<4>(c.cleanPrev, c.clean, cleanIn, c.k, c.g);
        if (res > 0.0f) {
            float x = clampNanToLow(in - c.fb * c.lp[3], -kLimit, kLimit);
            if (std::fabs(x) > 0.5f) x = cubicSoften(x, c.softC);
            dsp::lowPassLadder<4>(c.lpPrev, c.lp, x, c.k, c.g);
        }
        if constexpr (Mode == 2)
            return res > 0.0f ? (c.lp[3] - c4) * 0.15f + c4 : c4;
        else
            return (res * c.lp[3] * 3.2f + c4) / c.denom;
    }
};

// Mode 4: resonant four-stage ladder, input scaled down as resonance rises.
struct LadderResonant4 {
    using State = BaseCore;
    static constexpr bool kComparesResonance = true;
    static void update(BaseCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch, 0.0f, 0.99f);
        c.k = readAtPinValue(c.tables().ok0, p);
        c.g = dsp::onePoleGain(c.k);
        const float r = readAtPinValue(c.tables().osloo1, p);
        c.fb = res * 0.171f * r;
        c.resPlusOne = res + 1.0f;
    }
    static float tick(BaseCore& c, float in, float) {
        const float x = clampNanToLow(in / c.resPlusOne - c.fb * c.lp[3], -2.0f, 2.0f);
        return dsp::lowPassLadder<4>(c.lpPrev, c.lp, x, c.k, c.g);
    }
};

// Modes 5 and 6: oversampled four-stage ladders, tanh-limited (5) or with a cubic on the
// last stage (6).
template <int Mode>
struct OversampledLadder4 {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch - (Mode == 5 ? 0.0009f : 0.00395f), 0.0f, 1.039f);
        c.k = readAtPinValue(c.tables().ok0x2, p);
        c.g = dsp::onePoleGain(c.k);
        const float r = readAtPinValue(c.tables().oslo, p);
        if constexpr (Mode == 5) {
            c.resScaled = res * 0.935f;
            c.fb = c.resScaled * r;
        } else {
            c.fb = res * r;
        }
    }
    static float tick(AllFiltersCore& c, float in, float) {
        return c.oversampler.run(in, [&c](float u) {
            float x = c.decA.process(u) - c.fb * c.lp[3];
            if constexpr (Mode == 5) x = tanhShape(c.tables().tanhT, x);
            float y4 = dsp::lowPassLadder<4>(c.lpPrev, c.lp, x, c.k, c.g);
            if constexpr (Mode == 6) {
                y4 = y4 - y4 * y4 * y4 * c.cachedRes * 0.16666667f;
                c.lp[3] = y4;
            }
            return c.decB.process(y4);
        });
    }
};

// Modes 7 and 8: oversampled three-stage ladders with a pre-gain; tanh-limited (7) or with a
// level-blended tanh (8).
template <int Mode>
struct OversampledLadder3 {
    static constexpr bool kComparesResonance = true;
    static void update(AllFiltersCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch, 0.0f, 1.039f);
        c.k = readAtPinValue(c.tables().ok18x2, p);
        c.g = dsp::onePoleGain(c.k);
        const float r = readAtPinValue(c.tables().or18x2, p);
        if constexpr (Mode == 7) {
            c.fb = res * 0.171f * r;
            c.inputGain = res * 6.65f + 1.0f;
        } else {
            c.resScaled = res * 0.2f;
            c.fb = c.resScaled * r;
            c.inputGain = c.resScaled * 6.65f + 1.0f;
        }
        c.resPlusOne = res + 1.0f;
    }
    static float tick(AllFiltersCore& c, float in, float) {
        const float s = Mode == 7 ? c.inputGain * in : c.inputGain * (in * 3.0f);
        const float out = c.oversampler.run(s, [&c](float u) {
            float x = c.decA.process(u) / c.resPlusOne - c.fb * c.lp[2];
            if constexpr (Mode == 7) {
                x = tanhShape(c.tables().tanhT, x);
            } else {
                const float h = clampNanToLow(x, -1.0f, 1.0f);
                const float th = readAtPinValue(c.tables().tanhT, h + 1.0f);
                x = std::fabs(h) * (th - x) + x;
            }
            return c.decB.process(dsp::lowPassLadder<3>(c.lpPrev, c.lp, x, c.k, c.g));
        });
        return Mode == 7 ? out : 0.5f * out;
    }
};

// Modes 9-17: resonant three-stage ladder (feedback always from y3), output tapped after
// stage `Tap`, optionally through `HighPassStages` high-pass stages, optionally scaled by
// (1 - res x 0.5).
template <int Tap, int HighPassStages, bool Scaled>
struct Ladder3 {
    using State = BaseCore;
    static constexpr bool kComparesResonance = true;
    static void update(BaseCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch, 0.0f, 1.039f);
        c.k = readAtPinValue(c.tables().ok18, p);
        c.g = dsp::onePoleGain(c.k);
        const float r = readAtPinValue(c.tables().or18, p);
        c.fb = res * 0.171f * r;
        c.inputGain = res * 6.65f + 1.0f;
        c.resPlusOne = res + 1.0f;
        if constexpr (Scaled) c.outScale = 1.0f - res * 0.5f;
        if constexpr (HighPassStages > 0) {
            c.kh = readAtPinValue(c.tables().ohp, p);
            c.gh = dsp::onePoleGain(c.kh);
        }
    }
    static float tick(BaseCore& c, float in, float) {
        const float x =
            clampNanToLow(c.inputGain * in / c.resPlusOne - c.fb * c.lp[2], -2.0f, 2.0f);
        dsp::lowPassLadder<3>(c.lpPrev, c.lp, x, c.k, c.g);
        float out = c.lp[Tap - 1];
        if constexpr (HighPassStages > 0)
            out = dsp::highPassLadder<HighPassStages>(c.hpPrev, c.hp, out, c.kh, c.gh);
        if constexpr (Scaled) out = c.outScale * out;
        return out;
    }
};

// Mode 18: four high-pass stages, no resonance (but a Resonance change still recomputes).
struct HighPass4 {
    using State = BaseCore;
    static constexpr bool kComparesResonance = true;
    static void update(BaseCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch, 0.0f, 1.039f);
        c.kh = readAtPinValue(c.tables().ohp, p);
        c.gh = dsp::onePoleGain(c.kh);
    }
    static float tick(BaseCore& c, float in, float) {
        return dsp::highPassLadder<4>(c.hpPrev, c.hp, clampNanToLow(in, -2.0f, 2.0f), c.kh, c.gh);
    }
};

// Modes 19-21: two sections in series, the second fed by one output of the first; `Blend`
// fades from the single to the double section.
template <Tap Feed>
struct SvPair {
    using State = BaseCore;
    static constexpr bool kComparesResonance = true;
    static void update(BaseCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.t = dsp::levelDamping(c.lastOut);
        const float p = clampNanToLow(pitch, 0.0f, 1.0f);
        const float f = readAtPinValue(c.tables().svVolt, p);
        const float u = res * 0.98f * (1.0f - c.t);
        const float v = u - u * u;
        c.q1 = 1.0f - u;
        c.q2 = 1.0f - v;
        c.f1 = dsp::minNum(f, dsp::dampingLimit(c.tables().svRes, kSvEntries, u));
        c.f2 = dsp::minNum(f, dsp::dampingLimit(c.tables().svRes, kSvEntries, v));
    }
    static float tick(BaseCore& c, float in, float blend) {
        dsp::chamberlinTick(c.sv1, in, c.f1, c.q1);
        dsp::chamberlinTick(c.sv2, dsp::chamberlinOutput<Feed>(c.sv1), c.f2, c.q2);
        const float a = dsp::chamberlinOutput<Feed>(c.sv1);
        const float out = a + (dsp::chamberlinOutput<Feed>(c.sv2) - a) * blend;
        c.lastOut = out;
        return out;
    }
};

// Mode 22: double notch with damping tied to resonance.
struct SvNotch {
    using State = BaseCore;
    static constexpr bool kComparesResonance = true;
    static void update(BaseCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.t = dsp::levelDamping(c.lastOut);
        const float p = clampNanToLow(pitch, 0.0f, 1.0f);
        const float f = readAtPinValue(c.tables().svVolt, p);
        const float u = (res * 0.13f + 0.82f) * (1.0f - c.t);
        c.q1 = c.q2 = 1.0f - u;
        c.f1 = c.f2 = dsp::minNum(f, dsp::dampingLimit(c.tables().svRes, kSvEntries, u));
    }
    static float tick(BaseCore& c, float in, float blend) {
        const float out = dsp::chamberlinNotchPair(c.sv1, c.sv2, in, c.f1, c.q1, c.f2, c.q2, blend);
        c.lastOut = out;
        return out;
    }
};

// Modes 23-25: one section, low, high or band output.
template <Tap Out>
struct SvSingle {
    using State = BaseCore;
    static constexpr bool kComparesResonance = true;
    static void update(BaseCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch, 0.0f, 0.9f);
        const float f = readAtPinValue(c.tables().svVolt, p);
        const float u = res * 0.88f;
        c.q1 = 1.0f - u;
        c.f1 = dsp::minNum(f, dsp::dampingLimit(c.tables().svRes, kSvEntries, u));
    }
    static float tick(BaseCore& c, float in, float) {
        dsp::chamberlinTick(c.sv1, in, c.f1, c.q1);
        return dsp::chamberlinOutput<Out>(c.sv1);
    }
};

// Modes 26-28: like 19-21 with a quieter input, an undamped second section, a limit on the
// first section's low-pass state and resonance-dependent output gains.
template <Tap Feed>
struct SvPairLoud {
    using State = BaseCore;
    static constexpr bool kComparesResonance = true;
    static void update(BaseCore& c, float pitch, float res, float) {
        if (res != c.cachedRes) {
            c.gainA = dsp::resonanceGain(dsp::kResonanceGainA, res);
            c.gainB = dsp::resonanceGain(dsp::kResonanceGainB, res);
        }
        c.cachedPitch = pitch;
        c.cachedRes = res;
        c.t = dsp::levelDamping(c.lastOut);
        const float p = clampNanToLow(pitch, 0.0f, 1.0f);
        const float f = readAtPinValue(c.tables().svVolt, p);
        const float u = res * 0.996f * (1.0f - c.t);
        c.q1 = 1.0f - u;
        c.f1 = dsp::minNum(f, dsp::dampingLimit(c.tables().svRes, kSvEntries, u));
        c.f2 = dsp::minNum(f, c.tables().svRes[0]);
        c.q2 = 1.0f;
    }
    static float tick(BaseCore& c, float in, float blend) {
        return svpair::limitedTick<Feed>(c, in, blend);
    }
};

// Mode 29: undamped double notch, pitch only.
struct SvNotchOpen {
    using State = BaseCore;
    static constexpr bool kComparesResonance = false;
    static void update(BaseCore& c, float pitch, float, float) {
        c.cachedPitch = pitch;
        const float p = clampNanToLow(pitch, 0.0f, 0.93f);
        c.f1 = c.f2 = readAtPinValue(c.tables().svVolt, p);
        c.q1 = c.q2 = 1.0f;
    }
    static float tick(BaseCore& c, float in, float blend) {
        return svpair::notchTick(c, in, blend);
    }
};

// Modes 30 (five stages, feedback from between stages 4 and 5) and 31 (four stages, output
// from stage 3): oversampled ladders whose saturation `Blend` moves between tanh and a
// one-sided fold, with a pitch correction that `Blend` also shifts.
template <bool FiveStages>
struct OversampledBlend {
    static constexpr bool kComparesResonance = true;
    static constexpr float kDrive = FiveStages ? 1.687f : 3.38f;
    static constexpr float kInvDrive = FiveStages ? 0.5927682f : 0.29585797f;
    // Highest effective pitch whose interpolated read stays in the filled entries.
    static constexpr float kTopPitch = 1.0549f;

    static void update(AllFiltersCore& c, float pitch, float res, float blend) {
        if (res != c.cachedRes) c.gainG = instanceLerp(c.constants->gainTableG, res * 10.0f, 10.0f);
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch, 0.0f, 1.054f);
        const float x = p * 10.0f;
        const float o1 = readInterpolated(c.constants->pitchOffset1, x);
        const float o2 = readInterpolated(c.constants->pitchOffset2, x);
        // Blend is unbounded, so the effective pitch is also held below the tables' top.
        c.effectivePitch = clampNanToLow(p + o1 + (o2 - o1) * blend, 0.0f, kTopPitch);
        c.k = readAtPinValue(c.tables().ok0x2, c.effectivePitch);
        c.g = dsp::onePoleGain(c.k);
        const float r = readAtPinValue(c.tables().oslo1, c.effectivePitch);
        const float rs = readInterpolated(c.constants->resScale, x);
        c.fb = r * res * rs;
        if constexpr (FiveStages) c.fb = c.fb * c.constants->feedbackTrim;
    }
    static float tick(AllFiltersCore& c, float in, float blend) {
        const float diff = blend - c.effectivePitch;
        const float a = diff > 0.0f ? diff : 0.0f;
        const float out = c.oversampler.run(in, [&c, a](float u) {
            float x;
            if constexpr (FiveStages)
                x = c.decA.process(u) - (c.lp[3] + (c.lp[4] - c.lp[3]) * 1.079f) * c.fb;
            else
                x = c.decA.process(u) - c.lp[3] * c.fb;
            x = clampNanToLow(x, -kDrive, kDrive);
            const float w = x * kInvDrive;
            const float th = readAtPinValue(c.tables().tanhT, w + 1.0f);
            const float z = th + a * dsp::minNum(w, 0.0f);
            const float stageIn = (w + c.cachedRes * std::fabs(w) * (z - w)) * kDrive;
            dsp::lowPassLadder<FiveStages ? 5 : 4>(c.lpPrev, c.lp, stageIn, c.k, c.g);
            return c.decB.process(FiveStages ? c.lp[3] : c.lp[2]);
        });
        return c.gainG * out;
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------

void AllFiltersCore::resetState() {
    t = 0.0f;
    lastOut = 0.0f;
    for (int i = 0; i < 5; ++i)
        lpPrev[i] = lp[i] = 0.0f;
    for (int i = 0; i < 4; ++i) {
        cleanPrev[i] = clean[i] = 0.0f;
        hpPrev[i] = hp[i] = 0.0f;
    }
    sv1 = ChamberlinState{};
    sv2 = ChamberlinState{};
    oversampler.clear();
    decA.clear();
    decB.clear();
}

AllFiltersCS::AllFiltersCS(gmpi::IMpUnknown* host) : TabledModeFilter(host) {
    core.constants = &constants;
    initializePin(0, inputIn);
    initializePin(1, pitchIn);
    initializePin(2, resonanceIn);
    initializePin(3, outputOut);
    initializePin(4, modeIn);
    initializePin(5, auxIn);
    initializePin(6, blendIn);
    initializePin(7, clearIn);
}

bool AllFiltersCS::attachTables(float sampleRate) {
    gmpi::AudioHost* h = getHost();
    const double sr = sampleRate;
    const auto pitchTable = [&](const char16_t* name) {
        return SharedTable::request(h, name, sampleRate, kPitchEntries);
    };
    const SharedTable ok0 = pitchTable(u"QORV_CS_ok0-pitch");
    const SharedTable os0 = pitchTable(u"QORV_CS_os0-pitch");
    const SharedTable osloo1 = pitchTable(u"QORV_CS_osloo1-pitch");
    const SharedTable ohp = pitchTable(u"QORV_CS_ohp-pitch");
    const SharedTable ok0x2 = pitchTable(u"QORV_CS_ok0_2-pitch");
    const SharedTable oslo = pitchTable(u"QORV_CS_oslo-pitch");
    const SharedTable oslo1 = pitchTable(u"QORV_CS_oslo1-pitch");
    if (!(ok0 && os0 && osloo1 && ohp && ok0x2 && oslo && oslo1)) return false;
    fillGroup({{ok0, ok0At},
               {os0, os0At, ok0.data},
               {osloo1, osloo1At, ok0.data},
               {ohp, ohpAt},
               {ok0x2, ok0x2At},
               {oslo, osloAt, ok0x2.data},
               {oslo1, osloo1At, ok0x2.data}},
              sr);

    const auto ladder18Table = [&](const char16_t* name) {
        return SharedTable::request(h, name, sampleRate, kLadder18Entries);
    };
    const SharedTable ok18 = ladder18Table(u"QORV_CS_ok0_18_b");
    const SharedTable or18 = ladder18Table(u"QORV_CS_or0_18_b");
    const SharedTable ok18x2 = ladder18Table(u"QORV_CS_ok0_18_bo");
    const SharedTable or18x2 = ladder18Table(u"QORV_CS_or0_18_bo");
    if (!(ok18 && or18 && ok18x2 && or18x2)) return false;
    fillGroup({{ok18, ok18At},
               {or18, or18At, ok18.data},
               {ok18x2, ok18x2At},
               {or18x2, or18At, ok18x2.data}},
              sr);

    const SharedTable tanhT = SharedTable::request(h, u"QORV_CS_o_Tanh", sampleRate, kTanhEntries);
    if (!tanhT) return false;
    fillGroup({{tanhT, tanhAt}}, sr);

    const SharedTable svVolt = SharedTable::request(h, u"QORV_CS_SV-volt", sampleRate, kSvEntries);
    const SharedTable svRes = SharedTable::request(h, u"QORV_CS_SV-res", sampleRate, kSvEntries);
    if (!(svVolt && svRes)) return false;
    fillGroup({{svVolt, svVoltAt}, {svRes, svResAt}}, sr);

    constants.tables = {ok0.data,    os0.data,   osloo1.data, ohp.data,  ok0x2.data,
                        oslo.data,   oslo1.data, ok18.data,   or18.data, ok18x2.data,
                        or18x2.data, tanhT.data, svVolt.data, svRes.data};
    return true;
}

void AllFiltersCS::setInstanceTables(float sampleRate) {
    static constexpr float o1[12] = {-0.001f,    -0.001f,    -0.000907f, -0.000907f,
                                     -0.000873f, -0.000793f, -0.000633f, -0.000323f,
                                     0.00015f,   0.000644f,  -0.000317f, -0.000317f};
    static constexpr float o2[12] = {0.000868f, 0.000868f,  0.000868f,  0.000465f,
                                     0.000049f, -0.000221f, -0.000334f, -0.000207f,
                                     0.000185f, 0.000645f,  -0.000317f, -0.000317f};
    static constexpr float g[12] = {1, 1, 1, 1, 1, 0.75f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    const bool highRate = sampleRate > 44100.0f;
    const float z = highRate ? 0.179f : 0.18146f;
    const float r1[12] = {0.174f, 0.174f, 0.174f, 0.174f, 0.174f, 0.173f,
                          0.172f, 0.171f, 0.17f,  0.17f,  z,      z};
    for (int i = 0; i < 12; ++i) {
        constants.pitchOffset1[i] = o1[i];
        constants.pitchOffset2[i] = o2[i];
        constants.resScale[i] = r1[i];
        constants.gainTableG[i] = g[i];
    }
    constants.feedbackTrim = highRate ? 0.918f : 0.93f;
}

gmpi::int32 AllFiltersCS::open() {
    // Every table divides by the rate; a host reporting none gets the usual default.
    const float tableRate = dsp::hostSampleRateOrDefault(getHost());
    tablesReady = attachTables(tableRate);
    setInstanceTables(tableRate);
    core.cachedPitch = -100.0f;
    core.cachedRes = -100.0f;
    core.resetState();
    return MpBase::open();
}

void AllFiltersCS::clearState() {
    core.cachedPitch = dsp::forcedCacheValue(pitchIn.getValue(), kForceOffset);
    core.cachedRes = dsp::forcedCacheValue(resonanceIn.getValue(), kForceOffset);
    core.resetState();
}

// Mode routines in mode order.
namespace {
using Routine = AllFiltersCS::Routine;
constexpr Routine kModeRoutines[32] = {
    &AllFiltersCS::subProcessCopy,
    &AllFiltersCS::subProcessMode<LadderPlain>,
    &AllFiltersCS::subProcessMode<LadderCleanResonant<2>>,
    &AllFiltersCS::subProcessMode<LadderCleanResonant<3>>,
    &AllFiltersCS::subProcessMode<LadderResonant4>,
    &AllFiltersCS::subProcessMode<OversampledLadder4<5>>,
    &AllFiltersCS::subProcessMode<OversampledLadder4<6>>,
    &AllFiltersCS::subProcessMode<OversampledLadder3<7>>,
    &AllFiltersCS::subProcessMode<OversampledLadder3<8>>,
    &AllFiltersCS::subProcessMode<Ladder3<3, 0, false>>,
    &AllFiltersCS::subProcessMode<Ladder3<3, 4, false>>,
    &AllFiltersCS::subProcessMode<Ladder3<3, 3, false>>,
    &AllFiltersCS::subProcessMode<Ladder3<2, 0, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<2, 4, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<2, 3, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<1, 0, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<1, 4, true>>,
    &AllFiltersCS::subProcessMode<Ladder3<1, 3, true>>,
    &AllFiltersCS::subProcessMode<HighPass4>,
    &AllFiltersCS::subProcessMode<SvPair<Tap::Low>>,
    &AllFiltersCS::subProcessMode<SvPair<Tap::High>>,
    &AllFiltersCS::subProcessMode<SvPair<Tap::Band>>,
    &AllFiltersCS::subProcessMode<SvNotch>,
    &AllFiltersCS::subProcessMode<SvSingle<Tap::Low>>,
    &AllFiltersCS::subProcessMode<SvSingle<Tap::High>>,
    &AllFiltersCS::subProcessMode<SvSingle<Tap::Band>>,
    &AllFiltersCS::subProcessMode<SvPairLoud<Tap::Low>>,
    &AllFiltersCS::subProcessMode<SvPairLoud<Tap::High>>,
    &AllFiltersCS::subProcessMode<SvPairLoud<Tap::Band>>,
    &AllFiltersCS::subProcessMode<SvNotchOpen>,
    &AllFiltersCS::subProcessMode<OversampledBlend<true>>,
    &AllFiltersCS::subProcessMode<OversampledBlend<false>>,
};
} // namespace

void AllFiltersCS::pinsChanged() {
    routeModes(true, kModeRoutines, 32);
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR-LPF over CS", &gmpi::createAudio<AllFiltersCS>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR-LPF over CS", "ZR Multi-Mode Filter", "ZR/Filters");
} // namespace

} // namespace zr
