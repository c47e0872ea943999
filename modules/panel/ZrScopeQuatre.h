// Audio half of the oscilloscope "ZR SCOPE V4": waits for an upward zero crossing of the
// signal, records a window of samples as signed 8-bit values and publishes it, with an
// 8-byte header, on two blob outputs that the host relays to the GUI half.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/panel/ScopeCaptureFormat.h"

#include <array>
#include <cstdint>

namespace zr {

class ZrScopeQuatre : public gmpi::MpBase {
  public:
    explicit ZrScopeQuatre(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    // Window length in samples for a Time input value (value × 10 ms), 11 to 4800.
    static gmpi::int32 windowLengthFor(float time, float samplesPerMillisecond);
    // The signed 8-bit value stored for a signal sample.
    static std::int8_t quantise(float sample);

  private:
    // Block routines, one per state of the trigger cycle.
    void subProcessIdle(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessCapture(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessHoldOff(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessWaitNegative(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessWaitPositive(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

    void publish(gmpi::int32 blockPosition);
    float hostSampleRate();

    gmpi::FixedBlobOutPin<scope::kCaptureBytes> captureOut{"Capture"};
    gmpi::AudioInPin signalIn{"Signal"};
    gmpi::AudioInPin timeIn{"Time"};
    gmpi::FixedBlobOutPin<scope::kInfoBytes> infoOut{"Capture Info"};
    gmpi::IntInPin runIn{"Run"};

    std::array<std::int8_t, scope::kCaptureBytes> capture{};
    float samplesPerMillisecond = 0.0f;
    gmpi::int32 windowLength = scope::kShortestWindow;
    gmpi::int32 writePosition = 0;
    gmpi::int32 holdOffCounter = 0;
};

} // namespace zr
