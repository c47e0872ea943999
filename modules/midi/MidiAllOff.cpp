// "zr midi all off": channel forcing and the all-notes-off on a channel change.
#include "modules/midi/MidiAllOff.h"

#include "framework/mp_factory.h"
#include "modules/midi/MidiHelpers.h"

#include <algorithm>

namespace zr {

namespace {
// Longest message rewritten in place on the stack; longer ones (SysEx) are never rewritten.
constexpr int32 kShortMessage = 3;
} // namespace

void sendOnChannel(gmpi::MidiOutPin& out, const unsigned char* bytes, int32 size, int32 channel) {
    if (size <= 0 || !bytes) return;
    if (!midi::isChannelStatus(bytes[0])) {
        out.send(bytes, size);
        return;
    }
    unsigned char message[kShortMessage];
    const int32 n = std::min(size, kShortMessage);
    std::copy(bytes, bytes + n, message);
    message[0] = static_cast<unsigned char>((bytes[0] & 0xF0) + channel);
    // Channel messages are at most three bytes; anything after them is not part of the message.
    out.send(message, n);
}

void sendAllNotesOff(gmpi::MidiOutPin& out, int32 channel) {
    const unsigned char message[3] = {static_cast<unsigned char>(midi::kControlChange + channel),
                                      midi::kAllNotesOff, 0};
    out.send(message, 3);
}

MidiAllOff::MidiAllOff(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, midiIn);
    initializePin(1, midiOut);
    initializePin(2, channel);
}

void MidiAllOff::midiReceived(int32, const unsigned char* bytes, int32 size) {
    // -1 passes nothing. A channel outside 0..15 names no MIDI channel: adding it to the status
    // would change the message kind (a note-off plus 16 is a note-on), so it passes nothing too.
    if (!midi::isMidiChannel(channel)) return;
    sendOnChannel(midiOut, bytes, size, channel);
}

void MidiAllOff::pinsChanged() {
    if (!channel.isUpdated()) return;
    // Only a real channel can be silenced: 0xB0 plus 16 would be a program change.
    if (channelSeen && midi::isMidiChannel(previousChannel))
        sendAllNotesOff(midiOut, previousChannel);
    previousChannel = channel;
    channelSeen = true;
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"zr midi all off", &gmpi::createAudio<zr::MidiAllOff>);
const gmpi::int32 described = gmpi::catalogDescribe(u"zr midi all off", "MIDI All Off", "ZR/MIDI");
} // namespace
