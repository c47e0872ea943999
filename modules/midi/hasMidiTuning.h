// `hasMidiTuning`: a mix-in holding one tuning per MIDI key (semitone in bits 14 and up, a
// 14-bit fraction of a semitone below) and the MIDI Tuning Standard parser that updates it
// from bulk dumps and single-note tuning changes.
#pragma once

#include <cstdint>

namespace zr {

class hasMidiTuning {
  public:
    hasMidiTuning();
    virtual ~hasMidiTuning() = default;

    // Key 0..127; any other key reads as untuned (key x 16384), never outside the table.
    std::int32_t tuning(int key) const;

    // Updates the table from a MIDI Tuning Standard message of `size` bytes (F0 ... F7). Only
    // complete entries are applied; nothing past `size` is read.
    void parseTuningMessage(std::int64_t time, const unsigned char* bytes, std::int32_t size);

    // A tuning value meaning "leave this key as it is".
    static constexpr std::int32_t kNoChange = 0x1FFFFF;

  protected:
    // Called for each key that a bulk dump (sub-IDs 1, 4) or a real-time single-note change
    // (sub-ID 2) changed; a banked single-note change (sub-ID 7) updates silently.
    virtual void tuningChanged(std::int64_t time, int key, std::int32_t tuning);

  private:
    void apply(std::int64_t time, int key, std::int32_t value, bool notify);
    void parseDump(std::int64_t time, const unsigned char* bytes, std::int32_t size,
                   std::int32_t first, bool notify);
    void parseKeyed(std::int64_t time, const unsigned char* bytes, std::int32_t size,
                    std::int32_t countAt, bool notify);

    std::int32_t tunings[128];
};

} // namespace zr
