// "zr midi all off": forces every passing MIDI message onto one channel and silences the
// previous channel (controller 123) whenever the channel setting changes.
#pragma once

#include "modules/midi/ChannelForcing.h"

namespace zr {

class MidiAllOff : public ChannelForcingModule {
  public:
    explicit MidiAllOff(gmpi::IMpUnknown* host);

    void midiReceived(gmpi::int32 pinId, const unsigned char* bytes, gmpi::int32 size) override;
    void pinsChanged() override;
};

} // namespace zr
