// The wavetable loader: fills the three shared wavetable slots (sine, saw, tri) from ".zrw"
// files chosen by a wave type and a number per slot, in the folder of the file named on its
// File pin, and reports each slot's load on a status pin.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/oscillators/WavetableSlots.h"

namespace zr {

class InitOscZrpm : public gmpi::MpBase {
  public:
    explicit InitOscZrpm(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    // Status values of a slot.
    static constexpr float kStatusLoaded = 1.0f;
    static constexpr float kStatusNotLoaded = 0.000001f;
    // Path capacity in UTF-16 code units, terminator included.
    static constexpr int kMaxPath = 260;

  private:
    struct SlotPins {
        gmpi::IntInPin& type;
        gmpi::IntInPin& number;
        gmpi::FloatOutPin& status;
    };
    SlotPins slotPins(int slot);
    void loadSlot(int slot);
    // Builds the slot's file path into `path`; false when no file can be named.
    bool slotFilePath(int slot, char16_t (&path)[kMaxPath]);

    gmpi::StringInPin fileIn{"File"};
    gmpi::IntInPin spareIn{"Spare"};
    gmpi::IntInPin sineTypeIn{"Sine Slot Type"};
    gmpi::IntInPin sineNumberIn{"Sine Slot Number"};
    gmpi::IntInPin sawTypeIn{"Saw Slot Type"};
    gmpi::IntInPin sawNumberIn{"Saw Slot Number"};
    gmpi::IntInPin triTypeIn{"Tri Slot Type"};
    gmpi::IntInPin triNumberIn{"Tri Slot Number"};
    gmpi::FloatOutPin sineStatusOut{"Sine Slot Status"};
    gmpi::FloatOutPin sawStatusOut{"Saw Slot Status"};
    gmpi::FloatOutPin triStatusOut{"Tri Slot Status"};
    gmpi::AudioOutPin spareAudioOut{"Spare Audio Out"};

    float* tables[wavetables::SlotCount] = {};
    bool loadedOnce = false;
    // Header of the file being checked, shared by the three slots.
    float header[wavetables::kHeaderEntries] = {};
    gmpi::int32 lastType[wavetables::SlotCount] = {-1, -1, -1};
    gmpi::int32 lastNumber[wavetables::SlotCount] = {-1, -1, -1};
};

} // namespace zr
