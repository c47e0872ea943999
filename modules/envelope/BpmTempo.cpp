// "ZR BPM Tempo": each pin change marks the changed output static and installs the routine
// that fills both outputs with their constants; with no output streaming the module sleeps.
#include "modules/envelope/BpmTempo.h"

#include "framework/mp_factory.h"

namespace zr {

BpmTempo::BpmTempo(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, tempoIn);
    initializePin(1, playingIn);
    initializePin(2, tempoOut);
    initializePin(3, playingOut);
}

void BpmTempo::subProcessFill(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* tempo = tempoOut.getBuffer() + bufferOffset;
    float* playing = playingOut.getBuffer() + bufferOffset;
    const float t = tempoIn.getValue() * 0.1f;
    const float p = playingIn.getValue() ? 1.0f : 0.0f;
    for (gmpi::int32 n = 0; n < sampleFrames; ++n) {
        tempo[n] = t;
        playing[n] = p;
    }
}

void BpmTempo::pinsChanged() {
    if (playingIn.isUpdated()) playingOut.setStreaming(false);
    if (tempoIn.isUpdated()) tempoOut.setStreaming(false);
    setBlockRoutine(&BpmTempo::subProcessFill);
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR BPM Tempo", &gmpi::createAudio<BpmTempo>);
const gmpi::int32 described = gmpi::catalogDescribe(u"ZR BPM Tempo", "BPM Tempo", "ZR/Tempo");
} // namespace

} // namespace zr
