// The common ground of the peers program: a runner renders one 64-sample block at 48 kHz, a
// row pairs a library unit with a peer, and the measurements the checks take on a runner's
// output (frequency from zero crossings, gain at a frequency, levels).
#pragma once

#include "bench/signals.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace peers {

inline constexpr int kBlock = 64;
inline constexpr float kRate = 48000.0f;

// One block per call; the output of the last block stays readable until the next call.
class Runner {
  public:
    virtual ~Runner() = default;
    virtual void block() = 0;
    virtual const float* output() const = 0;
};

using Make = std::function<std::unique_ptr<Runner>()>;

// A check returns an empty text when it passed, else what it found.
using Check = std::function<std::string()>;

struct Row {
    std::string unit;
    Make makeUnit;
    std::string peer;
    Make makePeer;
    Check check;
    double perUnit = 1.0; // samples are divided by this too (12 for the matrix's channel pairs)
};

// The rows of each family, in table order.
std::vector<Row> oscillatorRows();
std::vector<Row> filterRows();
std::vector<Row> envelopeRows();
std::vector<Row> effectRows();

using benchsig::noise;
using benchsig::ramp;

// `blocks` blocks of a runner's output, one after another.
std::vector<float> render(Runner& r, int blocks);

// Frequency of a periodic signal from its upward zero crossings (linearly interpolated).
double measuredFrequency(const std::vector<float>& x, double rate);

// RMS of the second half of a signal (after the transient).
double tailRms(const std::vector<float>& x);

// Cents between two frequencies.
double cents(double f, double reference);

// First index at which two renders differ bit for bit, or -1. Compares `blocks` blocks.
long long firstDifference(Runner& a, Runner& b, int blocks);

// "" when `ok`, else `what`.
std::string failIf(bool failed, const std::string& what);

} // namespace peers
