// Small helpers shared by the MIDI and voice modules: MIDI status and data byte names, the
// checks every MIDI hook makes before it reads a byte, and the host sample rate with a sane
// fallback. Generic enough to move into the shared DSP layer.
#pragma once

#include "framework/mp_base.h"

#include <cmath>
#include <cstdint>

namespace zr::midi {

using gmpi::int32;

constexpr unsigned char kNoteOff = 0x80;
constexpr unsigned char kNoteOn = 0x90;
constexpr unsigned char kPolyPressure = 0xA0;
constexpr unsigned char kControlChange = 0xB0;
constexpr unsigned char kSystem = 0xF0;
constexpr unsigned char kAllNotesOff = 123; // controller number

inline unsigned char kindOf(unsigned char status) {
    return static_cast<unsigned char>(status & 0xF0);
}
inline int32 channelOf(unsigned char status) {
    return status & 0x0F;
}
inline bool isStatus(unsigned char b) {
    return (b & 0x80) != 0;
}
inline bool isData(unsigned char b) {
    return (b & 0x80) == 0;
}
// A channel voice status (0x80..0xEF) carries a channel in its low four bits; system
// messages (0xF0..0xFF) and data bytes do not.
inline bool isChannelStatus(unsigned char b) {
    return b >= 0x80 && b < 0xF0;
}
inline bool isMidiChannel(int32 channel) {
    return channel >= 0 && channel <= 15;
}
// A velocity byte with its high bit set is no data byte; it is clamped to the loudest value
// rather than masked, so that a note-on never turns into a note-off (0x80 masks to 0) and a
// note-off still releases its note.
inline unsigned char clampVelocity(unsigned char v) {
    return v > 0x7F ? static_cast<unsigned char>(0x7F) : v;
}

// The host's sample rate; a missing, non-finite or non-positive rate falls back to 44.1 kHz,
// and rates above 768 kHz are held there so that rate-sized tables stay bounded.
inline float hostSampleRate(gmpi::AudioHost* host) {
    float sampleRate = 44100.0f;
    if (host) host->getSampleRate(sampleRate);
    if (!(sampleRate > 0.0f) || !std::isfinite(sampleRate)) sampleRate = 44100.0f;
    if (sampleRate > 768000.0f) sampleRate = 768000.0f;
    return sampleRate;
}

} // namespace zr::midi
