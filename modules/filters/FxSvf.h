// "ZR-SVF-02": a nine-mode filter. Two-section state-variable low/high/band-pass with output
// gains that follow resonance, a double notch, one-pole low-, high- and band-pass, and a
// second-order all-pass. Pitch and resonance are audio-rate signals turned into coefficients
// through tables shared by every instance at one sample rate, recomputed only on change.
#pragma once

#include "dsp/all_pass.h"
#include "dsp/state_variable.h"
#include "modules/filters/TabledModeFilter.h"

namespace zr {

struct FxSvfTables {
    const float* volt = nullptr; // 2 sin(pi w), the state-variable frequency coefficient
    const float* res = nullptr;  // frequency limit by damping
    const float* lag = nullptr;  // exp(-2 pi w), the one-pole coefficient
    const float* cosA = nullptr; // 2 cos(2 pi w), the all-pass pole angle
    const float* expA = nullptr; // exp(-pi w), the all-pass pole radius
    const float* expB = nullptr; // exp(-2 pi w), its square
};

// Coefficients and state; a routine copies it for the length of a block.
struct FxSvfCore {
    // Names of the nine modes, in the order of the mode routines (FxSvf.cpp).
    static constexpr gmpi::MpPinDoc kModeDoc{
        "Bypass=0,SVF 2x Low=1,SVF 2x High=2,SVF 2x Band=3,SVF 2x Notch=4,One-Pole Low=5,"
        "One-Pole High=6,One-Pole Band=7,All-Pass=8"};
    float cachedPitch = -100.0f;
    float cachedRes = -100.0f;

    float f1 = 0.0f, f2 = 0.0f, q1 = 1.0f, q2 = 1.0f;
    float lastOut = 0.0f;
    float gainA = 1.0f, gainB = 1.0f;
    dsp::ChamberlinState sv1, sv2;

    float a1 = 0.0f, a2 = 0.0f;
    float y1 = 0.0f, y2 = 0.0f;

    float c1 = 0.0f, c2 = 0.0f;
    dsp::AllPass2State allPass;

    FxSvfTables tables;

    void resetState();
};

class FxSvf : public TabledModeFilter<FxSvfCore> {
  public:
    explicit FxSvf(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL open() override;
    void pinsChanged() override;

  private:
    bool attachTables(float sampleRate);
    void clearState() override;

    gmpi::IntInPin onIn{"On"};
};

} // namespace zr
