// List patch memory ("VL PatchMemory List3"): the audio half publishes an integer parameter on
// a list (enumeration) output; the GUI half relays six fields of the parameter both ways.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

// The index is passed on as it is: the list's range belongs to whatever reads it.
class PatchMemoryList final : public PatchMemoryCopy<gmpi::IntInPin, gmpi::ListOutPin> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

// Host-side fields on pins 0-5 (value, short name, menu items, file extension, menu selection,
// mouse grab); panel-side pins 6-11 in the order name, value, menu items, file extension, menu
// selection, mouse grab.
class PatchMemoryListGui final : public gmpi::MpGuiBase {
  public:
    explicit PatchMemoryListGui(gmpi::IMpUnknown* host);

  private:
    // Out and straight back, like the text-like layout; the way back sends nothing.
    void onValueIn() {
        relay(valueIn, valueOut);
        relay(valueOut, valueIn);
    }
    void onNameIn() { relay(nameIn, nameOut); }
    void onMenuItemsIn() { relay(menuItemsIn, menuItemsOut); }
    void onFileExtensionIn() { relay(fileExtensionIn, fileExtensionOut); }
    void onMenuSelectionIn() { relay(menuSelectionIn, menuSelectionOut); }
    void onMouseDownIn() { relay(mouseDownIn, mouseDownOut); }
    void onName() { relay(nameOut, nameIn); }
    void onValue() { relay(valueOut, valueIn); }
    void onMenuItems() { relay(menuItemsOut, menuItemsIn); }
    void onFileExtension() { relay(fileExtensionOut, fileExtensionIn); }
    void onMenuSelection() { relay(menuSelectionOut, menuSelectionIn); }
    void onMouseDown() { relay(mouseDownOut, mouseDownIn); }

    gmpi::GuiIntPin valueIn{"Value In"};
    gmpi::GuiTextPin nameIn{"Name In"};
    gmpi::GuiTextPin menuItemsIn{"Menu Items"};
    gmpi::GuiTextPin fileExtensionIn{"File Extension"};
    gmpi::GuiIntPin menuSelectionIn{"Menu Selection"};
    gmpi::GuiBoolPin mouseDownIn{"Mouse Down"};
    gmpi::GuiTextPin nameOut{"Name", gmpi::DirectionOut};
    gmpi::GuiIntPin valueOut{"Value", gmpi::DirectionOut};
    gmpi::GuiTextPin menuItemsOut{"Menu Items", gmpi::DirectionOut};
    gmpi::GuiTextPin fileExtensionOut{"File Extension", gmpi::DirectionOut};
    gmpi::GuiIntPin menuSelectionOut{"Menu Selection", gmpi::DirectionOut};
    gmpi::GuiBoolPin mouseDownOut{"Mouse Down", gmpi::DirectionOut};
};

} // namespace zr
