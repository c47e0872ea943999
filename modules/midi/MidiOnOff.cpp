// "zr midi on off": gated pass with optional channel forcing, and the all-notes-off for the
// channel(s) that were passing when the gate closes or the channel changes.
#include "modules/midi/MidiOnOff.h"

#include "framework/mp_factory.h"

namespace zr {

MidiOnOff::MidiOnOff(gmpi::IMpUnknown* host) : ChannelForcingModule(host) {
    initializePin(0, midiIn);
    initializePin(1, midiOut);
    initializePin(2, channel);
    initializePin(3, gate);
}

void MidiOnOff::midiReceived(gmpi::int32, const unsigned char* bytes, gmpi::int32 size) {
    if (gate != 1 || size <= 0 || !bytes) return;
    if (channel == -1) {
        midiOut.send(bytes, size);
        return;
    }
    sendForced(bytes, size);
}

void MidiOnOff::pinsChanged() {
    // Channel -1 passed every channel, so closing the gate or leaving -1 silences all 16.
    if (channel.isUpdated() || (gate.isUpdated() && gate == 0)) takeChannel(true);
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"zr midi on off", &gmpi::createAudio<zr::MidiOnOff>);
const gmpi::int32 described = gmpi::catalogDescribe(u"zr midi on off", "MIDI On Off", "ZR/MIDI");
} // namespace
