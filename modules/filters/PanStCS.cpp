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

namespace {

// One sample's outputs for gains gl and gr.
template <bool CrossMix>
inline void panSample(float a, float b, float gl, float gr, float& left, float& right) {
    if constexpr (CrossMix) {
        left = b * gr + a * gl;
        right = b * gl + a * gr;
    } else {
        const float s = b + a;
        left = gl * s;
        right = gr * s;
    }
}

} // namespace

// Samples equal to the cached position keep the gains in hand, which before the first
// computation need not be that position's. From the first change on every sample gets the
// gains of its own position: a repeated position would only reuse gains computed from an equal
// value, and equal positions give equal gains. So a changing stretch computes the gains of
// every sample without comparing (no branch to mispredict, no chain through the cache).
template <bool CrossMix>
void PanStCS::subProcessPan(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* a = inA.getBuffer() + bufferOffset;
    const float* b = inB.getBuffer() + bufferOffset;
    const float* pan = panIn.getBuffer() + bufferOffset;
    float* left = leftOut.getBuffer() + bufferOffset;
    float* right = rightOut.getBuffer() + bufferOffset;
    const float cached = cachedPan;
    const dsp::PanGains held = gains;
    gmpi::int32 i = 0;
    for (; i < sampleFrames && pan[i] == cached; ++i)
        panSample<CrossMix>(a[i], b[i], held.left, held.right, left[i], right[i]);
    if (i == sampleFrames) return;
    for (; i < sampleFrames; ++i) {
        const dsp::PanGains g = dsp::quarterWaveGains(tables, pan[i]);
        panSample<CrossMix>(a[i], b[i], g.left, g.right, left[i], right[i]);
    }
    cachedPan = pan[sampleFrames - 1];
    gains = dsp::quarterWaveGains(tables, cachedPan);
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR PanST CS", &gmpi::createAudio<PanStCS>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR PanST CS", "ZR Stereo Panner", "ZR/Filters");
} // namespace

} // namespace zr
