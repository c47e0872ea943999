// Four samples side by side: a float and an int vector of four lanes, and the table reads of
// dsp/table_read.h on four positions at once. Each lane goes through the scalar read's
// operations in the same order (no fused multiply-add), so each lane's result equals the
// scalar one bit for bit.
#pragma once

#include "dsp/clamp.h"
#include "dsp/table_read.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zr::dsp {

using Float4 = float __attribute__((vector_size(16)));
using Int4 = std::int32_t __attribute__((vector_size(16)));
using UInt4 = std::uint32_t __attribute__((vector_size(16)));

inline Float4 load4(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store4(float* p, Float4 v) {
    std::memcpy(p, &v, sizeof v);
}

inline Float4 splat4(float v) {
    return Float4{v, v, v, v};
}

inline Int4 splat4(std::int32_t v) {
    return Int4{v, v, v, v};
}

// clampNanToLow on four lanes. Its two selects are exactly the processor's max and min
// (each returns its second operand when the first comparison fails, NaN included).
inline Float4 clampNanToLow(Float4 v, Float4 lo, Float4 hi) {
#if defined(__SSE__)
    return _mm_min_ps(_mm_max_ps(v, lo), hi);
#else
    v = v > lo ? v : lo;
    return v < hi ? v : hi;
#endif
}

// a < b ? a : b on four lanes (the processor's min): dsp::minNum where b is never NaN.
inline Float4 min4(Float4 a, Float4 b) {
#if defined(__SSE__)
    return _mm_min_ps(a, b);
#else
    return a < b ? a : b;
#endif
}

// Whether every lane of a is below b.
inline bool allBelow(Float4 a, float b) {
#if defined(__SSE__)
    return _mm_movemask_ps(_mm_cmplt_ps(a, splat4(b))) == 0xF;
#else
    const Int4 below = a < splat4(b);
    return (below[0] & below[1] & below[2] & below[3]) != 0;
#endif
}

// Whether any lane of a comparison's result is set.
inline bool anyLane(Int4 mask) {
#if defined(__SSE__)
    return _mm_movemask_ps(reinterpret_cast<__m128&>(mask)) != 0;
#else
    return (mask[0] | mask[1] | mask[2] | mask[3]) != 0;
#endif
}

// Bit j set where lane j of a differs from lane j of `previous` (NaN differs from everything).
inline int laneChanges(Float4 a, Float4 previous) {
#if defined(__SSE__)
    return _mm_movemask_ps(_mm_cmpneq_ps(a, previous));
#else
    const Int4 d = a != previous;
    return (d[0] & 1) | (d[1] & 2) | (d[2] & 4) | (d[3] & 8);
#endif
}

// Entries n and n + 1 of a table at the four lane indices (each >= 0): the first of each pair
// in one vector, the second in the other. Each pair is one 8-byte load. The indices are read
// unsigned, which spares widening each with its sign.
inline void gatherPairs(const float* t, Int4 n, Float4& first, Float4& second) {
    using Float2 = float __attribute__((vector_size(8)));
    const UInt4 u = reinterpret_cast<UInt4&>(n);
    Float2 p[4];
    for (int k = 0; k < 4; ++k)
        std::memcpy(&p[k], t + u[k], sizeof p[k]);
    const Float4 lo = __builtin_shufflevector(p[0], p[1], 0, 1, 2, 3);
    const Float4 hi = __builtin_shufflevector(p[2], p[3], 0, 1, 2, 3);
    first = __builtin_shufflevector(lo, hi, 0, 2, 4, 6);
    second = __builtin_shufflevector(lo, hi, 1, 3, 5, 7);
}

// Entry n of a table at the four lane indices (each >= 0).
inline Float4 gather(const float* t, Int4 n) {
    const UInt4 u = reinterpret_cast<UInt4&>(n);
    return Float4{t[u[0]], t[u[1]], t[u[2]], t[u[3]]};
}

// readInterpolated at four positions (each >= 0 and inside the table).
inline Float4 readInterpolated4(const float* t, Float4 x) {
    const Int4 n = __builtin_convertvector(x, Int4); // truncates, as static_cast<int> does
    Float4 a, b;
    gatherPairs(t, n, a, b);
    return a + (b - a) * (x - __builtin_convertvector(n, Float4));
}

// readAtPinValue at four pin values (already clamped to the table's range).
inline Float4 readAtPinValue4(const float* t, Float4 v) {
    return readInterpolated4(t, v * splat4(kEntriesPerPinUnit));
}

} // namespace zr::dsp
