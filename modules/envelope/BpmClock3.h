// "ZR BPM Clock3": a square clock (1.0 for the first half of each pulse, 0.0 for the second)
// at a number of pulses per beat of a tempo, re-aligned to a song position on request, with
// its rate in pulses per second on a float output. Edges are found by computing the distance
// to the next one; the output is written only for a host block after each edge.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

class BpmClock3 : public gmpi::MpBase {
  public:
    explicit BpmClock3(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;

    void pinsChanged() override;

    // Beats per pulse for a Division n: -n below 0, 1/n above, 8 for 0.
    static double beatsPerPulse(gmpi::int32 n);
    // Phase increment per sample: Tempo / (rate x beats per pulse x 60), held to [0, 0.5].
    static double phaseIncrement(float tempo, gmpi::int32 n, float sampleRate);
    // How far `phase` lies from the pulse phase that song position `position` asks for, as a
    // fraction of a pulse in [-0.5, 0.5].
    static double phaseError(double phase, float position, gmpi::int32 n);

  private:
    void subProcessClock(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessStopped(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void recomputeIncrement(gmpi::int32 n);
    void markEdge(gmpi::int32 position);
    float sampleRate() const;

    gmpi::FloatInPin tempoIn{"Tempo"};
    gmpi::FloatInPin positionIn{"Position"};
    gmpi::IntInPin divisionIn{"Division"};
    gmpi::AudioOutPin clockOut{"Clock"};
    gmpi::BoolInPin syncIn{"Sync"};
    gmpi::IntInPin runIn{"Run"};
    gmpi::FloatOutPin rateOut{"Rate"};

    // Fraction of the pulse period since the last rising edge; an edge is due when it reaches
    // 0.5 (falling) or 1.0 (rising).
    double phase = 1.0;
    double increment = 0.0;
    float level = 0.0f;
    // Samples still to be written with the current level.
    gmpi::int32 writeCounter = 1000000;
    // The host's block size, asked once at open: every edge writes that many samples.
    gmpi::int32 hostBlockSize = 1;
    bool realign = false;
};

} // namespace zr
