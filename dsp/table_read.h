// Reading a table between its entries: linear interpolation at a fractional index, and the
// pin-value tables whose entry i stands for the pin value i / 10000 (0.001 V steps).
#pragma once

namespace zr::dsp {

inline constexpr float kEntriesPerPinUnit = 10000.0f;

// t[n] + (t[n + 1] - t[n]) x frac at position x >= 0, n = floor(x). The caller keeps x inside
// the table (NaN-safe clamp first); t[n + 1] must exist, so tables carry a guard entry.
inline float readInterpolated(const float* t, float x) {
    const int n = static_cast<int>(x);
    return t[n] + (t[n + 1] - t[n]) * (x - static_cast<float>(n));
}

// Interpolated read of a pin-value table at pin value v (already clamped to its range).
inline float readAtPinValue(const float* t, float v) {
    return readInterpolated(t, v * kEntriesPerPinUnit);
}

} // namespace zr::dsp
