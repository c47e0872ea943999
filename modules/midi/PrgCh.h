// "ZrPrgChange", audio half: an audio gate with a MIDI input. A trigger (or the first pin
// change after open, in mode 0) lets the signal through for a hold time; in mode 2 a trigger
// opens the gate until the next note-on. Otherwise the output is silent.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

using gmpi::int32;

class PrgCh : public gmpi::MpBase {
  public:
    explicit PrgCh(gmpi::IMpUnknown* host);

    int32 MP_STDCALL open() override;
    void pinsChanged() override;
    void midiReceived(int32 pinId, const unsigned char* bytes, int32 size) override;

    void subProcessCopy(int32 bufferOffset, int32 sampleFrames);
    void subProcessSilence(int32 bufferOffset, int32 sampleFrames);
    void subProcessTimedPass(int32 bufferOffset, int32 sampleFrames);

  private:
    void startTimedPass();

    gmpi::IntInPin trigger{"Trigger"};
    gmpi::AudioInPin signal{"Signal"};
    gmpi::AudioInPin holdTime{"Hold Time"};
    gmpi::AudioOutPin output{"Output"};
    gmpi::MidiInPin midiIn{"MIDI In"};
    gmpi::IntInPin mode{"Mode"};

    float samplesPer10ms = 441.0f;
    int32 holdSamples = 0;
    int32 passedCount = 0;
    int32 mutedCount = 0;
    bool passing = false;
    bool justOpened = false;
};

} // namespace zr
