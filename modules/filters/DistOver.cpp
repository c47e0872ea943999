// "ZR DIST CS": the shared tanh table, the six mode routines and the pin logic of the
// oversampled distortion. The saturating modes are one routine template over the oversampling
// factor (2x with single-precision decimation, 4x with double) and the saturator variant.
#include "modules/filters/DistOver.h"

#include "dsp/clamp.h"
#include "dsp/flush.h"
#include "dsp/shared_table.h"
#include "dsp/table_read.h"
#include "framework/mp_factory.h"

#include <cfloat>
#include <cmath>

namespace zr {
namespace {

constexpr int kTanhEntries = 20001;

// Values entering a decimation filter are held to this magnitude (and NaN to 0): an infinite
// or absurdly driven sample would otherwise leave the recursive history infinite or NaN for
// good. A thousand times full scale still passes unchanged.
constexpr float kStateLimit = 1.0e6f;

void fillTanh(float* t) {
    for (int i = 0; i < kTanhEntries; ++i)
        t[i] = static_cast<float>(std::tanh(i * 0.0001 - 1.0));
}

// The modulation factor: depth 0 gives 1.0000001, depth 1 gives mod + 0.0000001.
inline float modulation(float mod, float depth) {
    return (mod - 1.0f) * depth + 1.0000001f;
}

// Division by `Output Divisor`. A zero (or subnormal, or NaN) divisor would make the output
// infinite or NaN; it divides by 1 instead, that is, the output is left undivided.
inline float divideOutput(float x, float divisor) {
    return std::fabs(divisor) >= FLT_MIN ? x / divisor : x;
}

// The saturator on sub-sample e: f = e held to +-1, T = tanh(f) from the table; variant A
// (`Weighted`) weights the mix by |f|, so small signals stay nearly linear.
template <bool Weighted>
inline float saturate(const float* tanhT, float e, float amount) {
    const float f = dsp::clampNanToLow(e, -1.0f, 1.0f);
    const float t = dsp::readAtPinValue(tanhT, f + 1.0f);
    if constexpr (Weighted)
        return e + amount * std::fabs(f) * (t - e);
    else
        return e + amount * (t - e);
}

} // namespace

void DistOverCore::resetState() {
    over2.clear();
    over4.clear();
    overPair.clear();
    decA.clear();
    decC.clear();
    decB.clear();
    decEA.clear();
    decEB.clear();
}

DistOver::DistOver(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, inputIn);
    initializePin(1, gainIn);
    initializePin(2, auxIn);
    initializePin(3, modIn);
    initializePin(4, modDepthIn);
    initializePin(5, driveIn);
    initializePin(6, saturationIn);
    initializePin(7, divisorIn);
    initializePin(8, aux2In);
    initializePin(9, outputOut);
    initializePin(10, modeIn);
    initializePin(11, clearIn);
}

gmpi::int32 DistOver::open() {
    const dsp::SharedTable t =
        dsp::SharedTable::request(getHost(), u"QORV_DIST_TANH_CS", -1.0f, kTanhEntries);
    t.fillIfNew(fillTanh);
    core.tanhTable = t.data;
    core.resetState();
    return MpBase::open();
}

namespace {
using Routine = void (DistOver::*)(gmpi::int32, gmpi::int32);
constexpr Routine kModeRoutines[6] = {
    &DistOver::subProcessGain,
    &DistOver::subProcessSaturate<2, true>,
    &DistOver::subProcessSaturate<2, false>,
    &DistOver::subProcessSaturate<4, true>,
    &DistOver::subProcessSaturate<4, false>,
    &DistOver::subProcessModulate,
};
} // namespace

void DistOver::pinsChanged() {
    if (clearIn.isUpdated() && clearIn.getValue() > 0.0f) core.resetState();

    const bool inputIdle = !inputIn.isStreaming() && inputIn.getValue() == 0.0f;
    const bool gainIdle = !gainIn.isStreaming() && gainIn.getValue() <= 0.0f;
    if (inputIdle || gainIdle) {
        core.resetState();
        outputOut.setStreaming(false);
        setBlockRoutine(&DistOver::subProcessSilence);
        allowSleep(true);
        return;
    }
    if (modeIn.isUpdated()) core.resetState();
    outputOut.setStreaming(true);
    const gmpi::int32 mode = modeIn.getValue();
    if (mode >= 0 && mode < 6) modeRoutine = kModeRoutines[mode];
    // The saturating modes need the table; without it only the plain gain runs.
    const bool needsTable =
        modeRoutine != &DistOver::subProcessGain && modeRoutine != &DistOver::subProcessModulate;
    setBlockRoutine(needsTable && !core.tanhTable ? &DistOver::subProcessSilence : modeRoutine);
    allowSleep(false);
}

void DistOver::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = outputOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        out[i] = 0.0f;
}

void DistOver::subProcessGain(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* in = inputIn.getBuffer() + bufferOffset;
    const float* gain = gainIn.getBuffer() + bufferOffset;
    const float* mod = modIn.getBuffer() + bufferOffset;
    const float* depth = modDepthIn.getBuffer() + bufferOffset;
    float* out = outputOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        out[i] = (in[i] * gain[i]) * modulation(mod[i], depth[i]);
}

template <int Factor, bool Weighted>
void DistOver::subProcessSaturate(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* in = inputIn.getBuffer() + bufferOffset;
    const float* gain = gainIn.getBuffer() + bufferOffset;
    const float* mod = modIn.getBuffer() + bufferOffset;
    const float* depth = modDepthIn.getBuffer() + bufferOffset;
    const float* drive = driveIn.getBuffer() + bufferOffset;
    const float* amount = saturationIn.getBuffer() + bufferOffset;
    const float* divisor = divisorIn.getBuffer() + bufferOffset;
    float* out = outputOut.getBuffer() + bufferOffset;
    DistOverCore c = core;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i) {
        const float d = modulation(mod[i], depth[i]) * (in[i] * drive[i] * gain[i]);
        const float a = amount[i];
        float y;
        if constexpr (Factor == 2) {
            y = c.over2.run(dsp::holdFinite(d, kStateLimit), [&c, a](float u) {
                const float s = saturate<Weighted>(c.tanhTable, c.decA.process(u), a);
                return c.decB.process(dsp::holdFinite(s, kStateLimit));
            });
        } else {
            y = c.over4.run(dsp::holdFinite(d, kStateLimit), [&c, a](float u) {
                const float e = static_cast<float>(c.decEA.process(u));
                const float s = saturate<Weighted>(c.tanhTable, e, a);
                return static_cast<float>(c.decEB.process(dsp::holdFinite(s, kStateLimit)));
            });
        }
        out[i] = divideOutput(y, divisor[i]);
    }
    core = c;
}

void DistOver::subProcessModulate(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* in = inputIn.getBuffer() + bufferOffset;
    const float* gain = gainIn.getBuffer() + bufferOffset;
    const float* mod = modIn.getBuffer() + bufferOffset;
    const float* depth = modDepthIn.getBuffer() + bufferOffset;
    float* out = outputOut.getBuffer() + bufferOffset;
    DistOverCore c = core;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i) {
        const float g = gain[i];
        const float dp = depth[i];
        out[i] =
            c.overPair.run(dsp::holdFinite(in[i], kStateLimit),
                           dsp::holdFinite(mod[i], kStateLimit), [&c, g, dp](float u, float v) {
                               const float x = c.decA.process(u);
                               const float y = c.decC.process(v);
                               const float product = modulation(y, dp) * (x * g);
                               return c.decB.process(dsp::holdFinite(product, kStateLimit));
                           });
    }
    core = c;
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR DIST CS", &gmpi::createAudio<DistOver>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR DIST CS", "ZR Oversampled Distortion", "ZR/Filters");
} // namespace

} // namespace zr
