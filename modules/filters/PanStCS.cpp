// "ZR PanST CS": shared tables, pin logic and the two panning routines. The gains are
// recomputed only when `Pan` changes.
#include "modules/filters/PanStCS.h"

#include "dsp/cache_forcing.h"
#include "framework/mp_factory.h"

namespace zr {
namespace {
// Added to the pan cache to force the next sample to recompute the gains.
constexpr float kForceOffset = 0.0000001f;
} // namespace

PanStCS::PanStCS(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, inA);
    initializePin(1, inB);
    initializePin(2, panIn);
    initializePin(3, leftOut);
    initializePin(4, rightOut);
    initializePin(5, modeIn);
}

gmpi::int32 PanStCS::open() {
    tables = dsp::requestQuarterWave(getHost(), u"QORV_PAN_SIN", u"QORV_PAN_COS");
    cachedPan = -100.0f;
    return MpBase::open();
}

void PanStCS::pinsChanged() {
    const bool active =
        inA.isStreaming() || inB.isStreaming() || inA.getValue() != 0.0f || inB.getValue() != 0.0f;
    // Without the tables there are no gains: the module stays silent.
    if (active && tables) {
        if (modeIn.isUpdated()) cachedPan = dsp::forcedCacheValue(panIn.getValue(), kForceOffset);
        leftOut.setStreaming(true);
        rightOut.setStreaming(true);
        const gmpi::int32 mode = modeIn.getValue();
        if (mode == 0) modeRoutine = &PanStCS::subProcessPan<false>;
        if (mode == 1) modeRoutine = &PanStCS::subProcessPan<true>;
        setBlockRoutine(modeRoutine);
        allowSleep(false);
    } else {
        cachedPan = dsp::forcedCacheValue(panIn.getValue(), kForceOffset);
        leftOut.setStreaming(false);
        rightOut.setStreaming(false);
        setBlockRoutine(&PanStCS::subProcessSilence);
        allowSleep(true);
    }
}

void PanStCS::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* left = leftOut.getBuffer() + bufferOffset;
    float* right = rightOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        left[i] = right[i] = 0.0f;
}

template <bool CrossMix>
void PanStCS::subProcessPan(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* a = inA.getBuffer() + bufferOffset;
    const float* b = inB.getBuffer() + bufferOffset;
    const float* pan = panIn.getBuffer() + bufferOffset;
    float* left = leftOut.getBuffer() + bufferOffset;
    float* right = rightOut.getBuffer() + bufferOffset;
    float cached = cachedPan;
    dsp::PanGains g = gains;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i) {
        if (pan[i] != cached) {
            cached = pan[i];
            g = dsp::quarterWaveGains(tables, pan[i]);
        }
        if constexpr (CrossMix) {
            left[i] = b[i] * g.right + a[i] * g.left;
            right[i] = b[i] * g.left + a[i] * g.right;
        } else {
            const float s = b[i] + a[i];
            left[i] = g.left * s;
            right[i] = g.right * s;
        }
    }
    cachedPan = cached;
    gains = g;
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR PanST CS", &gmpi::createAudio<PanStCS>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR PanST CS", "ZR Stereo Panner", "ZR/Filters");
} // namespace

} // namespace zr
