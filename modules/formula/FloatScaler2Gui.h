// "VL Float Scaler2": Value Out = Value In × Multiply by + Add on the panel side, and the
// inverse when the panel edits Value Out.
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class FloatScaler2Gui final : public gmpi::MpGuiBase {
  public:
    explicit FloatScaler2Gui(gmpi::IMpUnknown* host);

  private:
    void onInputs();
    void onValueOut();

    gmpi::GuiFloatPin valueOut{"Value Out", gmpi::DirectionOut};
    gmpi::GuiFloatPin multiplyBy{"Multiply by"};
    gmpi::GuiFloatPin add{"Add"};
    gmpi::GuiFloatPin valueIn{"Value In"};
};

} // namespace zr
