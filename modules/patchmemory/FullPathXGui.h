// "ZR Full Path Memory-x16", GUI half: keeps the file name on the host side and the panel side
// in step, publishes its full path as the host resolves it, and relays a second text both ways.
#pragma once

#include "framework/mp_gui.h"

namespace zr {

class FullPathXGui final : public gmpi::MpGuiBase {
  public:
    explicit FullPathXGui(gmpi::IMpUnknown* host);

    gmpi::int32 MP_STDCALL initialize() override;

  private:
    // Copies the host-side file name to the panel side and its copy, and resolves it.
    void publish();
    void onPanelFileName();
    void onTextA();
    void onTextAOther();
    void onNothing() {}

    gmpi::GuiTextPin fileName{"File Name"};
    gmpi::GuiTextPin textA{"Text A"};
    gmpi::GuiTextPin textAOther{"Text A", gmpi::DirectionOut};
    gmpi::GuiTextPin fullPath{"Full Path", gmpi::DirectionOut};
    gmpi::GuiTextPin panelFileName{"File Name", gmpi::DirectionOut};
    gmpi::GuiTextPin fileNameCopy{"File Name Copy", gmpi::DirectionOut};
};

} // namespace zr
