// "zr midi on off": a MIDI switch that also forces the channel; switching it off or changing
// the channel silences the channel(s) it was passing.
#pragma once

#include "modules/midi/ChannelForcing.h"

namespace zr {

class MidiOnOff : public ChannelForcingModule {
  public:
    explicit MidiOnOff(gmpi::IMpUnknown* host);

    void midiReceived(gmpi::int32 pinId, const unsigned char* bytes, gmpi::int32 size) override;
    void pinsChanged() override;

  private:
    gmpi::IntInPin gate{"Gate"};
};

} // namespace zr
