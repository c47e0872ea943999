// "ZR-SVF-02": shared tables, the mode kernels and the pin logic of the nine-mode filter. Each
// mode is a kernel type (coefficients of four samples side by side + one sample) that one
// block routine template turns into the routine installed for that mode.
#include "modules/filters/FxSvf.h"

#include "dsp/cache_forcing.h"
#include "dsp/clamp.h"
#include "dsp/lanes4.h"
#include "dsp/one_pole_lag.h"
#include "dsp/sample_rate.h"
#include "dsp/shared_table.h"
#include "dsp/state_variable_pair.h"
#include "framework/mp_factory.h"

#include <cmath>

namespace zr {
namespace {

using dsp::clampNanToLow;
using dsp::Float4;
using dsp::splat4;
using Tap = dsp::ChamberlinTap;

constexpr int kEntries = 10001;
// Added to the pitch cache on a clear so that the next sample recomputes the coefficients.
constexpr float kForceOffset = 0.0000001f;

// Entry i stands for the pin value i / 10000; w is its frequency over the sample rate.
void fillTables(float* volt, float* res, float* lag, float* cosA, float* expA, float* expB,
                double sr) {
    constexpr double pi = 3.1415927, twoPi = 6.2831855;
    for (int i = 0; i < kEntries; ++i) {
        const double w = 440.0 * std::pow(2.0, i * 0.001 - 5.0) / sr;
        const double x = i * 0.0512;
        volt[i] = static_cast<float>(2.0 * std::sin(pi * w));
        res[i] = static_cast<float>((x * (x * 0.000025 + 0.009) + 7.8) * 0.1);
        lag[i] = static_cast<float>(std::exp(-twoPi * w));
        cosA[i] = static_cast<float>(2.0 * std::cos(twoPi * w));
        expA[i] = static_cast<float>(std::exp(-pi * w));
        expB[i] = static_cast<float>(std::exp(-twoPi * w));
    }
}

// Resonance as the coefficients use it. Above 1/0.996 the first section's damping would turn
// negative and the pair would diverge under steady controls; below 0 the tables would be read
// before their start. NaN reads as 0.
inline Float4 heldResonance(Float4 res) {
    return clampNanToLow(res, splat4(0.0f), splat4(1.0f));
}

// A pin value held to 0..hi, NaN to 0.
inline Float4 heldPin(Float4 v, float hi) {
    return clampNanToLow(v, splat4(0.0f), splat4(hi));
}

// Every kernel computes the coefficients of four samples at once from their controls
// (`coefs`) and installs one sample's where its controls changed (`apply`); see
// TabledModeFilter::subProcessGrouped, which keeps the cached controls.

// Modes 1-3: the pair, section 2 fed by one output of section 1, gains by resonance.
template <Tap Feed>
struct SvPairMode {
    static constexpr bool kComparesResonance = true;
    // k = r x 0.996 and the coefficients without level damping; f for the damped case.
    struct Coefs {
        Float4 f, k, q1, f1, f2, gainA, gainB;
        bool unityGains; // both gains exactly 1 in every lane (false: perhaps not)
    };
    [[gnu::always_inline]] static void coefs(const FxSvfCore& c, Float4 pitch, Float4 res,
                                             Coefs& k) {
        const Float4 r = heldResonance(res);
        k.unityGains = dsp::resonanceGains4(r, k.gainA, k.gainB);
        k.f = dsp::readAtPinValue4(c.tables.volt, heldPin(pitch, 1.0f));
        k.k = r * splat4(0.996f);
        k.q1 = splat4(1.0f) - k.k;
        // minNum of the scalar update: its NaN case needs a NaN limit, and the table has none.
        // The limit table rises from its first entry, so a frequency at or below that entry is
        // its own minimum: such a group (every cutoff below about an eighth of the rate) skips
        // the read.
        const Float4 lowest = splat4(c.tables.res[0]);
        if (!dsp::anyLane(k.f > lowest)) {
            k.f1 = k.f2 = k.f;
            return;
        }
        k.f1 = dsp::min4(k.f, dsp::dampingLimit4(c.tables.res, kEntries, k.k));
        k.f2 = dsp::min4(k.f, lowest);
    }
    [[gnu::always_inline]] static void apply(FxSvfCore& c, const Coefs& k, int j) {
        c.gainA = k.gainA[j];
        c.gainB = k.gainB[j];
        // u = r x 0.996 x (1 - t), with the level damping t of the last output. t is exactly 0
        // unless the last output exceeds 1 in magnitude, and then u is r x 0.996 itself, as
        // the lanes computed it: a branch rather than a data path, so that the usual case need
        // not wait for the last output, which the previous sample has only just produced.
        c.q1 = k.q1[j];
        c.f1 = k.f1[j];
        if (dsp::levelDamps(c.lastOut)) {
            const float t = dsp::levelDamping(c.lastOut);
            const float u = k.k[j] * (1.0f - t);
            c.q1 = 1.0f - u;
            c.f1 = dsp::minNum(k.f[j], dsp::dampingLimit(c.tables.res, kEntries, u));
        }
        c.f2 = k.f2[j];
        c.q2 = 1.0f;
    }
    static float tick(FxSvfCore& c, float in, float blend) {
        return svpair::limitedTick<Feed>(c, in, blend);
    }
    // Below a resonance of 0.8 both gains are exactly 1, and a product with 1 is its other
    // factor (the products here are of computed values, never signalling NaNs): a group whose
    // samples all have unity gains plays without the two products.
    [[gnu::always_inline]] static bool lightFits(const FxSvfCore& c, const Coefs& k, int changes) {
        return c.gainA == 1.0f && c.gainB == 1.0f && (changes == 0 || k.unityGains);
    }
    static float lightTick(FxSvfCore& c, float in, float blend) {
        const float pre =
            dsp::chamberlinPairLimited<Feed>(c.sv1, c.sv2, in, c.f1, c.q1, c.f2, c.q2, blend, 1.0f);
        c.lastOut = pre;
        return pre * 4.0f;
    }
};

// Mode 4: undamped double notch.
struct NotchMode {
    static constexpr bool kComparesResonance = false;
    struct Coefs {
        Float4 f;
    };
    [[gnu::always_inline]] static void coefs(const FxSvfCore& c, Float4 pitch, Float4, Coefs& k) {
        k.f = dsp::readAtPinValue4(c.tables.volt, heldPin(pitch, 0.93f));
    }
    [[gnu::always_inline]] static void apply(FxSvfCore& c, const Coefs& k, int j) {
        c.f1 = c.f2 = k.f[j];
        c.q1 = c.q2 = 1.0f;
    }
    static float tick(FxSvfCore& c, float in, float blend) {
        return svpair::notchTick(c, in, blend);
    }
};

// Modes 5 (low-pass) and 6 (high-pass, the input minus the low-pass): one lag.
template <bool HighPass>
struct OnePoleMode {
    static constexpr bool kComparesResonance = false;
    struct Coefs {
        Float4 a1;
    };
    [[gnu::always_inline]] static void coefs(const FxSvfCore& c, Float4 pitch, Float4, Coefs& k) {
        k.a1 = dsp::readAtPinValue4(c.tables.lag, heldPin(pitch, 1.0f));
    }
    [[gnu::always_inline]] static void apply(FxSvfCore& c, const Coefs& k, int j) {
        c.a1 = k.a1[j];
    }
    static float tick(FxSvfCore& c, float in, float) {
        const float y = dsp::onePoleLag(c.y1, in, c.a1);
        return HighPass ? in - y : y;
    }
};

// Mode 7: band-pass, the difference of a lag at twice the pitch and a second lag after it at
// twice the pitch less 1 (the pitch range spread over both).
struct OnePoleBandMode {
    static constexpr bool kComparesResonance = false;
    struct Coefs {
        Float4 a1, a2;
    };
    [[gnu::always_inline]] static void coefs(const FxSvfCore& c, Float4 pitch, Float4, Coefs& k) {
        const Float4 p = heldPin(pitch, 1.0f);
        k.a1 = dsp::readAtPinValue4(c.tables.lag, heldPin(splat4(2.0f) * p, 1.0f));
        k.a2 = dsp::readAtPinValue4(c.tables.lag, heldPin(splat4(2.0f) * p - splat4(1.0f), 1.0f));
    }
    [[gnu::always_inline]] static void apply(FxSvfCore& c, const Coefs& k, int j) {
        c.a1 = k.a1[j];
        c.a2 = k.a2[j];
    }
    static float tick(FxSvfCore& c, float in, float) {
        const float y1 = dsp::onePoleLag(c.y1, in, c.a1);
        const float y2 = dsp::onePoleLag(c.y2, y1, c.a2);
        return y1 - y2;
    }
};

// Mode 8: all-pass whose pole angle follows the pitch and whose pole radius follows e, a
// resonance-dependent multiple of the pitch (a larger e moves the poles inward).
struct AllPassMode {
    static constexpr bool kComparesResonance = true;
    struct Coefs {
        Float4 c1, c2;
    };
    [[gnu::always_inline]] static void coefs(const FxSvfCore& c, Float4 pitch, Float4 res,
                                             Coefs& k) {
        const Float4 p = heldPin(pitch, 1.0f);
        const Float4 e =
            clampNanToLow(res * splat4(1.5f) + splat4(0.5f), splat4(0.5f), splat4(4.0f));
        const Float4 ep = heldPin(e * p, 1.0f);
        k.c1 = dsp::readAtPinValue4(c.tables.expA, ep) * dsp::readAtPinValue4(c.tables.cosA, p);
        k.c2 = dsp::readAtPinValue4(c.tables.expB, ep);
    }
    [[gnu::always_inline]] static void apply(FxSvfCore& c, const Coefs& k, int j) {
        c.c1 = k.c1[j];
        c.c2 = k.c2[j];
    }
    static float tick(FxSvfCore& c, float in, float) {
        return dsp::allPass2(c.allPass, in, c.c1, c.c2);
    }
};

} // namespace

void FxSvfCore::resetState() {
    lastOut = 0.0f;
    sv1 = dsp::ChamberlinState{};
    sv2 = dsp::ChamberlinState{};
    y1 = y2 = 0.0f;
    allPass = dsp::AllPass2State{};
}

FxSvf::FxSvf(gmpi::IMpUnknown* host) : TabledModeFilter(host) {
    initializePin(0, inputIn);
    initializePin(1, pitchIn);
    initializePin(2, resonanceIn);
    initializePin(3, outputOut);
    initializePin(4, modeIn);
    initializePin(5, auxIn);
    initializePin(6, blendIn);
    initializePin(7, onIn);
    initializePin(8, clearIn);
}

bool FxSvf::attachTables(float sampleRate) {
    gmpi::AudioHost* h = getHost();
    const auto table = [&](const char16_t* name) {
        return dsp::SharedTable::request(h, name, sampleRate, kEntries);
    };
    const dsp::SharedTable volt = table(u"QORV_SV2_volt");
    const dsp::SharedTable res = table(u"QORV_SV2_res");
    const dsp::SharedTable lag = table(u"QORV_VL_P6");
    const dsp::SharedTable cosA = table(u"QORV_VL_AP_COSA");
    const dsp::SharedTable expA = table(u"QORV_VL_AP_EXPA");
    const dsp::SharedTable expB = table(u"QORV_VL_AP_EXPB");
    if (!(volt && res && lag && cosA && expA && expB)) return false;
    core.tables = {volt.data, res.data, lag.data, cosA.data, expA.data, expB.data};
    // The last table of the group decides: it is new only to the instance that created it.
    if (expB.isNew) {
        fillTables(volt.data, res.data, lag.data, cosA.data, expA.data, expB.data, sampleRate);
        for (const dsp::SharedTable& t : {volt, res, lag, cosA, expA, expB})
            t.setGuard();
    }
    return true;
}

gmpi::int32 FxSvf::open() {
    tablesReady = attachTables(dsp::hostSampleRateOrDefault(getHost()));
    core.cachedPitch = -100.0f;
    core.cachedRes = -100.0f;
    core.resetState();
    return MpBase::open();
}

void FxSvf::clearState() {
    core.cachedPitch = dsp::forcedCacheValue(pitchIn.getValue(), kForceOffset);
    core.resetState();
}

namespace {
using Routine = FxSvf::Routine;
template <class Mode>
constexpr Routine grouped = &FxSvf::subProcessGrouped<Mode>;
constexpr Routine kModeRoutines[9] = {
    &FxSvf::subProcessCopy,
    grouped<SvPairMode<Tap::Low>>,
    grouped<SvPairMode<Tap::High>>,
    grouped<SvPairMode<Tap::Band>>,
    grouped<NotchMode>,
    grouped<OnePoleMode<false>>,
    grouped<OnePoleMode<true>>,
    grouped<OnePoleBandMode>,
    grouped<AllPassMode>,
};
} // namespace

void FxSvf::pinsChanged() {
    routeModes(onIn.getValue() == 1, kModeRoutines, 9);
}

namespace {
const gmpi::int32 registered = gmpi::registerAudioModule(u"ZR-SVF-02", &gmpi::createAudio<FxSvf>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR-SVF-02", "ZR State-Variable Filter", "ZR/Filters");
} // namespace

} // namespace zr
