// "zr midi all off": forces every passing MIDI message onto one channel and silences the
// previous channel (controller 123) whenever the channel setting changes.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

using gmpi::int32;

class MidiAllOff : public gmpi::MpBase {
  public:
    explicit MidiAllOff(gmpi::IMpUnknown* host);

    void midiReceived(int32 pinId, const unsigned char* bytes, int32 size) override;
    void pinsChanged() override;

  private:
    gmpi::MidiInPin midiIn{"MIDI In"};
    gmpi::MidiOutPin midiOut{"MIDI Out"};
    gmpi::IntInPin channel{"Channel"};

    int32 previousChannel = -1;
    bool channelSeen = false;
};

// Rewrites the channel of a message onto `channel` and sends it. Used by both channel filters.
// Only channel voice messages carry a channel: system messages (a tuning dump, a clock) and
// stray data bytes pass unchanged, since forcing channel bits onto 0xF0 would turn a SysEx
// start into a song select.
void sendOnChannel(gmpi::MidiOutPin& out, const unsigned char* bytes, int32 size, int32 channel);

// Sends controller 123 (all notes off) on `channel`, 0..15.
void sendAllNotesOff(gmpi::MidiOutPin& out, int32 channel);

} // namespace zr
