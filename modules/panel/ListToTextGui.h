// "VL ListToText": the text of the item a list choice selects, looked up in the list's own
// item text ("Off, Low=5, High", "range 1,4").
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class ListToTextGui final : public gmpi::MpGuiBase {
  public:
    explicit ListToTextGui(gmpi::IMpUnknown* host);

  private:
    void onChange();

    gmpi::GuiIntPin choice{"Choice"};
    gmpi::GuiTextPin itemList{"Item List"};
    gmpi::GuiTextPin itemText{"Item Text", gmpi::DirectionOut};
};

} // namespace zr
