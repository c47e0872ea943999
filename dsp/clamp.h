// Clamping that never lets NaN through: every block that turns a signal into a table index or
// a coefficient clamps with this, so that a NaN input lands on a defined value.
#pragma once

namespace zr::dsp {

// Holds v to lo..hi; NaN gives lo (the first comparison fails for NaN). Written as two
// selects in this order because the modules' outputs depend on exactly these comparisons.
template <class T>
inline T clampNanToLow(T v, T lo, T hi) {
    v = v > lo ? v : lo;
    return v < hi ? v : hi;
}

// The smaller of a and b, or the one that is not NaN: std::fmin's result (b when they compare
// equal, as the common x86 implementation gives), without the library call that would
// otherwise sit in the middle of a per-sample coefficient update.
template <class T>
inline T minNum(T a, T b) {
    return a < b ? a : (b != b ? a : b);
}

} // namespace zr::dsp
