// "VL Unit Converter": converts a control value between musical or engineering units and the
// host's control-voltage scale (hertz, decibels on two curves, milliseconds, a second pitch
// scale). Mode n < 100 converts into volts, mode n + 100 back out of them.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

using gmpi::int32;

class UnitConverter final : public gmpi::MpBase {
  public:
    explicit UnitConverter(gmpi::IMpUnknown* host);
    void pinsChanged() override;

    // The result of `mode` for `x`; false for a mode without a conversion.
    static bool convert(int32 mode, float x, float& y);

  private:
    gmpi::FloatInPin valueIn{"Value In"};
    gmpi::FloatOutPin valueOut{"Value Out"};
    // The conversions by mode number (UnitConverter.cpp); other numbers leave the output as
    // it is.
    static constexpr gmpi::MpPinDoc kConversionDoc{
        "Hz to Volts=0,dB to Volts=1,dB to Volts Exponential=2,ms to Volts=3,"
        "Hz to Volts 1 kHz Scale=4,Volts to Hz=100,Volts to dB=101,Volts to dB Exponential=102,"
        "Volts to ms=103,Volts to Hz 1 kHz Scale=104"};
    gmpi::ListInPin mode{"Conversion", &kConversionDoc};
};

} // namespace zr
