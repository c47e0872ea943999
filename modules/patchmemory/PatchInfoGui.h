// "VL Patch Info": a GUI-only module that relays the host's patch-information fields to panel
// controls, offers a MIDI channel menu, and turns a positive command value into a one-shot
// pulse on the host's command field.
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class PatchInfoGui final : public gmpi::MpGuiBase {
  public:
    explicit PatchInfoGui(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL initialize() override;

  private:
    void onProgramIn();
    void onProgramNameIn();
    void onCategoryIn();
    void onChannelIn();
    void onProgram();
    void onCategory();
    void onChannel();
    void onCommand();
    void onCommentText();
    void onNothing() {}

    // Host side.
    gmpi::GuiIntPin programIn{"Program In"};
    gmpi::GuiTextPin programNameIn{"Program Name In"};
    gmpi::GuiTextPin categoryIn{"Category In"};
    gmpi::GuiIntPin channelIn{"MIDI Channel In"};
    gmpi::GuiIntPin patchCommandIn{"Patch Command"};
    // Panel side.
    gmpi::GuiIntPin programOut{"Program", gmpi::DirectionOut};
    gmpi::GuiTextPin programNameOut{"Program Name", gmpi::DirectionOut};
    gmpi::GuiTextPin categoryOut{"Category", gmpi::DirectionOut};
    gmpi::GuiIntPin channelOut{"MIDI Channel", gmpi::DirectionOut};
    gmpi::GuiTextPin channelMenuOut{"MIDI Channel List", gmpi::DirectionOut};
    gmpi::GuiIntPin commandOut{"Command", gmpi::DirectionOut};
    gmpi::GuiTextPin commentIn{"Comment In"};
    gmpi::GuiTextPin commentOut{"Comment", gmpi::DirectionOut};
};

} // namespace zr
