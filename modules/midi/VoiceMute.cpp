// "VL Voice Mute": the shared fade tables, the four block routines, and description block D6.
#include "modules/midi/VoiceMute.h"

#include "framework/mp_factory.h"
#include "modules/midi/MidiHelpers.h"

#include <cmath>

namespace zr {

namespace {
// Used when the host gives no table: a fade of length 0, that is an immediate cut.
const float kCutTable[1] = {0.0f};
} // namespace

void fillVoiceFadeTable(float* table, int32 length) {
    if (length <= 0) {
        table[0] = 0.0f; // i / n has no value at n = 0; the voice is cut
        return;
    }
    for (int32 i = 0; i <= length; ++i) {
        const float x = static_cast<float>(i) / static_cast<float>(length);
        table[i] = (std::sin((x - 0.5f) * 3.1415927f) + 1.0f) * 0.5f;
    }
}

VoiceMute::VoiceMute(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, input);
    initializePin(1, voiceActive);
    initializePin(2, output);
    initializePin(3, legacyMode);
}

const float* VoiceMute::allocateTable(const char16_t* name, float sampleRate, int32 length) {
    void* block = nullptr;
    int32 isNew = 0;
    if (!getHost() ||
        getHost()->allocateSharedMemory(name, &block, sampleRate, length * 4 + 4, isNew) !=
            gmpi::ResultOk ||
        !block)
        return nullptr;
    // Each table is filled by the instance that created it, so a table is never read unfilled
    // even when only one of the pair is new.
    if (isNew) fillVoiceFadeTable(static_cast<float*>(block), length);
    return static_cast<const float*>(block);
}

int32 VoiceMute::open() {
    const float sampleRate = midi::hostSampleRate(getHost());
    fastLength = static_cast<int32>(sampleRate * 0.005f);
    slowLength = static_cast<int32>(sampleRate * 0.02f);
    fastTable = allocateTable(u"VoiceMute:FadeCurveFast", sampleRate, fastLength);
    slowTable = allocateTable(u"VoiceMute:FadeCurveSlow", sampleRate, slowLength);
    if (!fastTable) {
        fastTable = kCutTable;
        fastLength = 0;
    }
    if (!slowTable) {
        slowTable = kCutTable;
        slowLength = 0;
    }
    select(Routine::Copy);
    return MpBase::open();
}

void VoiceMute::select(Routine r) {
    routine = r;
    switch (r) {
    case Routine::Copy:
        setBlockRoutine(&VoiceMute::subProcessCopy);
        break;
    case Routine::DelayedCopy:
        setBlockRoutine(&VoiceMute::subProcessDelayedCopy);
        break;
    case Routine::FadeOut:
        setBlockRoutine(&VoiceMute::subProcessFadeOut);
        break;
    case Routine::Silence:
        setBlockRoutine(&VoiceMute::subProcessSilence);
        break;
    }
}

void VoiceMute::pinsChanged() {
    if (voiceActive.isUpdated()) {
        const float value = voiceActive;
        const bool newActive = value > 0.0f;
        if (newActive != active) {
            if (newActive) {
                legacyCountdown = 4;
                select(legacyMode ? Routine::DelayedCopy : Routine::Copy);
            } else {
                const bool stolen = value < 0.0f;
                fadeTable = stolen ? fastTable : slowTable;
                fadePosition = stolen ? fastLength : slowLength;
                select(Routine::FadeOut);
            }
            active = newActive;
        }
    }
    // The delayed copy changes its output from 0 to the input three samples on, so it streams
    // until it hands over to the copy, which then declares the output static if the input is.
    bool streaming = fadePosition > 0;
    if (routine == Routine::Copy) streaming = input.isStreaming();
    if (routine == Routine::DelayedCopy) streaming = true;
    output.setStreaming(streaming);
}

void VoiceMute::subProcessCopy(int32 bufferOffset, int32 sampleFrames) {
    const float* in = input.getBuffer() + bufferOffset;
    float* out = output.getBuffer() + bufferOffset;
    for (int32 i = 0; i < sampleFrames; ++i)
        out[i] = in[i];
}

void VoiceMute::subProcessDelayedCopy(int32 bufferOffset, int32 sampleFrames) {
    const float* in = input.getBuffer() + bufferOffset;
    float* out = output.getBuffer() + bufferOffset;
    for (int32 i = 0; i < sampleFrames; ++i) {
        if (legacyCountdown-- == 1) {
            for (int32 j = i; j < sampleFrames; ++j)
                out[j] = in[j];
            select(Routine::Copy);
            if (!input.isStreaming()) output.setStreaming(false, bufferOffset + i);
            return;
        }
        out[i] = 0.0f;
    }
}

void VoiceMute::subProcessFadeOut(int32 bufferOffset, int32 sampleFrames) {
    const float* in = input.getBuffer() + bufferOffset;
    float* out = output.getBuffer() + bufferOffset;
    // A fade of length n reads entries n - 1 down to 0; the sample after the last is silent.
    const int32 fading = fadePosition < sampleFrames ? fadePosition : sampleFrames;
    const float* table = fadeTable;
    int32 position = fadePosition;
    for (int32 i = 0; i < fading; ++i)
        out[i] = table[--position] * in[i];
    fadePosition = position;
    if (fading == sampleFrames) return;
    fadePosition = -1;
    output.setStreaming(false, bufferOffset + fading);
    for (int32 i = fading; i < sampleFrames; ++i)
        out[i] = 0.0f;
    select(Routine::Silence);
}

void VoiceMute::subProcessSilence(int32 bufferOffset, int32 sampleFrames) {
    float* out = output.getBuffer() + bufferOffset;
    for (int32 i = 0; i < sampleFrames; ++i)
        out[i] = 0.0f;
}

} // namespace zr

namespace {

// Description block D6. The host drives "VoiceActive" with the activity of the voice the module
// sits in: above 0 while it plays, 0 after its release, below 0 when it is stolen.
constexpr const char* kVoiceMuteDescription = R"xml(<?xml version="1.0" encoding="utf-8" ?>
<PluginList>
  <Plugin id="VL Voice Mute" name="Voice Mute" category="Sub-Controls" helpUrl="VoiceMute.htm">
    <Audio>
      <Pin id="0" name="Input1" direction="in" datatype="float" rate="audio" />
      <Pin id="1" name="VoiceActive" direction="in" datatype="float" hostConnect="Voice/Active" isPolyphonic="true" />
      <Pin id="2" name="Output" direction="out" datatype="float" rate="audio" />
      <Pin id="3" name="legacyMode" direction="in" datatype="bool" />
    </Audio>
  </Plugin>
</PluginList>
)xml";

const gmpi::int32 registered =
    gmpi::registerAudioModule(u"VL Voice Mute", &gmpi::createAudio<zr::VoiceMute>);
const gmpi::int32 describedD6 = gmpi::registerDescriptionBlock(kVoiceMuteDescription);

} // namespace
