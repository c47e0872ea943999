// Requesting the three wavetable slots from the host: the loader fills them, the oscillators
// read them. Kept apart from Wavetables.h, which the wavetable tools include without the
// plug-in framework.
#pragma once

#include "dsp/shared_table.h"
#include "modules/oscillators/Wavetables.h"

namespace zr::wavetables {

// The shared block of `slot`, or null when the host cannot share it. Slots are filled from
// files only, never from the "new block" answer.
inline float* requestSlot(gmpi::AudioHost* host, Slot slot) {
    bool isNew = false;
    return dsp::requestSharedFloats(host, kSlotNames[slot], kSlotSampleRate, kSlotEntries, isNew);
}

} // namespace zr::wavetables
