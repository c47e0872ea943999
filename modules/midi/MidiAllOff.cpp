// "zr midi all off": channel forcing and the all-notes-off on a channel change.
#include "modules/midi/MidiAllOff.h"

#include "framework/mp_factory.h"

namespace zr {

MidiAllOff::MidiAllOff(gmpi::IMpUnknown* host) : ChannelForcingModule(host) {
    initializePin(0, midiIn);
    initializePin(1, midiOut);
    initializePin(2, channel);
}

void MidiAllOff::midiReceived(gmpi::int32, const unsigned char* bytes, gmpi::int32 size) {
    // -1 passes nothing, as does any other setting outside 0..15.
    sendForced(bytes, size);
}

void MidiAllOff::pinsChanged() {
    if (channel.isUpdated()) takeChannel(false);
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"zr midi all off", &gmpi::createAudio<zr::MidiAllOff>);
const gmpi::int32 described = gmpi::catalogDescribe(u"zr midi all off", "MIDI All Off", "ZR/MIDI");
} // namespace
