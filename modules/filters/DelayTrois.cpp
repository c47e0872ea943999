// "ZR Delay v3": the line, its read position and interpolation, the loop and the pin logic of
// the feedback delay. One routine per interpolation and lane width (the stretches whose time
// moves at every sample go four or eight samples at a time, DelayMovingStretch.h); the read
// position and the pan gains are recomputed only when their controls change.
#include "modules/filters/DelayTrois.h"

#include "dsp/cache_forcing.h"
#include "dsp/flush.h"
#include "dsp/interpolation.h"
#include "dsp/lanes8.h"
#include "dsp/sample_rate.h"
#include "framework/mp_factory.h"
#include "modules/filters/DelayMovingStretch.h"

#include <algorithm>
#include <new>

namespace zr {
namespace {

using namespace delaytrois;

constexpr double kLineSeconds = 10.0;
// The line's length is sized from the rate up to 768 kHz; a higher rate gets a shorter line
// (delays beyond it wrap as any delay beyond the line does) rather than gigabytes.
constexpr double kMaxLineRate = 768000.0;
// Enough for the cubic read's three indices to be distinct.
constexpr gmpi::int32 kMinLine = 4;
// Subtracted from the control caches when the delay starts, to force the first sample to
// recompute everything.
constexpr float kForceOffset = -0.0000001f;

gmpi::int32 lineLength(float sampleRate) {
    const double n = std::min(static_cast<double>(sampleRate), kMaxLineRate) * kLineSeconds;
    return std::max(static_cast<gmpi::int32>(n), kMinLine);
}

// Sample by sample: the write, then the read, each control recomputed when it changes. Plays
// any stretch; the passes for a moving time cover the common case faster.
template <bool Cubic>
void playSamples(DelayTroisCore& core, const DelayIo& io, gmpi::int32 frames) {
    // A local copy, kept in registers: the line and output stores could otherwise change the
    // caller's (its address is taken for the passes).
    DelayTroisCore c = core;
    float* const line = c.line;
    const gmpi::int32 length = c.length;
    for (gmpi::int32 i = 0; i < frames; ++i) {
        if (io.time[i] != c.cachedTime || io.spread[i] != c.cachedSpread) {
            c.cachedTime = io.time[i];
            c.cachedSpread = io.spread[i];
            c.readPos = wrappedReadPosition(
                c.write, delaySamples(c.samplesPerUnit, io.time[i], io.spread[i]), length);
        }
        if (io.feedback[i] != c.cachedFeedback) {
            c.cachedFeedback = io.feedback[i];
            c.fb = feedbackCoefficient(io.feedback[i]);
        }

        if (c.write >= length) c.write = 0;
        // A NaN or infinity (from the input or a level) is not written: it would circulate
        // for as long as the loop remembers.
        line[c.write] = dsp::finiteOrZero(dsp::flushDenormal(c.y * c.fb + io.in[i]));
        ++c.write;

        if (c.readPos < 0.0) c.readPos += length;
        if (c.readPos >= length) c.readPos -= length;
        const gmpi::int32 n = static_cast<gmpi::int32>(c.readPos);
        const float t = static_cast<float>(c.readPos - n);
        gmpi::int32 n1 = n + 1, n2 = n + 2;
        if (n1 >= length) n1 -= length;
        if (n2 >= length) n2 -= length;
        if constexpr (Cubic) {
            const float v = dsp::cubicInterpolate(c.prev, line[n], line[n1], line[n2], t);
            c.y = v * 0.95f * io.level[i];
        } else {
            c.y = dsp::linearInterpolate(line[n], line[n1], t) * io.level[i];
        }
        c.prev = line[n];
        c.readPos += 1.0;

        if (io.pan[i] != c.cachedPan) {
            c.cachedPan = io.pan[i];
            c.gains = dsp::quarterWaveGains(c.panTables, io.pan[i]);
        }
        io.left[i] = c.y * io.outLevel[i] * c.gains.left;
        io.right[i] = c.y * io.outLevel[i] * c.gains.right;
        io.delayed[i] = c.y;
    }
    core = c;
}

} // namespace

DelayTrois::DelayTrois(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, delayIn);
    initializePin(1, feedbackIn);
    initializePin(2, timeIn);
    initializePin(3, spreadIn);
    initializePin(4, delayLevelIn);
    initializePin(5, panIn);
    initializePin(6, clearLineIn);
    initializePin(7, outputLevelIn);
    initializePin(8, leftOut);
    initializePin(9, rightOut);
    initializePin(10, delayedOut);
    initializePin(11, onIn);
    initializePin(12, interpolationIn);
}

gmpi::int32 DelayTrois::open() {
    core.panTables = dsp::requestQuarterWave(getHost(), u"QORV_Delay_SIN", u"QORV_Delay_COS");
    const float sr = dsp::hostSampleRateOrDefault(getHost());
    // A reopen at another rate gets a line of the new length; the old one goes first.
    lineStore.clear();
    lineStore.shrink_to_fit();
    try {
        lineStore.assign(static_cast<std::size_t>(lineLength(sr) + kGuard), 0.0f);
    } catch (const std::bad_alloc&) {
        lineStore.clear(); // no line: the module stays silent
    }
    core.line = lineStore.data();
    core.length = lineStore.empty() ? 0 : static_cast<gmpi::int32>(lineStore.size()) - kGuard;
    core.write = 0;
    core.y = 0.0f;
    core.prev = 0.0f;
    core.samplesPerUnit = static_cast<double>(sr) * 0.01;
    running = false;
    lineDirty = false;
    return MpBase::open();
}

void DelayTrois::emptyLine() {
    if (lineDirty) std::fill(lineStore.begin(), lineStore.end(), 0.0f);
    lineDirty = false;
}

void DelayTrois::stop() {
    core.prev = 0.0f;
    core.y = 0.0f;
    running = false;
    emptyLine();
    leftOut.setStreaming(false);
    rightOut.setStreaming(false);
    delayedOut.setStreaming(false);
    setBlockRoutine(&DelayTrois::subProcessSilence);
    allowSleep(true);
}

void DelayTrois::pinsChanged() {
    const bool usable = core.length > 0 && core.panTables;
    if (onIn.getValue() != 1 || delayLevelIn.getValue() <= 0.0f || !usable) {
        stop();
        return;
    }
    if (!running) {
        core.prev = 0.0f;
        running = true;
        core.write = 0;
        core.y = 0.0f;
        // Forced to differ from the current values at any magnitude (a plain offset vanishes
        // in single precision from 2 on: a Feedback of 2 would never be computed).
        core.cachedFeedback = dsp::forcedCacheValue(feedbackIn.getValue(), kForceOffset);
        core.cachedTime = dsp::forcedCacheValue(timeIn.getValue(), kForceOffset);
        core.cachedSpread = dsp::forcedCacheValue(spreadIn.getValue(), kForceOffset);
        core.cachedPan = dsp::forcedCacheValue(panIn.getValue(), kForceOffset);
        emptyLine();
        leftOut.setStreaming(true);
        rightOut.setStreaming(true);
        delayedOut.setStreaming(true);
        allowSleep(false);
    }
    // The interpolation may change while running. The eight-lane passes where the processor
    // has them.
    const bool wide = dsp::wideLanesAvailable();
    if (interpolationIn.getValue() == 1)
        setBlockRoutine(wide ? &DelayTrois::subProcessDelay<true, true>
                             : &DelayTrois::subProcessDelay<true, false>);
    else
        setBlockRoutine(wide ? &DelayTrois::subProcessDelay<false, true>
                             : &DelayTrois::subProcessDelay<false, false>);
    if (clearLineIn.isUpdated() && clearLineIn.getValue() != 0.0f) {
        core.y = 0.0f;
        emptyLine();
    }
}

void DelayTrois::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    for (gmpi::AudioOutPin* pin : {&leftOut, &rightOut, &delayedOut}) {
        float* out = pin->getBuffer() + bufferOffset;
        for (gmpi::int32 i = 0; i < sampleFrames; ++i)
            out[i] = 0.0f;
    }
}

template <bool Cubic, bool Wide>
void DelayTrois::subProcessDelay(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    DelayIo io{delayIn.getBuffer() + bufferOffset,       feedbackIn.getBuffer() + bufferOffset,
               timeIn.getBuffer() + bufferOffset,        spreadIn.getBuffer() + bufferOffset,
               delayLevelIn.getBuffer() + bufferOffset,  panIn.getBuffer() + bufferOffset,
               outputLevelIn.getBuffer() + bufferOffset, leftOut.getBuffer() + bufferOffset,
               rightOut.getBuffer() + bufferOffset,      delayedOut.getBuffer() + bufferOffset};
    DelayTroisCore c = core;
    while (sampleFrames > 0) {
        const gmpi::int32 k = std::min(sampleFrames, kStretch);
        // (A steady time fails the first test, before any call.)
        const bool played = mayPlayInPasses(c, io) && (Wide ? playMovingStretchWide<Cubic>(c, io, k)
                                                            : playMovingStretch<Cubic>(c, io, k));
        if (!played) {
            const gmpi::int32 start = c.write >= c.length ? 0 : c.write;
            playSamples<Cubic>(c, io, k);
            followGuard(c, start, k);
        }
        io.advance(k);
        sampleFrames -= k;
    }
    core = c;
    lineDirty = true;
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR Delay v3", &gmpi::createAudio<DelayTrois>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR Delay v3", "ZR Stereo Delay", "ZR/Filters");
} // namespace

} // namespace zr
