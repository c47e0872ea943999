// The channel forcing shared by "zr midi all off" and "zr midi on off": their MIDI and Channel
// pins, the rewrite of a message onto the set channel, and the all-notes-off for what the
// previous setting was passing when it changes.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/midi/MidiHelpers.h"

#include <algorithm>

namespace zr {

// Rewrites the channel of a message onto `channel` and sends it. Only channel voice messages
// carry a channel: system messages (a tuning dump, a clock) and stray data bytes pass
// unchanged, since forcing channel bits onto 0xF0 would turn a SysEx start into a song select.
inline void sendOnChannel(gmpi::MidiOutPin& out, const unsigned char* bytes, gmpi::int32 size,
                          gmpi::int32 channel) {
    // Longest message rewritten in place on the stack; longer ones (SysEx) are never rewritten.
    constexpr gmpi::int32 kShortMessage = 3;
    if (size <= 0 || !bytes) return;
    if (!midi::isChannelStatus(bytes[0])) {
        out.send(bytes, size);
        return;
    }
    unsigned char message[kShortMessage];
    const gmpi::int32 n = std::min(size, kShortMessage);
    std::copy(bytes, bytes + n, message);
    message[0] = static_cast<unsigned char>((bytes[0] & 0xF0) + channel);
    // Channel messages are at most three bytes; anything after them is not part of the message.
    out.send(message, n);
}

// Sends controller 123 (all notes off) on `channel`, 0..15.
inline void sendAllNotesOff(gmpi::MidiOutPin& out, gmpi::int32 channel) {
    const unsigned char message[3] = {static_cast<unsigned char>(midi::kControlChange + channel),
                                      midi::kAllNotesOff, 0};
    out.send(message, 3);
}

class ChannelForcingModule : public gmpi::MpBase {
  public:
    explicit ChannelForcingModule(gmpi::IMpUnknown* host) : MpBase(host) {}

  protected:
    // Sends a message forced onto Channel. A channel outside 0..15 names no MIDI channel:
    // adding it to the status would change the message kind (a note-off plus 16 is a
    // note-on), so such a setting passes nothing.
    void sendForced(const unsigned char* bytes, gmpi::int32 size) {
        if (!midi::isMidiChannel(channel)) return;
        sendOnChannel(midiOut, bytes, size, channel);
    }

    // Silences what the previous setting was passing, then takes the current one. Channel -1
    // passed every channel when `minusOnePassedAll`, else nothing. Only a real channel is
    // silenced on its own: 0xB0 plus 16 would be a program change.
    void takeChannel(bool minusOnePassedAll) {
        if (channelSeen) {
            if (previousChannel == -1 && minusOnePassedAll) {
                for (gmpi::int32 c = 0; c < 16; ++c)
                    sendAllNotesOff(midiOut, c);
            } else if (midi::isMidiChannel(previousChannel)) {
                sendAllNotesOff(midiOut, previousChannel);
            }
        }
        previousChannel = channel;
        channelSeen = true;
    }

    gmpi::MidiInPin midiIn{"MIDI In"};
    gmpi::MidiOutPin midiOut{"MIDI Out"};
    gmpi::IntInPin channel{"Channel"};

  private:
    gmpi::int32 previousChannel = -1;
    bool channelSeen = false;
};

} // namespace zr
