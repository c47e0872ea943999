// "ZR Delay v3": a mono feedback delay of up to ten seconds. The delay time is an audio-rate
// control with a spread factor; the loop has a level and a feedback gain held below unity; the
// line is read with linear or four-point cubic interpolation; the delayed signal leaves through
// an equal-power panner and, unpanned, on a third output.
#pragma once

#include "dsp/pan.h"
#include "dsp/quarter_wave_pan.h"
#include "framework/mp_base.h"
#include "framework/mp_pins.h"

#include <vector>

namespace zr {

// The loop's state; a routine copies it for the length of a block (the line stays where it is).
struct DelayTroisCore {
    float* line = nullptr;
    gmpi::int32 length = 0; // L, in samples
    gmpi::int32 write = 0;
    double readPos = 0.0;
    float y = 0.0f;    // last value read, after `Delay Level`
    float prev = 0.0f; // the previous sample's value at the integer read index
    float fb = 0.0f;
    float cachedFeedback = 0.0f, cachedTime = 0.0f, cachedSpread = 0.0f, cachedPan = 0.0f;
    dsp::PanGains gains;
    double samplesPerUnit = 441.0; // samples per unit of `Time`: sr x 0.01
    dsp::QuarterWaveTables panTables;
};

class DelayTrois : public gmpi::MpBase {
  public:
    explicit DelayTrois(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    // Wide: stretches whose time moves at every sample go eight samples at a time (AVX2).
    template <bool Cubic, bool Wide>
    void subProcessDelay(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

  private:
    void stop();
    void emptyLine();

    gmpi::AudioInPin delayIn{"Delay In"};
    gmpi::AudioInPin feedbackIn{"Feedback"};
    gmpi::AudioInPin timeIn{"Time"};
    gmpi::AudioInPin spreadIn{"Spread"};
    gmpi::AudioInPin delayLevelIn{"Delay Level"};
    gmpi::AudioInPin panIn{"Pan"};
    gmpi::AudioInPin clearLineIn{"Clear Line"};
    gmpi::AudioInPin outputLevelIn{"Output Level"};
    gmpi::AudioOutPin leftOut{"Left"};
    gmpi::AudioOutPin rightOut{"Right"};
    gmpi::AudioOutPin delayedOut{"Delayed"};
    gmpi::IntInPin onIn{"On"};
    gmpi::IntInPin interpolationIn{"Interpolation"};

    std::vector<float> lineStore;
    DelayTroisCore core;
    bool running = false;
    // Whether the line may hold anything but zeros (saves emptying an empty line).
    bool lineDirty = false;
};

} // namespace zr
