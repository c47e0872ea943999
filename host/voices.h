// The host's voice allocation for a voice group: turns the note messages of a MIDI stream into
// per-voice source changes (gate, pitch, velocity, activity) at sample frames. A free voice is
// one never used or released; among released voices the least recently released is reused.
// When every voice holds a key, the oldest note is stolen: its activity goes below 0 at once
// (a fast fade) and the new note starts on it one steal gap later.
//
// Threads: one thread. Plain state, no allocation beyond the caller's action list.
#pragma once

#include "host/patch.h"

#include <cstdint>
#include <vector>

namespace zrhost {

struct VoiceAction {
    std::int64_t frame = 0;
    int voice = 0;
    VoiceSource source = VoiceSource::Gate;
    float value = 0.0f;
};

class VoiceAllocator {
  public:
    VoiceAllocator(int voices, std::int64_t stealGapFrames);

    // A MIDI message at `frame` (non-decreasing from call to call). Appends the resulting
    // actions to `out`. Messages other than note-on, note-off and controllers 120/123 (all
    // sound/notes off), and messages too short or with data bytes above 127, do nothing.
    void midi(std::int64_t frame, const std::uint8_t* bytes, int size,
              std::vector<VoiceAction>& out);

    // Pitch source value of a key: 1 V per octave, 0.5 (5 V) at key 69.
    static float pitchOf(int key) { return 0.5f + static_cast<float>(key - 69) / 120.0f; }

  private:
    enum class State { Unused, Held, Released };
    struct Voice {
        State state = State::Unused;
        int channel = -1;
        int key = -1;
        std::int64_t startFrame = 0; // when its current note starts sounding
        std::int64_t order = 0;      // note-on order (held) or release order (released)
    };

    int choose();
    void start(int v, std::int64_t frame, int channel, int key, int velocity,
               std::vector<VoiceAction>& out);
    void release(int v, std::int64_t frame, std::vector<VoiceAction>& out);

    std::vector<Voice> voices_;
    std::int64_t stealGap_;
    std::int64_t counter_ = 0;
};

} // namespace zrhost
