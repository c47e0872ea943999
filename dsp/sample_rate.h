// The sample rate a module computes with: the host's, or 44.1 kHz when the host has none, or
// reports 0, a negative rate, NaN or infinity (each would turn a coefficient into inf or NaN).
#pragma once

#include "framework/mp_interfaces.h"

#include <cmath>

namespace zr::dsp {

inline constexpr float kDefaultSampleRate = 44100.0f;

// `rate` if it is a usable sample rate, else the default.
inline float usableSampleRate(float rate) {
    return rate > 0.0f && std::isfinite(rate) ? rate : kDefaultSampleRate;
}

// Asks the host (may be null) for its rate; usable, or the default. Call from open().
inline float hostSampleRateOrDefault(gmpi::AudioHost* host) {
    float rate = kDefaultSampleRate;
    if (host) host->getSampleRate(rate);
    return usableSampleRate(rate);
}

} // namespace zr::dsp
