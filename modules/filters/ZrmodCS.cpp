// "ZR-MOD CS": the limiter's slot table, its resets, the allocator and copy modes.
#include "modules/filters/ZrmodCS.h"

#include "framework/mp_factory.h"
#include "modules/midi/MidiHelpers.h"

namespace zr {

using namespace midi;

ZrmodCS::ZrmodCS(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, midiIn);
    initializePin(1, midiOutA);
    initializePin(2, processMode);
    initializePin(3, voicesPin);
    initializePin(4, rotate);
    initializePin(5, stealMode);
    initializePin(6, param6);
    initializePin(7, param7);
    initializePin(8, on);
    initializePin(9, channel);
    initializePin(10, midiOutB);
    initializePin(11, rangeALow);
    initializePin(12, rangeAHigh);
    initializePin(13, rangeBLow);
    initializePin(14, rangeBHigh);
    for (int32 i = 0; i < kSlots; ++i)
        clearSlot(i);
}

// The tables hold eight voices: more are limited to eight, none or fewer than none to zero
// (every note of range A is then dropped).
int32 ZrmodCS::voices() const {
    const int32 n = voicesPin;
    return n < 0 ? 0 : n > kSlots ? kSlots : n;
}

// A range whose low end lies above its high end holds no note; ends outside 0..127 simply
// widen the range to the notes that exist.
bool ZrmodCS::inRangeA(int32 note) const {
    return note >= rangeALow && note <= rangeAHigh;
}
bool ZrmodCS::inRangeB(int32 note) const {
    return note >= rangeBLow && note <= rangeBHigh;
}

void ZrmodCS::clearSlot(int32 i) {
    slots[i] = Slot{};
    slots[i].order = i;
}

void ZrmodCS::sendA(unsigned char status, int32 note, unsigned char value) {
    const unsigned char m[3] = {status, static_cast<unsigned char>(note), value};
    midiOutA.send(m, 3);
}

void ZrmodCS::sendB(unsigned char status, int32 note, unsigned char value) {
    const unsigned char m[3] = {status, static_cast<unsigned char>(note), value};
    midiOutB.send(m, 3);
}

void ZrmodCS::pinsChanged() {
    const bool control = processMode.isUpdated() || voicesPin.isUpdated() || rotate.isUpdated() ||
                         stealMode.isUpdated() || param6.isUpdated() || param7.isUpdated() ||
                         channel.isUpdated();
    const bool switchedOff = on.isUpdated() && on == 0;
    const bool ranges = rangeALow.isUpdated() || rangeAHigh.isUpdated() || rangeBLow.isUpdated() ||
                        rangeBHigh.isUpdated();
    if (control || switchedOff || ranges) resetPending = true;
    if (resetPending) reset();
}

// Silences what may still sound and empties the limiter. Channel 1 is silenced on both outputs
// as always after the first reset; so is every other channel that carried a note-on on that
// output since the last reset, since a setting change (the accepted channel, the mode) can
// leave notes there that no later note-off would reach. That includes the first reset: notes
// that arrived in the same event group as the first settings were sent before it.
void ZrmodCS::reset() {
    if (resetBefore || channelsUsedA || channelsUsedB) {
        const unsigned first = resetBefore ? 1u : 0u;
        const unsigned usedA = channelsUsedA | first, usedB = channelsUsedB | first;
        for (int32 c = 0; c < 16; ++c)
            if (usedA & (1u << c))
                sendA(static_cast<unsigned char>(kControlChange + c), kAllNotesOff, 0);
        for (int32 c = 0; c < 16; ++c)
            if (usedB & (1u << c))
                sendB(static_cast<unsigned char>(kControlChange + c), kAllNotesOff, 0);
    }
    for (int32 i = 0; i < kSlots; ++i)
        clearSlot(i);
    rotationStart = 0;
    chosen = 0;
    lastAge = 0;
    resetPending = false;
    resetBefore = true;
    channelsUsedA = 0;
    channelsUsedB = 0;
}

void ZrmodCS::midiReceived(int32, const unsigned char* bytes, int32 size) {
    if (!bytes || size <= 0 || size >= 4 || on != 1) return;
    const unsigned char status = bytes[0];
    // Stray data bytes (a running status) and system messages carry no channel and no note.
    if (!isChannelStatus(status)) return;
    const int32 c = channelOf(status);
    if (channel != -1 && c != channel) return;
    // Every message handled here has a key (or controller) byte and a value byte. A key with its
    // high bit set is dropped, never masked into another key; a value is clamped.
    if (size < 3 || !isData(bytes[1])) return;
    const int32 note = bytes[1];
    const unsigned char kind = kindOf(status);
    const unsigned char value = clampVelocity(bytes[2]);
    if (kind == kControlChange && note == kAllNotesOff) {
        allNotesOff(c);
        return;
    }
    if (processMode == 1) {
        if (kind == kNoteOff || kind == kNoteOn) {
            const unsigned char m[3] = {status, bytes[1], value};
            copyNote(m);
        }
        return;
    }
    if (processMode != 0) return;
    if (kind == kNoteOn && value > 0)
        noteOn(c, note, value);
    else if (kind == kNoteOn || kind == kNoteOff)
        release(c, note, kind, value);
}

void ZrmodCS::release(int32 c, int32 note, unsigned char kind, unsigned char velocity) {
    const auto status = static_cast<unsigned char>(kind + c);
    if (inRangeB(note)) sendB(status, note, velocity);
    if (!inRangeA(note)) return;
    // The slot must hold this note on this channel: with every channel accepted, a note-off on
    // another channel would otherwise free a slot whose note then never hears its release.
    const int32 n = voices();
    for (int32 i = 0; i < n; ++i) {
        Slot& s = slots[i];
        if (s.busy == 1 && s.note == note && s.channel == c) {
            sendA(status, note, velocity);
            s.busy = 0;
            s.note = -1;
            return;
        }
    }
}

void ZrmodCS::noteOn(int32 c, int32 note, unsigned char velocity) {
    if (inRangeB(note)) {
        sendB(static_cast<unsigned char>(kNoteOn + c), note, velocity);
        channelsUsedB |= 1u << c;
    }
    if (inRangeA(note)) allocate(c, note, velocity);
}

// Releases go out on the channel of the stolen note, where it sounds.
void ZrmodCS::steal(int32 busyCount, int32 n) {
    if (busyCount < n) return;
    const int32 mode = stealMode;
    if (mode != 1 && mode != 2) return;
    for (int32 i = 0; i < n; ++i) {
        Slot& s = slots[i];
        const bool victim = mode == 2 ? s.age >= n : s.age == 1;
        if (!victim) continue;
        sendA(static_cast<unsigned char>(kNoteOn + s.channel), s.note, 0);
        s.busy = 0;
        s.note = -1;
    }
}

void ZrmodCS::allocate(int32 c, int32 note, unsigned char velocity) {
    const int32 n = voices();
    int32 b = 0;
    for (int32 i = 0; i < n; ++i)
        b += slots[i].busy;
    steal(b, n);
    if (rotate == 0) rotationStart = 0;
    if (rotationStart > n - 1) rotationStart = 0;
    int32 pick = -1;
    for (int32 i = 0; i < n && pick < 0; ++i)
        if (slots[i].busy == 0) pick = i;
    if (pick < 0) return; // no voice free: the note is dropped
    for (int32 j = rotationStart; j < n; ++j) {
        if (slots[j].busy == 0 && slots[j].order >= rotationStart) {
            pick = j;
            break;
        }
    }
    chosen = pick;
    Slot& s = slots[chosen];
    sendA(static_cast<unsigned char>(kNoteOn + c), note, velocity);
    channelsUsedA |= 1u << c;
    s.note = note;
    s.busy = 1;
    s.channel = c;
    lastAge = b + 1 < n ? b + 1 : n;
    s.age = lastAge;
    // Stealing the oldest: every other voice grows one step older and the new one is the
    // newest. Ageing the new voice as well would give it the age of the voice before it, and
    // one later note-on would then release both.
    if (b == n && stealMode == 1) {
        for (int32 i = 0; i < n; ++i)
            if (i != chosen) --slots[i].age;
    }
    if (rotate == 1) rotationStart = chosen + 1;
}

void ZrmodCS::copyNote(const unsigned char* m) {
    const int32 copies = voices() < 3 ? voices() : 3;
    const unsigned char kind = kindOf(m[0]);
    const bool sounding = kind == kNoteOn && m[2] > 0;
    for (int32 j = 0; j < copies; ++j) {
        sendA(static_cast<unsigned char>(kind + j), m[1], m[2]);
        if (sounding) channelsUsedA |= 1u << j;
    }
    midiOutB.send(m, 3);
    if (sounding) channelsUsedB |= 1u << channelOf(m[0]);
}

// Controller 123 on channel c silences that channel on both outputs and frees its voices: all
// eight slots are cleared (not only the first six), except slots holding a note of another
// channel, which still sounds and still needs its own release.
void ZrmodCS::allNotesOff(int32 c) {
    sendA(static_cast<unsigned char>(kControlChange + c), kAllNotesOff, 0);
    sendB(static_cast<unsigned char>(kControlChange + c), kAllNotesOff, 0);
    for (int32 i = 0; i < kSlots; ++i)
        if (slots[i].busy == 0 || slots[i].channel == c) clearSlot(i);
    chosen = 0;
    rotationStart = 0;
    lastAge = 0;
    resetPending = false;
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR-MOD CS", &gmpi::createAudio<zr::ZrmodCS>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR-MOD CS", "ZR Key Split and Voice Limiter", "ZR/MIDI");
} // namespace
