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

// Points each of `tables` (in slot order, sine first) at its shared slot. A host that cannot
// share a slot leaves that table reading silence.
inline void attachSlots(gmpi::AudioHost* host, const float** const (&tables)[SlotCount]) {
    for (int slot = 0; slot < SlotCount; ++slot) {
        const float* block = requestSlot(host, static_cast<Slot>(slot));
        *tables[slot] = block ? block : silentSlot();
    }
}

} // namespace zr::wavetables
