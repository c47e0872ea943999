// The three wavetable slots that the table loader fills and every oscillator reads: their
// shared-memory names, sizes and layout, and the wavetable file (".zrw") that fills them.
// A slot is one block of single-precision floats shared by all module instances.
#pragma once

#include <cstdint>

namespace zr::wavetables {

// One cycle per zone, one zone per 1/6 volt of pitch.
inline constexpr std::int32_t kZoneLength = 2048;
inline constexpr std::int32_t kZoneCount = 60;
// Entries 0-7 hold the header of the file last loaded; 8-4359 are loaded but never played.
inline constexpr std::int32_t kHeaderEntries = 8;
inline constexpr std::int32_t kZoneStart = 4360;
// Entries a file can fill: header, unused area and the 60 zones (508960 bytes).
inline constexpr std::int32_t kFileEntries = kZoneStart + kZoneCount * kZoneLength;
// A slot adds 16 spare entries; interpolation at the end of zone 59 reads the first two.
inline constexpr std::int32_t kSlotEntries = kFileEntries + 16;
inline constexpr std::int32_t kSlotBytes = kSlotEntries * 4;
inline constexpr std::int32_t kFileBytes = kFileEntries * 4;
// Header entry 3, truncated toward zero, must equal this.
inline constexpr std::int32_t kFormatEntry = 3;
inline constexpr float kFormatValue = 2.0f;
// Slots do not depend on the sample rate.
inline constexpr float kSlotSampleRate = -1.0f;

static_assert(kFileEntries == 127240 && kSlotEntries == 127256 && kSlotBytes == 509024);

enum Slot : std::int32_t { SineSlot = 0, SawSlot = 1, TriSlot = 2, SlotCount = 3 };

// Shared-memory names, indexed by Slot.
inline constexpr const char16_t* kSlotNames[SlotCount] = {
    u"QORV_OSC-ZRPM-sine", u"QORV_OSC-ZRPM-saw", u"QORV_OSC-ZRPM-tri"};

// Wave types a slot can be loaded with, and the file-name stem of each: the loader names the
// file "/osc-<stem>-<number>.zrw" in the folder of the file it was given.
inline constexpr std::int32_t kWaveTypeCount = 5;
inline constexpr const char16_t* kWaveTypeStems[kWaveTypeCount] = {u"sine", u"tri", u"saw", u"sqr",
                                                                   u"free"};

// Header entry 3 read as the format: truncation toward zero equals 2, i.e. the value lies in
// [2, 3). Written as a range test so that NaN and huge values are refused without an
// undefined conversion.
inline bool hasValidFormat(float entry3) {
    return entry3 >= 2.0f && entry3 < 3.0f;
}

// Zero-filled stand-in for a slot the host could not provide, so that a reader never needs a
// null test in its sample loop. Never written.
inline const float* silentSlot() {
    static float zeros[kSlotEntries] = {};
    return zeros;
}

} // namespace zr::wavetables
