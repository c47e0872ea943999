// "ZR BPM Clock3". The phase counts pulse periods since the last rising edge; each block
// routine call computes the number of samples to the next edge (phase 0.5 falls, 1.0 rises),
// writes the level up to it and turns the level there. Pin changes re-align the phase to a
// song position.
#include "modules/envelope/BpmClock3.h"

#include "dsp/sample_rate.h"
#include "framework/mp_factory.h"

#include <algorithm>
#include <cmath>

// Every edge is served at its own sample, whatever the block size; an edge due exactly at the
// end of a block is the first sample of the next block.
//
// Choices on odd input: a Tempo of 0, below 0 or NaN stops the edges (the output holds its
// level; from the start that is 0); a Tempo or Division asking for more than one edge per
// sample gives one edge per sample (increment 0.5); a Position that is not finite is ignored.
// A Run other than 1 writes 0 for the block the host renders before the module sleeps.

namespace zr {

namespace {

// One edge per sample at most: the fastest square wave a sample stream carries.
constexpr double kMaxIncrement = 0.5;
// A distance to the next edge within this many samples of a whole number counts as that
// number. The increment is rounded (1/22050 is not a binary fraction), so an edge that falls
// exactly on a sample would otherwise come a sample early whenever the rounding went low.
// Being a fixed tolerance on a distance recomputed from the phase at every edge, it never
// adds up over time.
constexpr double kEdgeTolerance = 1e-6;
// Write counter while stopped: the first rising edge sets it to a host block.
constexpr gmpi::int32 kIdleWriteCount = 1000000;
// While re-aligning, divisions slower than one pulse every 4 beats act as 4 beats.
constexpr gmpi::int32 kRealignSlowest = -4;

double fractionOf(double x) {
    return x - std::floor(x);
}

} // namespace

BpmClock3::BpmClock3(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, tempoIn);
    initializePin(1, positionIn);
    initializePin(2, divisionIn);
    initializePin(3, clockOut);
    initializePin(4, syncIn);
    initializePin(5, runIn);
    initializePin(6, rateOut);
}

gmpi::int32 BpmClock3::open() {
    gmpi::int32 blockSize = 0;
    if (getHost()) getHost()->getBlockSize(blockSize);
    hostBlockSize = blockSize > 0 ? blockSize : 1;
    return MpBase::open();
}

double BpmClock3::beatsPerPulse(gmpi::int32 n) {
    if (n < 0) return -static_cast<double>(n);
    if (n > 0) return 1.0 / static_cast<double>(n);
    return 8.0;
}

double BpmClock3::phaseIncrement(float tempo, gmpi::int32 n, float sampleRate) {
    const double inc =
        static_cast<double>(tempo) / (static_cast<double>(sampleRate) * beatsPerPulse(n) * 60.0);
    // Tempo 0 divides 0 by 0 at the first edge, a negative one steps backwards with an edge
    // on every pass, NaN compares with nothing: none of them moves the clock.
    if (!(inc > 0.0)) return 0.0;
    return inc < kMaxIncrement ? inc : kMaxIncrement;
}

double BpmClock3::phaseError(double phase, float position, gmpi::int32 n) {
    if (!std::isfinite(position)) return 0.0;
    const double d = beatsPerPulse(n);
    const double p = position;
    const double target = d >= 1.0 ? fractionOf(p / d) : fractionOf(fractionOf(p) / d);
    double err = phase - target;
    if (err > 0.5)
        err -= 1.0;
    else if (err < -0.5)
        err += 1.0;
    return err;
}

float BpmClock3::sampleRate() const {
    return dsp::hostSampleRateOrDefault(getHost());
}

void BpmClock3::recomputeIncrement(gmpi::int32 n) {
    increment = phaseIncrement(tempoIn.getValue(), n, sampleRate());
}

// The level turned at `position` in the buffer: announced as a new static value there and
// written for one host block from there.
void BpmClock3::markEdge(gmpi::int32 position) {
    clockOut.setStreaming(false, position);
    writeCounter = hostBlockSize;
}

void BpmClock3::subProcessClock(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = clockOut.getBuffer() + bufferOffset;
    gmpi::int32 pos = 0;
    gmpi::int32 remaining = sampleFrames;
    const auto write = [&](gmpi::int32 count) {
        if (writeCounter < 1) return;
        // The level as a local: the output buffer cannot alias it, so the fill is vectorised.
        std::fill_n(out + pos, count, float{level});
        writeCounter -= count;
    };
    for (;;) {
        const double target = level == 0.0f ? 1.0 : 0.5;
        // Compared as a double before any conversion: a far edge (a slow tempo) never
        // overflows an int, and a standing clock has none.
        const double distance =
            increment > 0.0 ? (target - phase) / increment + kEdgeTolerance : HUGE_VAL;
        if (distance >= static_cast<double>(remaining)) {
            write(remaining);
            phase += static_cast<double>(remaining) * increment;
            return;
        }
        const gmpi::int32 c = distance >= 1.0 ? static_cast<gmpi::int32>(distance) : 0;
        write(c);
        phase += static_cast<double>(c) * increment;
        pos += c;
        remaining -= c;
        if (level == 0.0f) {
            phase -= 1.0;
            level = 1.0f;
            if (realign) {
                realign = false;
                recomputeIncrement(divisionIn.getValue());
            }
        } else {
            level = 0.0f;
        }
        markEdge(bufferOffset + pos);
    }
}

void BpmClock3::subProcessStopped(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = clockOut.getBuffer() + bufferOffset;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i)
        out[i] = 0.0f;
}

void BpmClock3::pinsChanged() {
    // 1.-2. A Sync that turns true re-aligns; while re-aligning, slow divisions are limited.
    gmpi::int32 n = divisionIn.getValue();
    bool syncEvent = false;
    if (syncIn.isUpdated() && syncIn.getValue()) {
        realign = true;
        syncEvent = true;
    }
    if (realign && n < kRealignSlowest) n = kRealignSlowest;

    // 3. A new position nudges the phase; a large error, or a sync, re-aligns it outright.
    if (positionIn.isUpdated() || syncEvent) {
        double err = phaseError(phase, positionIn.getValue(), n);
        if (!syncEvent && std::abs(err) > 0.01) {
            realign = true;
            if (n < kRealignSlowest) n = kRealignSlowest;
            err = phaseError(phase, positionIn.getValue(), n);
            syncEvent = true;
        }
        phase -= err;
        if (syncEvent) {
            phase -= std::floor(phase);
            if (level != 0.0f) {
                level = 0.0f;
                markEdge(blockPosition());
            }
            // On the pulse start itself: rise two samples from now.
            if (phase < 0.00001) {
                recomputeIncrement(n);
                phase = 1.0 - 2.0 * increment;
            }
        }
    }

    // 4. Rate from the division as set; the increment from the possibly limited one.
    if (tempoIn.isUpdated() || divisionIn.isUpdated() || syncEvent) {
        const gmpi::int32 d = divisionIn.getValue();
        const float tempo = tempoIn.getValue();
        const float perBeat =
            d < 0 ? tempo / -static_cast<float>(d) : static_cast<float>(d) * tempo;
        rateOut.setValue(perBeat * 0.016666668f);
        recomputeIncrement(n);
    }

    // 5. Run. Stopping also installs the routine that writes 0, so that the block the host
    // renders before the module sleeps does not fire the rising edge due at phase 1.
    if (runIn.getValue() == 1) {
        setBlockRoutine(&BpmClock3::subProcessClock);
        allowSleep(false);
    } else {
        level = 0.0f;
        writeCounter = kIdleWriteCount;
        phase = 1.0;
        realign = false;
        clockOut.setStreaming(false);
        setBlockRoutine(&BpmClock3::subProcessStopped);
        allowSleep(true);
    }
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR BPM Clock3", &gmpi::createAudio<BpmClock3>);
const gmpi::int32 described = gmpi::catalogDescribe(u"ZR BPM Clock3", "BPM Clock", "ZR/Tempo");
} // namespace

} // namespace zr
