// "VL System Command": on release of its trigger, asks the desktop shell to run one of the
// verbs "edit", "explore", "find", "open", "print", "properties" on a file, whose name the
// host resolves to a full path first.
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class SystemCommandGui final : public gmpi::MpGuiBase {
  public:
    explicit SystemCommandGui(gmpi::IMpUnknown* host);

    // Offers the verb list on pin 2.
    gmpi::int32 MP_STDCALL initialize() override;

  private:
    void onTrigger();
    void onNothing() {}

    gmpi::GuiBoolPin trigger{"Trigger"};
    gmpi::GuiIntPin verb{"Command"};
    gmpi::GuiTextPin verbList{"Command List", gmpi::DirectionOut};
    gmpi::GuiTextPin fileName{"Filename"};
    bool previous = false;
};

} // namespace zr
