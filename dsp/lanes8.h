// Eight samples side by side (AVX2): the eight-lane counterparts of dsp/lanes4.h, for block
// routines that also have a four-lane (or scalar) version. Such a routine is compiled for AVX2
// alone (ZR_WIDE) and chosen at run time, once, where the processor has it
// (wideLanesAvailable()); every other processor and the 32-bit build run the narrow version.
// Each lane goes through the same IEEE operations in the same order as the narrow version (no
// fused multiply-add: ZR_WIDE enables AVX2 only), so the two render identical outputs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

// 64-bit x86 outside Windows: GCC does not align Windows stacks for 32-byte values.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define ZR_HAS_WIDE_LANES 1
#include <immintrin.h>
// Compiles a function for AVX2. Every function that takes, returns or computes eight-lane
// vectors carries it, and is called only after wideLanesAvailable() said yes.
#define ZR_WIDE __attribute__((target("avx2")))
#else
#define ZR_HAS_WIDE_LANES 0
#define ZR_WIDE
#endif

namespace zr::dsp {

// Whether the eight-lane routines may run: the processor has AVX2, and the environment does
// not ask for the narrow routines (ZRMODULES_LANES=4, which lets the tests render both kinds on
// one machine and lets a user rule out a suspected processor fault). Decided once per process;
// call it when choosing a routine (open, pinsChanged), never inside one.
inline bool wideLanesAvailable() {
#if ZR_HAS_WIDE_LANES
    static const bool available = [] {
        __builtin_cpu_init();
        const char* lanes = std::getenv("ZRMODULES_LANES");
        return __builtin_cpu_supports("avx2") && !(lanes && std::strcmp(lanes, "4") == 0);
    }();
    return available;
#else
    return false;
#endif
}

#if ZR_HAS_WIDE_LANES

using Float8 = float __attribute__((vector_size(32)));
using Int8 = std::int32_t __attribute__((vector_size(32)));
using UInt8 = std::uint32_t __attribute__((vector_size(32)));
using Double4 = double __attribute__((vector_size(32)));
using Int64x4 = std::int64_t __attribute__((vector_size(32)));

ZR_WIDE inline Float8 load8(const float* p) {
    Float8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

ZR_WIDE inline void store8(float* p, Float8 v) {
    std::memcpy(p, &v, sizeof v);
}

ZR_WIDE inline Float8 splat8(float v) {
    return Float8{v, v, v, v, v, v, v, v};
}

ZR_WIDE inline Int8 splat8(std::int32_t v) {
    return Int8{v, v, v, v, v, v, v, v};
}

ZR_WIDE inline Double4 loadDouble4(const double* p) {
    Double4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

ZR_WIDE inline void storeDouble4(double* p, Double4 v) {
    std::memcpy(p, &v, sizeof v);
}

ZR_WIDE inline Double4 splatDouble4(double v) {
    return Double4{v, v, v, v};
}

// clampNanToLow on eight lanes: max then min, each returning its second operand when the
// comparison fails, as the scalar selects do (NaN becomes lo).
ZR_WIDE inline Float8 clampNanToLow(Float8 v, Float8 lo, Float8 hi) {
    return _mm256_min_ps(_mm256_max_ps(v, lo), hi);
}

// a < b ? a : b on eight lanes (the processor's min).
ZR_WIDE inline Float8 min8(Float8 a, Float8 b) {
    return _mm256_min_ps(a, b);
}

// Whether any lane of a comparison's result is set.
ZR_WIDE inline bool anyLane(Int8 mask) {
    return _mm256_movemask_ps(reinterpret_cast<__m256&>(mask)) != 0;
}

// Bit j set where lane j of a differs from lane j of `previous` (NaN differs from everything).
ZR_WIDE inline int laneChanges(Float8 a, Float8 previous) {
    return _mm256_movemask_ps(_mm256_cmp_ps(a, previous, _CMP_NEQ_UQ));
}

// Entries n and n + 1 of a table at the eight lane indices (each >= 0): the first of each
// pair in one vector, the second in the other; each pair is one 8-byte load.
ZR_WIDE inline void gatherPairs(const float* t, Int8 n, Float8& first, Float8& second) {
    const UInt8 u = reinterpret_cast<UInt8&>(n);
    long long p[8];
    for (int k = 0; k < 8; ++k)
        std::memcpy(&p[k], t + u[k], sizeof p[k]);
    const __m128i lo = _mm_set_epi64x(p[1], p[0]), hi = _mm_set_epi64x(p[3], p[2]);
    const __m128i lo2 = _mm_set_epi64x(p[5], p[4]), hi2 = _mm_set_epi64x(p[7], p[6]);
    // Pairs 0,1,4,5 in one register and 2,3,6,7 in the other; an in-lane shuffle then splits
    // firsts from seconds in lane order.
    const __m256 a = _mm256_castsi256_ps(_mm256_set_m128i(lo2, lo));
    const __m256 b = _mm256_castsi256_ps(_mm256_set_m128i(hi2, hi));
    first = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    second = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}

// Entry n of a table at the eight lane indices (each >= 0).
ZR_WIDE inline Float8 gather(const float* t, Int8 n) {
    const UInt8 u = reinterpret_cast<UInt8&>(n);
    return Float8{t[u[0]], t[u[1]], t[u[2]], t[u[3]], t[u[4]], t[u[5]], t[u[6]], t[u[7]]};
}

// readInterpolated at eight positions (each >= 0 and inside the table).
ZR_WIDE inline Float8 readInterpolated8(const float* t, Float8 x) {
    const Int8 n = __builtin_convertvector(x, Int8); // truncates, as static_cast<int> does
    Float8 a, b;
    gatherPairs(t, n, a, b);
    return a + (b - a) * (x - __builtin_convertvector(n, Float8));
}

// gatherPairs with the eight indices (each >= 0) read from memory: cheaper than taking them
// out of a vector when they were just stored, or when one set of indices serves two tables.
ZR_WIDE inline void gatherPairsAt(const float* t, const std::int32_t* at, Float8& first,
                                  Float8& second) {
    // A pair is 8 bytes at any 4-byte boundary: copied, not read through a double pointer.
    const auto bits = [t, at](int k) ZR_WIDE {
        double d;
        std::memcpy(&d, t + static_cast<std::uint32_t>(at[k]), sizeof d);
        return d;
    };
    const auto pairs = [&bits](int lo, int hi)
                           ZR_WIDE { return _mm_castpd_ps(_mm_set_pd(bits(hi), bits(lo))); };
    // Pairs 0,1,4,5 in one register and 2,3,6,7 in the other, as in gatherPairs.
    const __m256 a = _mm256_set_m128(pairs(4, 5), pairs(0, 1));
    const __m256 b = _mm256_set_m128(pairs(6, 7), pairs(2, 3));
    first = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
    second = _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}

#endif

} // namespace zr::dsp
