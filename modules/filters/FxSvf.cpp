// "ZR-SVF-02": shared tables, the mode kernels and the pin logic of the nine-mode filter. Each
// mode is a kernel type (coefficient update + one sample) that one block routine template
// turns into the routine installed for that mode.
#include "modules/filters/FxSvf.h"

#include "dsp/cache_forcing.h"
#include "dsp/clamp.h"
#include "dsp/one_pole_lag.h"
#include "dsp/sample_rate.h"
#include "dsp/shared_table.h"
#include "dsp/state_variable_pair.h"
#include "dsp/table_read.h"
#include "framework/mp_factory.h"

#include <cmath>
#include <limits>

namespace zr {
namespace {

using dsp::clampNanToLow;
using dsp::readAtPinValue;
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
inline float heldResonance(float res) {
    return clampNanToLow(res, 0.0f, 1.0f);
}

// Modes 1-3: the pair, section 2 fed by one output of section 1, gains by resonance.
template <Tap Feed>
struct SvPairMode {
    static constexpr bool kComparesResonance = true;
    [[gnu::always_inline]] static void update(FxSvfCore& c, float pitch, float res, float) {
        const float r = heldResonance(res);
        if (r != c.gainRes) {
            c.gainRes = r;
            c.gainA = dsp::resonanceGain(dsp::kResonanceGainA, r);
            c.gainB = dsp::resonanceGain(dsp::kResonanceGainB, r);
        }
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float f = readAtPinValue(c.tables.volt, clampNanToLow(pitch, 0.0f, 1.0f));
        // u = r x 0.996 x (1 - t). The level damping t is exactly 0 unless the last output
        // exceeds 1 in magnitude, and then u is r x 0.996 itself: a branch rather than a data
        // path, so that the usual case need not wait for the last output, which the previous
        // sample has only just produced.
        const float k = r * 0.996f;
        float u = k;
        c.t = 0.0f;
        if (std::fabs(c.lastOut) > 1.0f) {
            c.t = dsp::levelDamping(c.lastOut);
            u = k * (1.0f - c.t);
        }
        c.q1 = 1.0f - u;
        c.f1 = dsp::minNum(f, dsp::dampingLimit(c.tables.res, kEntries, u));
        c.f2 = dsp::minNum(f, c.tables.res[0]);
        c.q2 = 1.0f;
    }
    static float tick(FxSvfCore& c, float in, float blend) {
        return svpair::limitedTick<Feed>(c, in, blend);
    }
};

// Mode 4: undamped double notch.
struct NotchMode {
    static constexpr bool kComparesResonance = false;
    [[gnu::always_inline]] static void update(FxSvfCore& c, float pitch, float, float) {
        c.cachedPitch = pitch;
        c.f1 = c.f2 = readAtPinValue(c.tables.volt, clampNanToLow(pitch, 0.0f, 0.93f));
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
    [[gnu::always_inline]] static void update(FxSvfCore& c, float pitch, float, float) {
        c.cachedPitch = pitch;
        c.a1 = readAtPinValue(c.tables.lag, clampNanToLow(pitch, 0.0f, 1.0f));
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
    [[gnu::always_inline]] static void update(FxSvfCore& c, float pitch, float, float) {
        c.cachedPitch = pitch;
        const float p = clampNanToLow(pitch, 0.0f, 1.0f);
        c.a1 = readAtPinValue(c.tables.lag, clampNanToLow(2.0f * p, 0.0f, 1.0f));
        c.a2 = readAtPinValue(c.tables.lag, clampNanToLow(2.0f * p - 1.0f, 0.0f, 1.0f));
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
    [[gnu::always_inline]] static void update(FxSvfCore& c, float pitch, float res, float) {
        c.cachedPitch = pitch;
        c.cachedRes = res;
        const float p = clampNanToLow(pitch, 0.0f, 1.0f);
        const float e = clampNanToLow(res * 1.5f + 0.5f, 0.5f, 4.0f);
        const float ep = clampNanToLow(e * p, 0.0f, 1.0f);
        c.c1 = readAtPinValue(c.tables.expA, ep) * readAtPinValue(c.tables.cosA, p);
        c.c2 = readAtPinValue(c.tables.expB, ep);
    }
    static float tick(FxSvfCore& c, float in, float) {
        return dsp::allPass2(c.allPass, in, c.c1, c.c2);
    }
};

} // namespace

void FxSvfCore::resetState() {
    t = 0.0f;
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
    // The gains of modes 1-3 follow resonance changes only; NaN makes the first update of
    // those modes compute them whatever the resonance, so no output uses unset gains.
    core.gainRes = std::numeric_limits<float>::quiet_NaN();
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
constexpr Routine scalar = &FxSvf::subProcessModeScalar<Mode>;
constexpr Routine kModeRoutines[9] = {
    &FxSvf::subProcessCopy,
    scalar<SvPairMode<Tap::Low>>,
    scalar<SvPairMode<Tap::High>>,
    scalar<SvPairMode<Tap::Band>>,
    &FxSvf::subProcessMode<NotchMode>,
    &FxSvf::subProcessMode<OnePoleMode<false>>,
    &FxSvf::subProcessMode<OnePoleMode<true>>,
    &FxSvf::subProcessMode<OnePoleBandMode>,
    &FxSvf::subProcessMode<AllPassMode>,
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
