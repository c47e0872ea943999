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
        relay(valueIn, value);
        relay(value, valueIn);
    }
    void onNameIn() { relay(nameIn, name); }
    void onMenuItemsIn() { relay(menuItemsIn, menuItems); }
    void onFileExtensionIn() { relay(fileExtensionIn, fileExtension); }
    void onMenuSelectionIn() { relay(menuSelectionIn, menuSelection); }
    void onMouseDownIn() { relay(mouseDownIn, mouseDown); }
    void onName() { relay(name, nameIn); }
    void onValue() { relay(value, valueIn); }
    void onMenuItems() { relay(menuItems, menuItemsIn); }
    void onFileExtension() { relay(fileExtension, fileExtensionIn); }
    void onMenuSelection() { relay(menuSelection, menuSelectionIn); }
    void onMouseDown() { relay(mouseDown, mouseDownIn); }

    gmpi::GuiIntPin valueIn{"Value In"};
    gmpi::GuiTextPin nameIn{"Name In"};
    gmpi::GuiTextPin menuItemsIn{"Menu Items"};
    gmpi::GuiTextPin fileExtensionIn{"File Extension"};
    gmpi::GuiIntPin menuSelectionIn{"Menu Selection"};
    gmpi::GuiBoolPin mouseDownIn{"Mouse Down"};
    gmpi::GuiTextPin name{"Name", gmpi::DirectionOut};
    gmpi::GuiIntPin value{"Value", gmpi::DirectionOut};
    gmpi::GuiTextPin menuItems{"Menu Items", gmpi::DirectionOut};
    gmpi::GuiTextPin fileExtension{"File Extension", gmpi::DirectionOut};
    gmpi::GuiIntPin menuSelection{"Menu Selection", gmpi::DirectionOut};
    gmpi::GuiBoolPin mouseDown{"Mouse Down", gmpi::DirectionOut};
};

} // namespace zr
