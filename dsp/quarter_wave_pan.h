// Equal-power panning from two quarter-wave tables shared by every instance: entry i of the
// sine table is sin(i / 10000 x pi / 2) + 0.0000001, of the cosine table the cosine. A pan
// position 0..1 reads both at position x 10000 with linear interpolation, so the gains cost
// two table reads when the position changes and no trigonometry at run time.
#pragma once

#include "dsp/clamp.h"
#include "dsp/pan.h"
#include "dsp/shared_table.h"
#include "dsp/table_read.h"

#include <cmath>

namespace zr::dsp {

inline constexpr gmpi::int32 kQuarterWaveEntries = 10001;

struct QuarterWaveTables {
    const float* sine = nullptr;
    const float* cosine = nullptr;
    explicit operator bool() const { return sine && cosine; }
};

// Entry i of both tables. The 0.0000001 keeps the far side just above silence.
inline void fillQuarterWave(float* sine, float* cosine) {
    for (int i = 0; i < kQuarterWaveEntries; ++i) {
        const double x = i * 0.0001 * 3.1415927 * 0.5;
        sine[i] = static_cast<float>(std::sin(x) + 0.0000001);
        cosine[i] = static_cast<float>(std::cos(x) + 0.0000001);
    }
}

// Requests the pair (sample-rate argument -1: one pair for every rate); both tables are filled
// by the instance that got the cosine table new. Null tables when the host has none.
inline QuarterWaveTables requestQuarterWave(gmpi::AudioHost* host, const char16_t* sineName,
                                            const char16_t* cosineName) {
    const SharedTable s = SharedTable::request(host, sineName, -1.0f, kQuarterWaveEntries);
    const SharedTable c = SharedTable::request(host, cosineName, -1.0f, kQuarterWaveEntries);
    if (!s || !c) return {};
    if (c.isNew) {
        fillQuarterWave(s.data, c.data);
        s.setGuard();
        c.setGuard();
    }
    return {s.data, c.data};
}

// Gains for pan position 0 (all left, the cosine side) .. 1 (all right, the sine side); the
// position is held to 0..1, NaN to 0.
inline PanGains quarterWaveGains(const QuarterWaveTables& t, float position) {
    // One index and fraction for both reads (as readAtPinValue computes them).
    const float x = clampNanToLow(position, 0.0f, 1.0f) * kEntriesPerPinUnit;
    const int n = static_cast<int>(x);
    const float frac = x - static_cast<float>(n);
    return {t.cosine[n] + (t.cosine[n + 1] - t.cosine[n]) * frac,
            t.sine[n] + (t.sine[n + 1] - t.sine[n]) * frac};
}

} // namespace zr::dsp
