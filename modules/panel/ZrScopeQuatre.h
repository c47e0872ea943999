// Audio half of the oscilloscope "ZR SCOPE V4": waits for an upward zero crossing of the
// signal, records a window of samples as signed 8-bit values and publishes it, with an
// 8-byte header, on two blob outputs that the host relays to the GUI half.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace zr {

// A blob output whose value lives in a fixed array inside the pin, so that storing and
// sending a window never allocates on the audio thread. The host sends no values to outputs;
// any that arrive are ignored.
template <gmpi::int32 Capacity>
class FixedBlobOutPin : public gmpi::BlobOutPin {
  public:
    using gmpi::BlobOutPin::BlobOutPin;

    // Stores `size` bytes (clamped to 0..Capacity) as the pin's value without sending it.
    void store(const void* data, gmpi::int32 size) {
        size_ = size < 0 ? 0 : size > Capacity ? Capacity : size;
        if (size_ > 0) std::memcpy(bytes_.data(), data, static_cast<std::size_t>(size_));
    }
    // Sends the stored value stamped with `time` (samples from the start of the block).
    void sendAt(gmpi::int32 time) {
        gmpi::MpBase* module = getModule();
        if (module && module->getHost())
            module->getHost()->setPinValue(time, getPinId(), size_, bytes_.data());
    }

    bool setRawValue(gmpi::int32, const void*) override { return false; }
    gmpi::int32 rawSize() const override { return size_; }
    const void* rawData() const override { return bytes_.data(); }

  private:
    std::array<char, Capacity> bytes_{};
    gmpi::int32 size_ = 0;
};

class ZrScopeQuatre : public gmpi::MpBase {
  public:
    static constexpr gmpi::int32 kCaptureBytes = 4800; // longest window, in samples
    static constexpr gmpi::int32 kShortestWindow = 11;
    static constexpr gmpi::int32 kInfoBytes = 8;

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

    FixedBlobOutPin<kCaptureBytes> capturePin{"Capture"};
    gmpi::AudioInPin signalPin{"Signal"};
    gmpi::AudioInPin timePin{"Time"};
    FixedBlobOutPin<kInfoBytes> infoPin{"Capture Info"};
    gmpi::IntInPin runPin{"Run"};

    std::array<std::int8_t, kCaptureBytes> capture{};
    float samplesPerMillisecond = 0.0f;
    gmpi::int32 windowLength = kShortestWindow;
    gmpi::int32 writePosition = 0;
    gmpi::int32 holdOffCounter = 0;
};

} // namespace zr
