// "Veloran VoiceWatcherBlocker": the pass-through and its registration.
#include "modules/midi/VoiceWatcherBlocker.h"

#include "framework/mp_factory.h"

namespace zr {

VoiceWatcherBlocker::VoiceWatcherBlocker(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, input);
    initializePin(1, output);
}

void VoiceWatcherBlocker::pinsChanged() {
    output.setStreaming(input.isStreaming());
    setBlockRoutine(&VoiceWatcherBlocker::subProcessCopy);
}

void VoiceWatcherBlocker::subProcessCopy(int32 bufferOffset, int32 sampleFrames) {
    const float* in = input.getBuffer() + bufferOffset;
    float* out = output.getBuffer() + bufferOffset;
    for (int32 i = 0; i < sampleFrames; ++i)
        out[i] = in[i];
}

} // namespace zr

namespace {
const gmpi::int32 registered = gmpi::registerAudioModule(
    u"Veloran VoiceWatcherBlocker", &gmpi::createAudio<zr::VoiceWatcherBlocker>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"Veloran VoiceWatcherBlocker", "Voice Watcher Blocker", "ZR/MIDI");
} // namespace
