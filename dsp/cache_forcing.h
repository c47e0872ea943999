// Forcing a recomputation. Modules keep the control value their coefficients were computed
// from and recompute only when the incoming sample differs from it; to force the next sample
// to recompute, the cache is set to a value that differs from the pin's current value.
#pragma once

#include <limits>

namespace zr::dsp {

// A cache value that compares unequal to `pinValue`: pinValue + offset where that changes the
// value, else NaN, which compares unequal to everything. The offset only matters for
// reproducing a module's history bit for bit; any small positive one works. Adding alone is
// not enough: from a magnitude of 32 on, + 0.000001 leaves a float unchanged.
inline float forcedCacheValue(float pinValue, float offset) {
    const float c = pinValue + offset;
    return c != pinValue ? c : std::numeric_limits<float>::quiet_NaN();
}

} // namespace zr::dsp
