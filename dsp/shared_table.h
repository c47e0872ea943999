// Tables shared by every instance of a module: the host keeps one block per name and sample
// rate (rate -1 for tables that do not depend on it) and says whether the block is new. The
// first instance fills it; the others read what it wrote. Request in open(), never per block.
//
//   SharedTable t = SharedTable::request(getHost(), u"ZR_my-table", rate, kEntries);
//   if (!t) ...                      // no table: the module must fall back (silence, a line)
//   t.fillIfNew([&](float* e) { for (int i = 0; i < kEntries; ++i) e[i] = formula(i); });
#pragma once

#include "framework/mp_interfaces.h"

namespace zr::dsp {

// `count` floats shared under (name, sampleRate), or null when the host has none to give.
// `isNew` tells whether this caller must fill the block (host memory is not zeroed).
inline float* requestSharedFloats(gmpi::AudioHost* host, const char16_t* name, float sampleRate,
                                  gmpi::int32 count, bool& isNew) {
    isNew = false;
    if (!host) return nullptr;
    void* block = nullptr;
    gmpi::int32 needInitialise = 0;
    const gmpi::int32 bytes = static_cast<gmpi::int32>(sizeof(float)) * count;
    if (host->allocateSharedMemory(name, &block, sampleRate, bytes, needInitialise) !=
        gmpi::ResultOk)
        return nullptr;
    isNew = block && needInitialise != 0;
    return static_cast<float*>(block);
}

// A table of `entries` values and one guard entry after them. An interpolating read at the
// very top reads the guard with weight 0; the guard repeats the last value so that even that
// read never touches memory nobody wrote (0 x NaN is NaN).
struct SharedTable {
    float* data = nullptr;
    gmpi::int32 entries = 0;
    bool isNew = false;

    static SharedTable request(gmpi::AudioHost* host, const char16_t* name, float sampleRate,
                               gmpi::int32 entries) {
        SharedTable t;
        t.entries = entries;
        t.data = requestSharedFloats(host, name, sampleRate, entries + 1, t.isNew);
        return t;
    }

    explicit operator bool() const { return data != nullptr; }

    // Copies the last entry into the guard; call after filling.
    void setGuard() const { data[entries] = data[entries - 1]; }

    // Runs fill(data) and sets the guard, only when this instance got the block new.
    template <class Fill>
    void fillIfNew(Fill&& fill) const {
        if (!data || !isNew) return;
        fill(data);
        setGuard();
    }
};

} // namespace zr::dsp
