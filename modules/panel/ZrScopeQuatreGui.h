// GUI half of the oscilloscope "ZR SCOPE V4": draws the last published window (signed 8-bit
// samples) as stems and a trace over a centre line, on the background of the "tty" style.
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class ZrScopeQuatreGui : public gmpi::VlGuiCompositedGfxBase {
  public:
    explicit ZrScopeQuatreGui(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL paint(void* drawingContext) override;

  private:
    void onCaptureChanged();
    // Number of points to draw: the count of a well-formed Capture Info, else 4800.
    gmpi::int32 pointCount() const;

    gmpi::GuiBlobPin captureIn{"Capture", gmpi::DirectionIn};
    gmpi::GuiBlobPin infoIn{"Capture Info", gmpi::DirectionIn};
};

} // namespace zr
