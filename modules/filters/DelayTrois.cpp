// "ZR Delay v3": the line, its read position and interpolation, the loop and the pin logic of
// the feedback delay. One routine template per interpolation; the read position and the pan
// gains are recomputed only when their controls change.
#include "modules/filters/DelayTrois.h"

#include "dsp/cache_forcing.h"
#include "dsp/clamp.h"
#include "dsp/flush.h"
#include "dsp/interpolation.h"
#include "dsp/sample_rate.h"
#include "framework/mp_factory.h"

#include <algorithm>
#include <new>

namespace zr {
namespace {

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

// Loop gain: held to +-0.99, then moved 0.0001 away from zero (limits +-0.9901). NaN gives
// the smallest positive gain rather than the strongest negative one.
inline float feedbackCoefficient(float v) {
    const float fb = v == v ? dsp::clampNanToLow(v, -0.99f, 0.99f) : 0.0f;
    return fb >= 0.0f ? fb + 0.0001f : fb - 0.0001f;
}

// Delay in samples: h = sr x 0.01 x Time + 2, stretched by the spread s (+-0.499) to
// s x 2 x (h - 1) + h. A NaN Time counts as 0.
inline double delaySamples(double samplesPerUnit, float time, float spread) {
    const double s = dsp::clampNanToLow(spread, -0.499f, 0.499f);
    const double h = samplesPerUnit * (time == time ? time : 0.0f) + 2.0;
    return s * 2.0 * (h - 1.0) + h;
}

// Read position for write index `write` (0..L) and a delay of `delay` samples in a line of
// `length` L: the delay is held to -L..2L and the position reduced into 0..L, so a delay beyond
// the line reads as the same delay less L wherever the write index stands (a single wrap would
// leave the first read before the line's start when the delay starts near the write index 0).
inline double wrappedReadPosition(gmpi::int32 write, double delay, gmpi::int32 length) {
    const double l = length;
    double pos = write - dsp::clampNanToLow(delay, -l, 2.0 * l);
    // pos is -2L..2L: two steps each way bring it into 0..L.
    if (pos < 0.0) pos += l;
    if (pos < 0.0) pos += l;
    if (pos >= l) pos -= l;
    if (pos >= l) pos -= l;
    return pos;
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
        lineStore.assign(static_cast<std::size_t>(lineLength(sr)), 0.0f);
    } catch (const std::bad_alloc&) {
        lineStore.clear(); // no line: the module stays silent
    }
    core.line = lineStore.data();
    core.length = static_cast<gmpi::int32>(lineStore.size());
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
    // The interpolation may change while running.
    if (interpolationIn.getValue() == 1)
        setBlockRoutine(&DelayTrois::subProcessDelay<true>);
    else
        setBlockRoutine(&DelayTrois::subProcessDelay<false>);
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

template <bool Cubic>
void DelayTrois::subProcessDelay(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* in = delayIn.getBuffer() + bufferOffset;
    const float* feedback = feedbackIn.getBuffer() + bufferOffset;
    const float* time = timeIn.getBuffer() + bufferOffset;
    const float* spread = spreadIn.getBuffer() + bufferOffset;
    const float* level = delayLevelIn.getBuffer() + bufferOffset;
    const float* pan = panIn.getBuffer() + bufferOffset;
    const float* outLevel = outputLevelIn.getBuffer() + bufferOffset;
    float* left = leftOut.getBuffer() + bufferOffset;
    float* right = rightOut.getBuffer() + bufferOffset;
    float* delayed = delayedOut.getBuffer() + bufferOffset;
    DelayTroisCore c = core;
    float* const line = c.line;
    const gmpi::int32 length = c.length;
    for (gmpi::int32 i = 0; i < sampleFrames; ++i) {
        if (time[i] != c.cachedTime || spread[i] != c.cachedSpread) {
            c.cachedTime = time[i];
            c.cachedSpread = spread[i];
            c.readPos = wrappedReadPosition(
                c.write, delaySamples(c.samplesPerUnit, time[i], spread[i]), length);
        }
        if (feedback[i] != c.cachedFeedback) {
            c.cachedFeedback = feedback[i];
            c.fb = feedbackCoefficient(feedback[i]);
        }

        if (c.write >= length) c.write = 0;
        // A NaN or infinity (from the input or a level) is not written: it would circulate
        // for as long as the loop remembers.
        line[c.write] = dsp::finiteOrZero(dsp::flushDenormal(c.y * c.fb + in[i]));
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
            c.y = v * 0.95f * level[i];
        } else {
            c.y = ((line[n1] - line[n]) * t + line[n]) * level[i];
        }
        c.prev = line[n];
        c.readPos += 1.0;

        if (pan[i] != c.cachedPan) {
            c.cachedPan = pan[i];
            c.gains = dsp::quarterWaveGains(c.panTables, pan[i]);
        }
        left[i] = c.y * outLevel[i] * c.gains.left;
        right[i] = c.y * outLevel[i] * c.gains.right;
        delayed[i] = c.y;
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
