// "ZR-MOD CS": a MIDI key split with a polyphony limiter. In allocator mode notes of range B
// pass unchanged to output B and notes of range A go to output A through a limiter of up to
// eight voices, with optional rotating voice choice and two voice-stealing rules. In copy mode
// each note message is repeated on up to three channels.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

using gmpi::int32;

class ZrmodCS : public gmpi::MpBase {
  public:
    static constexpr int32 kSlots = 8;

    explicit ZrmodCS(gmpi::IMpUnknown* host);

    void pinsChanged() override;
    void midiReceived(int32 pinId, const unsigned char* bytes, int32 size) override;

  private:
    struct Slot {
        int32 busy = 0;
        int32 note = -1;
        int32 order = 0;   // always the slot's index
        int32 age = 0;     // 1 = oldest of a full limiter, N = newest
        int32 channel = 0; // channel of the note it holds, for its release
    };

    int32 voices() const;
    bool inRangeA(int32 note) const;
    bool inRangeB(int32 note) const;
    void reset();
    void clearSlot(int32 i);
    void sendA(unsigned char status, int32 note, unsigned char value);
    void sendB(unsigned char status, int32 note, unsigned char value);
    void release(int32 c, int32 note, unsigned char kind, unsigned char velocity);
    void noteOn(int32 c, int32 note, unsigned char velocity);
    void steal(int32 busyCount, int32 n);
    void allocate(int32 c, int32 note, unsigned char velocity);
    void copyNote(const unsigned char* bytes);
    void allNotesOff(int32 c);

    gmpi::MidiInPin midiIn{"MIDI In"};
    gmpi::MidiOutPin midiOutA{"MIDI Out A"};
    gmpi::IntInPin processMode{"Process Mode"};
    gmpi::IntInPin voicesPin{"Voices"};
    gmpi::IntInPin rotate{"Rotate"};
    gmpi::IntInPin stealMode{"Steal Mode"};
    gmpi::IntInPin param6{"Param 6"};
    gmpi::IntInPin param7{"Param 7"};
    gmpi::IntInPin on{"On"};
    gmpi::IntInPin channel{"Channel"};
    gmpi::MidiOutPin midiOutB{"MIDI Out B"};
    gmpi::IntInPin rangeALow{"Range A Low"};
    gmpi::IntInPin rangeAHigh{"Range A High"};
    gmpi::IntInPin rangeBLow{"Range B Low"};
    gmpi::IntInPin rangeBHigh{"Range B High"};

    Slot slots[kSlots];
    int32 rotationStart = 0;
    int32 chosen = 0;
    int32 lastAge = 0;
    bool resetPending = false;
    bool resetBefore = false;
    // Channels that carried note-ons on each output since the last reset (bit c = channel c).
    unsigned channelsUsedA = 0;
    unsigned channelsUsedB = 0;
};

} // namespace zr
