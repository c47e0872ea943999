// "zr midi on off": a MIDI switch that also forces the channel; switching it off or changing
// the channel silences the channel(s) it was passing.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

using gmpi::int32;

class MidiOnOff : public gmpi::MpBase {
  public:
    explicit MidiOnOff(gmpi::IMpUnknown* host);

    void midiReceived(int32 pinId, const unsigned char* bytes, int32 size) override;
    void pinsChanged() override;

  private:
    gmpi::MidiInPin midiIn{"MIDI In"};
    gmpi::MidiOutPin midiOut{"MIDI Out"};
    gmpi::IntInPin channel{"Channel"};
    gmpi::IntInPin gate{"Gate"};

    int32 previousChannel = -1;
    bool channelSeen = false;
};

} // namespace zr
