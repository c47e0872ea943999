// "VL Unison Fix": re-maps the notes of all sixteen MIDI channels onto the least recently
// released of the 128 keys of channel 1, and retunes each such key with a MIDI Tuning Standard
// single-note change to the pitch of the note it now plays.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/midi/hasMidiTuning.h"

namespace zr {

using gmpi::int32;

class UnisonFix : public gmpi::MpBase, public hasMidiTuning {
  public:
    explicit UnisonFix(gmpi::IMpUnknown* host);

    void midiReceived(int32 pinId, const unsigned char* bytes, int32 size) override;

  protected:
    void tuningChanged(std::int64_t time, int key, std::int32_t tuning) override;

  private:
    static constexpr int32 kSounding = 2147483647; // slotReleasedAt of a sounding slot

    void noteOn(int32 channel, int32 note, unsigned char velocity);
    void noteMessage(unsigned char kind, int32 channel, int32 note, unsigned char value);
    int32 leastRecentlyReleased() const;
    void sendNote(unsigned char kind, int32 slot, unsigned char value);
    void sendRetune(const unsigned char* header, int32 headerSize, int32 slot, std::int32_t tuning);

    gmpi::MidiInPin midiIn{"MIDI In"};
    gmpi::MidiOutPin midiOut{"MIDI Out"};

    int32 slotReleasedAt[128];
    int32 slotChannel[128];
    int32 slotNote[128];
    signed char keyMap[16][128];
    int32 releaseCounter = 0;
};

} // namespace zr
