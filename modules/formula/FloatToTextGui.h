// "VL FloatToText GUI": formats a float with a chosen or automatic number of decimal places,
// and takes an edited text back as a new value when it means a different number.
#pragma once

#include "framework/mp_gui.h"

#include <string>

namespace zr {

class FloatToTextGui final : public gmpi::MpGuiBase {
  public:
    explicit FloatToTextGui(gmpi::IMpUnknown* host);

    // Decimal places chosen for `value` when the pin asks for automatic places.
    static int automaticPlaces(float value);
    // The text for `value` with `places` (negative: automatic), without a negative zero.
    static std::u16string format(float value, int places);

  private:
    void onValue();
    void onText();

    gmpi::GuiFloatPin floatVal{"Float Val"};
    gmpi::GuiIntPin decimalPlaces{"Decimal Places"};
    gmpi::GuiTextPin textVal{"Text Val", gmpi::DirectionOut};
    float textValue = 0.0f; // the number the last produced or accepted text stands for
};

} // namespace zr
