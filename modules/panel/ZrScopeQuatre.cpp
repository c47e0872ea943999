// "ZR SCOPE V4" (audio half) captures triggered windows of a signal for the display.
// The trigger cycle idle → capture → hold-off → wait for a
// negative sample → wait for a positive one → capture, and publication of each full window.
#include "modules/panel/ZrScopeQuatre.h"

#include "framework/mp_factory.h"

#include <algorithm>
#include <cmath>

namespace zr {

using namespace scope;

namespace {

// Float to int32 by truncation toward zero, saturating instead of overflowing; NaN gives 0.
gmpi::int32 truncateToInt32(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483648.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return static_cast<gmpi::int32>(v);
}

} // namespace

ZrScopeQuatre::ZrScopeQuatre(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, captureOut);
    initializePin(1, signalIn);
    initializePin(2, timeIn);
    initializePin(3, infoOut);
    initializePin(4, runIn);
    setBlockRoutine(&ZrScopeQuatre::subProcessIdle);
}

float ZrScopeQuatre::hostSampleRate() {
    float rate = 0.0f;
    if (host) host->getSampleRate(rate);
    return rate;
}

gmpi::int32 ZrScopeQuatre::open() {
    samplesPerMillisecond = hostSampleRate() * 0.001f;
    captureOut.sendValue();
    return MpBase::open();
}

void ZrScopeQuatre::pinsChanged() {
    if (!runIn.isUpdated()) return;
    if (runIn.getValue() == 1) {
        writePosition = 0;
        setBlockRoutine(&ZrScopeQuatre::subProcessCapture);
        allowSleep(false);
    } else {
        // Stop: the display is emptied once; the trigger cycle itself is left as it is.
        captureOut.store(nullptr, 0);
        captureOut.sendValue();
        allowSleep(true);
    }
}

gmpi::int32 ZrScopeQuatre::windowLengthFor(float time, float samplesPerMillisecond) {
    const float samples = time * samplesPerMillisecond * 10.0f;
    // Compared before truncating so that no float outside the int32 range is converted. A NaN
    // time (no comparison holds) gives the shortest window, +infinity the longest.
    if (!(samples > static_cast<float>(kShortestWindow))) return kShortestWindow;
    if (samples >= static_cast<float>(kCaptureBytes)) return kCaptureBytes;
    return std::max(static_cast<gmpi::int32>(samples), kShortestWindow);
}

std::int8_t ZrScopeQuatre::quantise(float sample) {
    float v = sample * 127.0f;
    if (v >= 127.0f)
        v = 127.0f;
    else if (v <= -127.0f)
        v = -127.0f;
    else if (std::isnan(v))
        v = 0.0f; // a NaN sample has no level; it is drawn on the centre line
    return static_cast<std::int8_t>(v);
}

void ZrScopeQuatre::subProcessIdle(gmpi::int32, gmpi::int32) {}

void ZrScopeQuatre::subProcessCapture(gmpi::int32 s, gmpi::int32 n) {
    const float* signal = signalIn.getBuffer();
    const float* time = timeIn.getBuffer();
    if (!signal || !time) return;

    // The length follows the Time input once per stretch, so it may change mid-window.
    windowLength = windowLengthFor(time[s], samplesPerMillisecond);
    // A length that fell to or below the samples already recorded takes nothing more (a
    // negative count would move the write position back and hand the hold-off more samples
    // than the stretch has); the window is then complete.
    const gmpi::int32 take = std::max(0, std::min(windowLength - writePosition, n));
    std::int8_t* out = capture.data() + writePosition;
    const float* in = signal + s;
    for (gmpi::int32 k = 0; k < take; ++k)
        out[k] = quantise(in[k]);

    writePosition += take;
    if (writePosition < windowLength) return;

    publish(s);
    subProcessHoldOff(s + take, n - take);
}

void ZrScopeQuatre::publish(gmpi::int32 blockPosition) {
    const float rate = hostSampleRate();
    captureOut.store(capture.data(), kCaptureBytes);
    char info[kInfoBytes];
    writeInt32LittleEndian(info, windowLength);
    writeInt32LittleEndian(info + 4, truncateToInt32(rate));
    infoOut.store(info, kInfoBytes);
    samplesPerMillisecond = rate * 0.001f;

    captureOut.sendAt(blockPosition);
    infoOut.sendAt(blockPosition);

    // At least a fifteenth of a second between windows, so the display stays readable.
    holdOffCounter = std::max(windowLength, truncateToInt32(rate * 0.06666667f));
    setBlockRoutine(&ZrScopeQuatre::subProcessHoldOff);
}

void ZrScopeQuatre::subProcessHoldOff(gmpi::int32, gmpi::int32 n) {
    holdOffCounter -= n;
    // The rest of this stretch is not examined; scanning begins with the next call.
    if (holdOffCounter < 0) setBlockRoutine(&ZrScopeQuatre::subProcessWaitNegative);
}

void ZrScopeQuatre::subProcessWaitNegative(gmpi::int32 s, gmpi::int32 n) {
    const float* signal = signalIn.getBuffer();
    if (!signal) return;
    for (gmpi::int32 i = s; i < s + n; ++i) {
        if (signal[i] < 0.0f) {
            writePosition = 0;
            setBlockRoutine(&ZrScopeQuatre::subProcessWaitPositive);
            subProcessWaitPositive(i, s + n - i);
            return;
        }
    }
}

void ZrScopeQuatre::subProcessWaitPositive(gmpi::int32 s, gmpi::int32 n) {
    const float* signal = signalIn.getBuffer();
    if (!signal) return;
    for (gmpi::int32 i = s; i < s + n; ++i) {
        if (signal[i] > 0.0f) {
            writePosition = 0;
            setBlockRoutine(&ZrScopeQuatre::subProcessCapture);
            subProcessCapture(i, s + n - i);
            return;
        }
    }
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR SCOPE V4", &gmpi::createAudio<zr::ZrScopeQuatre>);
const gmpi::int32 described = gmpi::catalogDescribe(u"ZR SCOPE V4", "ZR Scope V4", "ZR/Panel");
} // namespace
