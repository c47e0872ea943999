// "zr midi on off": gated pass with optional channel forcing, and the all-notes-off for the
// channel(s) that were passing when the gate closes or the channel changes.
#include "modules/midi/MidiOnOff.h"

#include "framework/mp_factory.h"
#include "modules/midi/MidiAllOff.h"
#include "modules/midi/MidiHelpers.h"

namespace zr {

MidiOnOff::MidiOnOff(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, midiIn);
    initializePin(1, midiOut);
    initializePin(2, channel);
    initializePin(3, gate);
}

void MidiOnOff::midiReceived(int32, const unsigned char* bytes, int32 size) {
    if (gate != 1 || size <= 0 || !bytes) return;
    if (channel == -1) {
        midiOut.send(bytes, size);
        return;
    }
    // As in "zr midi all off": a channel outside 0..15 would change the message kind, so such a
    // setting passes nothing.
    if (!midi::isMidiChannel(channel)) return;
    sendOnChannel(midiOut, bytes, size, channel);
}

void MidiOnOff::pinsChanged() {
    if (!channel.isUpdated() && !(gate.isUpdated() && gate == 0)) return;
    if (channelSeen) {
        if (previousChannel == -1) {
            for (int32 c = 0; c < 16; ++c)
                sendAllNotesOff(midiOut, c);
        } else if (midi::isMidiChannel(previousChannel)) {
            sendAllNotesOff(midiOut, previousChannel);
        }
    }
    previousChannel = channel;
    channelSeen = true;
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"zr midi on off", &gmpi::createAudio<zr::MidiOnOff>);
const gmpi::int32 described = gmpi::catalogDescribe(u"zr midi on off", "MIDI On Off", "ZR/MIDI");
} // namespace
