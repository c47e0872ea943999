// "ZrPrgChange", audio half: the three gate modes and their block routines.
#include "modules/midi/PrgCh.h"

#include "framework/mp_factory.h"
#include "modules/midi/MidiHelpers.h"

namespace zr {

namespace {
// Hold Time x samplesPer10ms in samples, truncated towards zero. NaN, negative and huge
// products are held inside the int32 range (a negative hold and a hold of 0 both pass nothing).
inline int32 holdInSamples(float holdTime, float samplesPer10ms) {
    float n = holdTime * samplesPer10ms;
    if (!(n > 0.0f)) return 0;
    if (n > 2.0e9f) n = 2.0e9f;
    return static_cast<int32>(n);
}
} // namespace

PrgCh::PrgCh(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, trigger);
    initializePin(1, signal);
    initializePin(2, holdTime);
    initializePin(3, output);
    initializePin(4, midiIn);
    initializePin(5, mode);
}

int32 PrgCh::open() {
    justOpened = true;
    passing = false;
    samplesPer10ms = midi::hostSampleRate(getHost()) * 0.01f;
    return MpBase::open();
}

void PrgCh::startTimedPass() {
    passedCount = 0;
    mutedCount = 0;
    output.setStreaming(true);
    setBlockRoutine(&PrgCh::subProcessTimedPass);
}

void PrgCh::pinsChanged() {
    if (justOpened && mode == 0) startTimedPass();
    if (trigger.isUpdated() && !justOpened && mode == 1) startTimedPass();
    if (trigger.isUpdated() && !passing && !justOpened && mode == 2) {
        passing = true;
        output.setStreaming(true);
        setBlockRoutine(&PrgCh::subProcessCopy);
    }
    justOpened = false;
}

void PrgCh::midiReceived(int32, const unsigned char* bytes, int32 size) {
    // A note-on without its velocity byte is no note-on with a non-zero velocity.
    if (size < 3 || !bytes) return;
    if (midi::kindOf(bytes[0]) != midi::kNoteOn || bytes[2] == 0) return;
    if (!passing || mode != 2) return;
    passing = false;
    output.setStreaming(false);
    setBlockRoutine(&PrgCh::subProcessSilence);
}

void PrgCh::subProcessCopy(int32 bufferOffset, int32 sampleFrames) {
    const float* in = signal.getBuffer() + bufferOffset;
    float* out = output.getBuffer() + bufferOffset;
    for (int32 i = 0; i < sampleFrames; ++i)
        out[i] = in[i];
}

void PrgCh::subProcessSilence(int32 bufferOffset, int32 sampleFrames) {
    float* out = output.getBuffer() + bufferOffset;
    for (int32 i = 0; i < sampleFrames; ++i)
        out[i] = 0.0f;
}

void PrgCh::subProcessTimedPass(int32 bufferOffset, int32 sampleFrames) {
    const float* in = signal.getBuffer() + bufferOffset;
    const float* hold = holdTime.getBuffer() + bufferOffset;
    float* out = output.getBuffer() + bufferOffset;
    int32 silentFrom = 0; // first sample of the stretch after the last one passed
    for (int32 i = 0; i < sampleFrames; ++i) {
        holdSamples = holdInSamples(hold[i], samplesPer10ms);
        out[i] = 0.0f;
        if (passedCount < holdSamples) {
            out[i] = in[i];
            ++passedCount;
            silentFrom = i + 1;
        } else {
            ++mutedCount;
        }
    }
    if (mutedCount >= sampleFrames && passedCount >= holdSamples && silentFrom < sampleFrames) {
        // Static from the first silent sample of this stretch: the module's event position may
        // still hold the time of an event of an earlier block. A stretch whose last sample
        // passed leaves the declaration to the next one, which starts silent.
        output.setStreaming(false, bufferOffset + silentFrom);
        setBlockRoutine(&PrgCh::subProcessSilence);
    }
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZrPrgChange", &gmpi::createAudio<zr::PrgCh>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZrPrgChange", "Program Change Gate", "ZR/MIDI");
} // namespace
