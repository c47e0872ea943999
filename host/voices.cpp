// Voice allocation of a voice group: choosing, starting, releasing and stealing voices.
#include "host/voices.h"

#include <algorithm>

namespace zrhost {

VoiceAllocator::VoiceAllocator(int voices, std::int64_t stealGapFrames)
    : voices_(static_cast<std::size_t>(std::max(voices, 0))),
      stealGap_(std::max<std::int64_t>(stealGapFrames, 0)) {}

// The voice for a new note: the lowest unused one, else the least recently released, else -1
// (every voice holds a key).
int VoiceAllocator::choose() {
    int best = -1;
    for (std::size_t i = 0; i < voices_.size(); ++i) {
        const Voice& v = voices_[i];
        if (v.state == State::Unused) return static_cast<int>(i);
        if (v.state == State::Released &&
            (best < 0 || v.order < voices_[static_cast<std::size_t>(best)].order))
            best = static_cast<int>(i);
    }
    return best;
}

void VoiceAllocator::start(int v, std::int64_t frame, int channel, int key, int velocity,
                           std::vector<VoiceAction>& out) {
    Voice& voice = voices_[static_cast<std::size_t>(v)];
    voice.state = State::Held;
    voice.channel = channel;
    voice.key = key;
    voice.startFrame = frame;
    voice.order = counter_++;
    // Pitch and velocity first, so that a module reading them when its gate opens sees the
    // new note's values (they share the frame, hence the module's event group).
    out.push_back({frame, v, VoiceSource::Pitch, pitchOf(key)});
    out.push_back({frame, v, VoiceSource::Velocity, static_cast<float>(velocity) / 127.0f});
    out.push_back({frame, v, VoiceSource::Gate, 1.0f});
    out.push_back({frame, v, VoiceSource::Active, 1.0f});
}

void VoiceAllocator::release(int v, std::int64_t frame, std::vector<VoiceAction>& out) {
    Voice& voice = voices_[static_cast<std::size_t>(v)];
    // A note released before its stolen voice was handed over ends when it starts, one frame on.
    const std::int64_t at = std::max(frame, voice.startFrame + (voice.startFrame > frame));
    voice.state = State::Released;
    voice.order = counter_++;
    out.push_back({at, v, VoiceSource::Gate, 0.0f});
    out.push_back({at, v, VoiceSource::Active, 0.0f});
}

void VoiceAllocator::midi(std::int64_t frame, const std::uint8_t* bytes, int size,
                          std::vector<VoiceAction>& out) {
    if (!bytes || size < 3 || bytes[0] < 0x80 || bytes[0] >= 0xF0 || bytes[1] > 127 ||
        bytes[2] > 127)
        return;
    const int kind = bytes[0] & 0xF0, channel = bytes[0] & 0x0F;
    const int key = bytes[1], value = bytes[2];
    if (kind == 0xB0 && (key == 120 || key == 123)) {
        for (std::size_t i = 0; i < voices_.size(); ++i)
            if (voices_[i].state == State::Held && voices_[i].channel == channel)
                release(static_cast<int>(i), frame, out);
        return;
    }
    if (kind == 0x80 || (kind == 0x90 && value == 0)) {
        for (std::size_t i = 0; i < voices_.size(); ++i) {
            const Voice& v = voices_[i];
            if (v.state == State::Held && v.channel == channel && v.key == key) {
                release(static_cast<int>(i), frame, out);
                return;
            }
        }
        return;
    }
    if (kind != 0x90 || voices_.empty()) return;
    int v = choose();
    if (v >= 0) {
        start(v, frame, channel, key, value, out);
        return;
    }
    // Every voice holds a key: the oldest note is stolen.
    v = 0;
    for (std::size_t i = 1; i < voices_.size(); ++i)
        if (voices_[i].order < voices_[static_cast<std::size_t>(v)].order) v = static_cast<int>(i);
    out.push_back({frame, v, VoiceSource::Gate, 0.0f});
    out.push_back({frame, v, VoiceSource::Active, -1.0f});
    start(v, frame + stealGap_, channel, key, value, out);
}

} // namespace zrhost
