// "ZR MixM": pin logic and routines of the modulation mixer.
#include "modules/filters/Mixm.h"

#include "framework/mp_factory.h"

namespace zr {

Mixm::Mixm(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, inputIn);
    initializePin(1, amountIn);
    initializePin(2, multiplierIn);
    initializePin(3, outputOut);
    initializePin(4, onIn);
}

void Mixm::pinsChanged() {
    if (onIn.getValue() != 1) {
        outputOut.setStreaming(false);
        setBlockRoutine(&Mixm::subProcessSilence);
        allowSleep(true);
        return;
    }
    const bool streaming =
        inputIn.isStreaming() || amountIn.isStreaming() || multiplierIn.isStreaming();
    outputOut.setStreaming(streaming);
    setBlockRoutine(&Mixm::subProcessMix);
    allowSleep(!streaming);
}

void Mixm::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = outputOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        out[i] = 0.0f;
}

void Mixm::subProcessMix(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* x = inputIn.getBuffer() + bufferOffset;
    const float* a = amountIn.getBuffer() + bufferOffset;
    const float* b = multiplierIn.getBuffer() + bufferOffset;
    float* __restrict out = outputOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        out[i] = (b[i] * x[i] - x[i]) * (a[i] + 0.5f) + x[i];
}

namespace {
const gmpi::int32 registered = gmpi::registerAudioModule(u"ZR MixM", &gmpi::createAudio<Mixm>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR MixM", "ZR Modulation Mixer", "ZR/Filters");
} // namespace

} // namespace zr
