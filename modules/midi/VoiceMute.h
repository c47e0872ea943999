// "VL Voice Mute": passes a voice's signal while the host reports the voice active and fades it
// out (5 ms when the voice is stolen, 20 ms when it is released) when it becomes inactive. The
// raised-sine fade tables are shared by every instance at one sample rate.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

using gmpi::int32;

// Entry i of a fade table of length n: (sin((i / n - 0.5) x pi) + 1) x 0.5, i = 0..n, rising
// from 0 to 1. A table of length 0 holds the single entry 0.
void fillVoiceFadeTable(float* table, int32 length);

class VoiceMute : public gmpi::MpBase {
  public:
    explicit VoiceMute(gmpi::IMpUnknown* host);

    int32 MP_STDCALL open() override;
    void pinsChanged() override;

    void subProcessCopy(int32 bufferOffset, int32 sampleFrames);
    void subProcessDelayedCopy(int32 bufferOffset, int32 sampleFrames);
    void subProcessFadeOut(int32 bufferOffset, int32 sampleFrames);
    void subProcessSilence(int32 bufferOffset, int32 sampleFrames);

  private:
    enum class Routine { Copy, DelayedCopy, FadeOut, Silence };
    void select(Routine r);
    const float* allocateTable(const char16_t* name, float sampleRate, int32 length);

    gmpi::AudioInPin input{"Input1"};
    gmpi::FloatInPin voiceActive{"VoiceActive"};
    gmpi::AudioOutPin output{"Output"};
    gmpi::BoolInPin legacyMode{"legacyMode"};

    int32 fastLength = 0;
    int32 slowLength = 0;
    const float* fastTable = nullptr;
    const float* slowTable = nullptr;
    const float* fadeTable = nullptr;
    int32 fadePosition = 0;
    int32 legacyCountdown = 0;
    bool active = false;
    Routine routine = Routine::Copy;
};

} // namespace zr
