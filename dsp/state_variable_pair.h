// Two Chamberlin sections in series (dsp/state_variable.h), the second fed by one output of
// the first, and the pieces their coefficient updates share: the frequency limit read by
// damping, the damping that grows with the output level, and the output gains that follow
// resonance. `Blend` fades from section 1 alone (0) to the pair (1).
#pragma once

#include "dsp/clamp.h"
#include "dsp/lanes4.h"
#include "dsp/state_variable.h"
#include "dsp/table_read.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace zr::dsp {

// Plain (truncating) read of a frequency-limit table of `entries` values at damping u, the
// index held inside the table for any u.
inline float dampingLimit(const float* table, int entries, float u) {
    return table[static_cast<int>(clampNanToLow(u * 10000.0f, 0.0f, float(entries - 1)))];
}

// dampingLimit at four dampings.
inline Float4 dampingLimit4(const float* table, int entries, Float4 u) {
    const Float4 x = clampNanToLow(u * splat4(10000.0f), splat4(0.0f), splat4(float(entries - 1)));
    return gather(table, __builtin_convertvector(x, Int4));
}

// Damping reduction that grows as the last output passes 1: (|last| - 1) / 4, held to 0..1/4.
inline float levelDamping(float lastOut) {
    return clampNanToLow((std::fabs(lastOut) - 1.0f) * 0.25f, 0.0f, 0.25f);
}

// Whether levelDamping is above 0: |last| > 1, NaN not. Tested on the bits (see
// magnitudeBelow): magnitudes in (1, infinity] are the bit patterns 0x3F800001..0x7F800000.
inline bool levelDamps(float lastOut) {
    std::uint32_t bits;
    std::memcpy(&bits, &lastOut, sizeof bits);
    return (bits & 0x7FFFFFFFu) - 0x3F800001u <= 0x7F800000u - 0x3F800001u;
}

// Output gains by resonance, read at res x 20 with interpolation: A falls from 1 and B rises
// from 1 above a resonance of 0.85, so that a ringing pair stays near unity level.
inline constexpr float kResonanceGainA[22] = {1, 1, 1, 1, 1, 1, 1,     1,    1,     1,      1,
                                              1, 1, 1, 1, 1, 1, 0.75f, 0.5f, 0.25f, 0.125f, 0.125f};
inline constexpr float kResonanceGainB[22] = {1, 1, 1, 1, 1, 1, 1, 1, 1,    1,    1,
                                              1, 1, 1, 1, 1, 1, 1, 1, 1.5f, 2.0f, 2.0f};

// A table of 22 read at res x 20, the position held to 0..20.
inline float resonanceGain(const float (&table)[22], float res) {
    return readInterpolated(table, clampNanToLow(res * 20.0f, 0.0f, 20.0f));
}

// Whether entries 0..last of a table are all 1.
constexpr bool onesUpTo(const float (&table)[22], int last) {
    for (int i = 0; i <= last; ++i)
        if (table[i] != 1.0f) return false;
    return true;
}
static_assert(onesUpTo(kResonanceGainA, 16) && onesUpTo(kResonanceGainB, 16));

// resonanceGain of both tables at four resonances. Below position 16 (resonance 0.8) both
// entries a read uses are 1, and the read gives 1 + 0 x frac = 1 exactly: a group whose lanes
// all lie there skips the reads. Returns whether it did, that is, whether both gains are 1 in
// every lane (false says nothing).
inline bool resonanceGains4(Float4 res, Float4& a, Float4& b) {
    const Float4 x = clampNanToLow(res * splat4(20.0f), splat4(0.0f), splat4(20.0f));
    if (allBelow(x, 16.0f)) {
        a = b = splat4(1.0f);
        return true;
    }
    a = readInterpolated4(kResonanceGainA, x);
    b = readInterpolated4(kResonanceGainB, x);
    return false;
}

// One sample of the pair with section 1's low state held to +-50 and a quieter (x 1/4) input:
// returns the level before the output gain B, pre = (a + (b - a) x blend x 0.98) x gainA,
// where a and b are the `Feed` outputs of sections 1 and 2.
template <ChamberlinTap Feed>
inline float chamberlinPairLimited(ChamberlinState& s1, ChamberlinState& s2, float in, float f1,
                                   float q1, float f2, float q2, float blend, float gainA) {
    chamberlinTick<true>(s1, in * 0.25f, f1, q1);
    chamberlinTick(s2, chamberlinOutput<Feed>(s1), f2, q2);
    const float a = chamberlinOutput<Feed>(s1);
    return (a + (chamberlinOutput<Feed>(s2) - a) * (blend * 0.98f)) * gainA;
}

// One sample of the double notch: section 1's notch (high + low) feeds section 2.
inline float chamberlinNotchPair(ChamberlinState& s1, ChamberlinState& s2, float in, float f1,
                                 float q1, float f2, float q2, float blend) {
    chamberlinTick(s1, in, f1, q1);
    const float notch1 = s1.high + s1.low;
    chamberlinTick(s2, notch1, f2, q2);
    return notch1 + ((s2.high + s2.low) - notch1) * blend;
}

} // namespace zr::dsp
