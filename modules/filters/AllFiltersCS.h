// "ZR-LPF over CS": a 32-mode voltage-controlled filter. Cascaded one-pole low-pass and
// high-pass ladders with resonance feedback and several saturation characters, Chamberlin
// state-variable filters (one section or two in series) and two-times oversampled ladders.
// Cutoff and resonance are audio-rate signals turned into coefficients through tables shared by
// every instance at one sample rate; coefficients are recomputed only when a control changes.
#pragma once

#include "dsp/decimator.h"
#include "dsp/oversampler.h"
#include "dsp/state_variable.h"
#include "modules/filters/TabledModeFilter.h"

namespace zr {

// The fourteen shared tables (entry i stands for the pin value i / 10000).
struct AllFiltersTables {
    const float* ok0 = nullptr;    // ladder one-pole coefficient k at the base rate
    const float* os0 = nullptr;    // resonance gain, modes 2 and 3
    const float* osloo1 = nullptr; // resonance gain, mode 4
    const float* ohp = nullptr;    // high-pass coefficient kh
    const float* ok0x2 = nullptr;  // k at the oversampled rate
    const float* oslo = nullptr;   // resonance gain, modes 5 and 6
    const float* oslo1 = nullptr;  // resonance gain, modes 30 and 31
    const float* ok18 = nullptr;   // k of the three-stage ladders at the base rate
    const float* or18 = nullptr;   // their resonance gain
    const float* ok18x2 = nullptr; // k of the three-stage ladders, oversampled
    const float* or18x2 = nullptr; // their resonance gain
    const float* tanhT = nullptr;  // tanh over -1..1
    const float* svVolt = nullptr; // state-variable frequency coefficient 2 sin(pi f / sr)
    const float* svRes = nullptr;  // state-variable frequency limit by damping
};

// What stays fixed after open: the shared tables and the per-instance constant tables.
struct AllFiltersConstants {
    AllFiltersTables tables;
    float pitchOffset1[12] = {}; // O1, modes 30-31
    float pitchOffset2[12] = {}; // O2
    float resScale[12] = {};     // R1
    float gainTableG[12] = {};   // by res x 10
    float feedbackTrim = 0.93f;  // mode 30
};

// Coefficients and filter state of the modes that run at the base rate: what their routines
// read and write, small enough to copy into the routine for the length of a block.
struct AllFiltersBaseRateCore {
    // Names of the 32 modes, in the order of the mode routines (AllFiltersCS.cpp). "LPn" is
    // an n-stage low-pass ladder, "HPn" n high-pass stages after it, "SVF" the state-variable
    // sections ("2x": two in series, Blend mixing the second in).
    static constexpr gmpi::MpPinDoc kModeDoc{
        "Bypass=0,LP4=1,LP4 Clean Resonant=2,LP4 Clean Resonant Limited=3,LP4 Resonant=4,"
        "LP4 Oversampled Tanh=5,LP4 Oversampled Cubic=6,LP3 Oversampled Tanh=7,"
        "LP3 Oversampled Folded=8,LP3 Resonant=9,LP3 HP4=10,LP3 HP3=11,LP2=12,LP2 HP4=13,"
        "LP2 HP3=14,LP1=15,LP1 HP4=16,LP1 HP3=17,HP4=18,SVF 2x Low=19,SVF 2x High=20,"
        "SVF 2x Band=21,SVF 2x Notch=22,SVF Low=23,SVF High=24,SVF Band=25,"
        "SVF 2x Low Gained=26,SVF 2x High Gained=27,SVF 2x Band Gained=28,"
        "SVF 2x Notch Undamped=29,LP5 Oversampled Saturating=30,"
        "LP4 Oversampled Saturating=31"};
    // Control caches: the pin values the coefficients were last computed from.
    float cachedPitch = -100.0f;
    float cachedRes = -100.0f;
    float effectivePitch = 0.0f; // modes 30-31: pitch moved by the blended offsets

    // Ladder coefficients and the values derived from resonance.
    float k = 0.0f;
    float g = 0.5f;
    float fb = 0.0f;
    float resScaled = 0.0f;  // res x 0.935 (mode 5), res x 0.2 (mode 8)
    float inputGain = 1.0f;  // (res x 6.65 + 1) of the three-stage ladders
    float resPlusOne = 1.0f; // res + 1
    float outScale = 1.0f;   // 1 - res x 0.5 of the tapped outputs
    float softC = 0.0f;      // cubic softener amount, modes 2 and 3
    float denom = 1.0f;      // 2 res + 1, mode 3
    float kh = 0.0f;
    float gh = 0.5f;

    // State-variable coefficients and the level-dependent damping.
    float f1 = 0.0f, f2 = 0.0f;
    float q1 = 1.0f, q2 = 1.0f;
    float t = 0.0f;
    float lastOut = 0.0f;
    float gainA = 1.0f, gainB = 1.0f; // modes 26-28
    float gainG = 1.0f;               // modes 30-31

    // Resonant low-pass ladder: previous input and output of each of up to five stages.
    float lpPrev[5] = {};
    float lp[5] = {};
    // Clean four-stage ladder of modes 2 and 3.
    float cleanPrev[4] = {};
    float clean[4] = {};
    // High-pass chain.
    float hpPrev[4] = {};
    float hp[4] = {};
    dsp::ChamberlinState sv1, sv2;

    // Shared tables and per-instance constants (the module owns them).
    const AllFiltersConstants* constants = nullptr;
    const AllFiltersTables& tables() const { return constants->tables; }
};

// All coefficients and state. The oversampling histories are more than half of it; the modes
// that do not oversample copy only the part above (TabledModeFilter::subProcessMode).
struct AllFiltersCore : AllFiltersBaseRateCore {
    // Two-times oversampling of the (pre-scaled) input, with decimation filters before and
    // after the ladder.
    dsp::Oversampler<2> oversampler;
    dsp::Decimator2x decA, decB;

    // Zeroes every stage, section, oversampling history and the damping memory.
    void resetState();
};

class AllFiltersCS : public TabledModeFilter<AllFiltersCore> {
  public:
    explicit AllFiltersCS(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

  private:
    bool attachTables(float sampleRate);
    void setInstanceTables(float sampleRate);
    void clearState() override;

    AllFiltersConstants constants;
};

} // namespace zr
