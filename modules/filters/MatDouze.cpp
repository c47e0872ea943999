// "ZR MATRICE 12": pin logic and the two routines of the gain matrix. The products are formed
// channel by channel over the block, in runs the compiler vectorises.
#include "modules/filters/MatDouze.h"

#include "framework/mp_factory.h"

namespace zr {
namespace {

// out = in x g over n samples. In runs of a fixed length, which the compiler turns into vector
// multiplies (a loop of unknown length alone stays scalar at the optimisation level the
// library is built at); restrict holds only on parameters, hence a function of its own.
void multiply(const float* __restrict in, const float* __restrict g, float* __restrict out,
              gmpi::int32 n) {
    constexpr gmpi::int32 kRun = 8;
    gmpi::int32 i = 0;
    for (; i + kRun <= n; i += kRun)
        for (gmpi::int32 k = 0; k < kRun; ++k)
            out[i + k] = in[i + k] * g[i + k];
    for (; i < n; ++i)
        out[i] = in[i] * g[i];
}

} // namespace

MatDouze::MatDouze(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, commonIn);
    for (int n = 0; n < kChannels; ++n)
        initializePin(1 + n, channelIn[n]);
    for (int n = 0; n < kChannels; ++n)
        initializePin(1 + kChannels + n, channelOut[n]);
    initializePin(1 + 2 * kChannels, onIn);
}

void MatDouze::pinsChanged() {
    if (onIn.getValue() != 1) {
        for (gmpi::AudioOutPin& out : channelOut)
            out.setStreaming(false);
        setBlockRoutine(&MatDouze::subProcessSilence);
        allowSleep(true);
        return;
    }
    bool streaming = commonIn.isStreaming();
    for (const gmpi::AudioInPin& in : channelIn)
        streaming = streaming || in.isStreaming();
    for (gmpi::AudioOutPin& out : channelOut)
        out.setStreaming(streaming);
    setBlockRoutine(&MatDouze::subProcessMultiply);
    allowSleep(!streaming);
}

void MatDouze::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    for (gmpi::AudioOutPin& pin : channelOut) {
        float* out = pin.getBuffer() + bufferOffset;
        for (gmpi::int32 i = 0; i < sampleFrames; ++i)
            out[i] = 0.0f;
    }
}

void MatDouze::subProcessMultiply(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* g = commonIn.getBuffer() + bufferOffset;
    for (int n = 0; n < kChannels; ++n)
        multiply(channelIn[n].getBuffer() + bufferOffset, g,
                 channelOut[n].getBuffer() + bufferOffset, sampleFrames);
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR MATRICE 12", &gmpi::createAudio<MatDouze>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR MATRICE 12", "ZR Gain Matrix 12", "ZR/Filters");
} // namespace

} // namespace zr
