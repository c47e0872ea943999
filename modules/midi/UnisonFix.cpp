// "VL Unison Fix": slot choice, the note re-mapping and the retune messages it sends.
#include "modules/midi/UnisonFix.h"

#include "framework/mp_factory.h"
#include "modules/midi/MidiHelpers.h"

namespace zr {

namespace {
// Single-note tuning change, real time (sub-ID 2), one key: F0 7F 00 08 02 00 01 key t t t F7.
constexpr unsigned char kSingleNoteHeader[] = {0xF0, 0x7F, 0x00, 0x08, 0x02, 0x00, 0x01};
// The same with a bank (sub-ID 7): F0 7F 00 08 07 00 00 01 key t t t F7.
constexpr unsigned char kBankedHeader[] = {0xF0, 0x7F, 0x00, 0x08, 0x07, 0x00, 0x00, 0x01};
} // namespace

UnisonFix::UnisonFix(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, midiIn);
    initializePin(1, midiOut);
    for (int32 k = 0; k < 128; ++k) {
        slotReleasedAt[k] = 0;
        slotChannel[k] = 0;
        slotNote[k] = k;
        for (int32 c = 0; c < 16; ++c)
            keyMap[c][k] = static_cast<signed char>(k);
    }
}

void UnisonFix::sendNote(unsigned char kind, int32 slot, unsigned char value) {
    const unsigned char message[3] = {kind, static_cast<unsigned char>(slot), value};
    midiOut.send(message, 3);
}

void UnisonFix::sendRetune(const unsigned char* header, int32 headerSize, int32 slot,
                           std::int32_t tuning) {
    unsigned char message[16];
    int32 n = 0;
    for (; n < headerSize; ++n)
        message[n] = header[n];
    // Every byte after the header is a data byte: the semitone is masked too, so an out of range
    // tuning cannot end the message early with a status byte.
    message[n++] = static_cast<unsigned char>(slot);
    message[n++] = static_cast<unsigned char>((tuning >> 14) & 0x7F);
    message[n++] = static_cast<unsigned char>((tuning >> 7) & 0x7F);
    message[n++] = static_cast<unsigned char>(tuning & 0x7F);
    message[n++] = 0xF7;
    midiOut.send(message, n);
}

int32 UnisonFix::leastRecentlyReleased() const {
    int32 best = 0;
    for (int32 s = 1; s < 128; ++s)
        if (slotReleasedAt[s] < slotReleasedAt[best]) best = s; // strict: lowest number on ties
    return best;
}

void UnisonFix::noteOn(int32 c, int32 note, unsigned char velocity) {
    int32 s = keyMap[c][note];
    if (slotNote[s] == note && slotChannel[s] == c) {
        if (slotReleasedAt[s] == kSounding) return; // already sounding
    } else {
        const int32 free = leastRecentlyReleased();
        if (slotReleasedAt[free] != kSounding) s = free; // every slot sounding: s stays
    }
    keyMap[c][note] = static_cast<signed char>(s);
    slotChannel[s] = c;
    if (slotNote[s] != note) {
        slotNote[s] = note;
        sendRetune(kSingleNoteHeader, sizeof kSingleNoteHeader, s, tuning(note));
    }
    sendNote(midi::kNoteOn, s, velocity);
    slotReleasedAt[s] = kSounding;
}

void UnisonFix::noteMessage(unsigned char kind, int32 c, int32 note, unsigned char value) {
    const int32 s = keyMap[c][note];
    if (slotNote[s] != note || slotChannel[s] != c) return; // the note lost its slot
    sendNote(kind, s, value);
    if (kind == midi::kNoteOff) slotReleasedAt[s] = releaseCounter++;
}

void UnisonFix::midiReceived(int32, const unsigned char* bytes, int32 size) {
    if (size <= 0 || !bytes) return;
    const unsigned char status = bytes[0];
    unsigned char kind = midi::kindOf(status);
    const int32 c = midi::channelOf(status);
    const bool noteKind =
        kind == midi::kNoteOn || kind == midi::kNoteOff || kind == midi::kPolyPressure;
    if (noteKind) {
        // Note messages need their key and value bytes; shorter ones are dropped. A key with
        // its high bit set is dropped too: masking it would play another key. A value byte
        // with its high bit set is clamped (see clampVelocity).
        if (size < 3 || !midi::isData(bytes[1])) return;
        const int32 note = bytes[1];
        const unsigned char value = midi::clampVelocity(bytes[2]);
        if (kind == midi::kNoteOn && value == 0) kind = midi::kNoteOff;
        if (kind == midi::kNoteOn)
            noteOn(c, note, value);
        else
            noteMessage(kind, c, note, value);
        return;
    }
    if (kind == midi::kSystem && status == 0xF0 && size > 3 &&
        (bytes[1] == 0x7F || bytes[1] == 0x7E) && bytes[3] == 8)
        parseTuningMessage(blockPosition(), bytes, size);
    midiOut.send(bytes, size);
}

void UnisonFix::tuningChanged(std::int64_t, int key, std::int32_t) {
    for (int32 i = 0; i < 16; ++i) {
        const int32 s = keyMap[i][key];
        if (slotNote[s] == key && slotChannel[s] == i) {
            sendRetune(kBankedHeader, sizeof kBankedHeader, s, tuning(key));
            return;
        }
    }
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"VL Unison Fix", &gmpi::createAudio<zr::UnisonFix>);
const gmpi::int32 described = gmpi::catalogDescribe(u"VL Unison Fix", "Unison Fix", "ZR/MIDI");
} // namespace
