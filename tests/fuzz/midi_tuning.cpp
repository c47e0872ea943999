// Fuzz target for the MIDI Tuning Standard parser: the input is split into messages at each
// F0 byte and fed in turn to one tuning table. Whatever arrives, every key's tuning must stay
// within what a message can set (a semitone 0..127 with a 14-bit fraction) and reads past the
// table must stay untuned.
#include "modules/midi/hasMidiTuning.h"

#include <cstdlib>

namespace {

class Table final : public zr::hasMidiTuning {
  protected:
    void tuningChanged(std::int64_t, int key, std::int32_t tuning) override {
        if (key < 0 || key > 127 || tuning < 0 || tuning >= (128 << 14)) std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Table table;
    std::size_t start = 0;
    while (start < size) {
        std::size_t end = start + 1;
        while (end < size && data[end] != 0xF0)
            ++end;
        table.parseTuningMessage(static_cast<std::int64_t>(start), data + start,
                                 static_cast<std::int32_t>(end - start));
        start = end;
    }
    for (int key = -1; key <= 128; ++key) {
        const std::int32_t t = table.tuning(key);
        if (key < 0 || key > 127) {
            if (t != key * 16384) std::abort();
        } else if (t < 0 || t >= (128 << 14)) {
            std::abort();
        }
    }
    return 0;
}
