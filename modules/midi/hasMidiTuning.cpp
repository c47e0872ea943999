// The MIDI Tuning Standard parser of `hasMidiTuning`: message layouts by sub-ID, and the
// rules for cut and malformed messages.
#include "modules/midi/hasMidiTuning.h"

namespace zr {

namespace {

constexpr std::int32_t kSubIdAt = 4;

// Sub-IDs of the tuning messages and where their entries start.
constexpr unsigned char kBulkDump = 1;       // 128 entries from byte 22
constexpr unsigned char kSingleNote = 2;     // count at 6, keyed entries from 7
constexpr unsigned char kKeyBasedDump = 4;   // 128 entries from byte 23
constexpr unsigned char kSingleNoteBank = 7; // count at 7, keyed entries from 8
constexpr std::int32_t kBulkDumpFirst = 22;
constexpr std::int32_t kKeyBasedDumpFirst = 23;
constexpr std::int32_t kSingleNoteCountAt = 6;
constexpr std::int32_t kSingleNoteBankCountAt = 7;

bool allData(const unsigned char* p, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i)
        if (p[i] & 0x80) return false;
    return true;
}

std::int32_t tuningValue(const unsigned char* p) {
    return (p[0] * 128 + p[1]) * 128 + p[2];
}

} // namespace

hasMidiTuning::hasMidiTuning() {
    for (int k = 0; k < 128; ++k)
        tunings[k] = k * 16384;
}

std::int32_t hasMidiTuning::tuning(int key) const {
    if (key < 0 || key > 127) return key * 16384;
    return tunings[key];
}

void hasMidiTuning::tuningChanged(std::int64_t, int, std::int32_t) {}

void hasMidiTuning::apply(std::int64_t time, int key, std::int32_t value, bool notify) {
    if (value == kNoChange || tunings[key] == value) return;
    tunings[key] = value;
    if (notify) tuningChanged(time, key, value);
}

// Entries of a cut message are applied up to the last complete one. A byte with its high bit
// set inside an entry is no data byte (most often the F7 that ends a message shorter than it
// claims): the entry is dropped and so is everything after it, since the entries that follow
// can no longer be told apart.
void hasMidiTuning::parseDump(std::int64_t time, const unsigned char* bytes, std::int32_t size,
                              std::int32_t first, bool notify) {
    for (int key = 0; key < 128; ++key) {
        const std::int32_t at = first + key * 3;
        if (at + 3 > size || !allData(bytes + at, 3)) return;
        apply(time, key, tuningValue(bytes + at), notify);
    }
}

void hasMidiTuning::parseKeyed(std::int64_t time, const unsigned char* bytes, std::int32_t size,
                               std::int32_t countAt, bool notify) {
    if (countAt >= size || !allData(bytes + countAt, 1)) return;
    const std::int32_t count = bytes[countAt];
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t at = countAt + 1 + i * 4;
        if (at + 4 > size || !allData(bytes + at, 4)) return;
        apply(time, bytes[at], tuningValue(bytes + at + 1), notify);
    }
}

void hasMidiTuning::parseTuningMessage(std::int64_t time, const unsigned char* bytes,
                                       std::int32_t size) {
    if (!bytes || size <= kSubIdAt) return;
    switch (bytes[kSubIdAt]) {
    case kBulkDump:
        parseDump(time, bytes, size, kBulkDumpFirst, true);
        break;
    case kSingleNote:
        parseKeyed(time, bytes, size, kSingleNoteCountAt, true);
        break;
    case kKeyBasedDump:
        parseDump(time, bytes, size, kKeyBasedDumpFirst, true);
        break;
    case kSingleNoteBank:
        parseKeyed(time, bytes, size, kSingleNoteBankCountAt, false);
        break;
    default:
        break;
    }
}

} // namespace zr
