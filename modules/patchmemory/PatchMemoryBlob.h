// Blob patch memory: the audio half shared by "VL PatchMemory Blob" and "VL PatchMemory Blob
// Out", the GUI half of the text-like layout and the smaller "Out" layout of blobs.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

class PatchMemoryBlob final : public PatchMemoryCopy<gmpi::BlobInPin, gmpi::BlobOutPin> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

class PatchMemoryBlobGui final : public PatchMemoryTextLikeGui<gmpi::MpBlob> {
  public:
    using PatchMemoryTextLikeGui::PatchMemoryTextLikeGui;
};

// Four host-side fields (value, short name, menu items, menu selection; pins 0-3) relayed both
// ways to four panel-side pins (4-7).
class PatchMemoryBlobOutGui final : public gmpi::MpGuiBase {
  public:
    explicit PatchMemoryBlobOutGui(gmpi::IMpUnknown* host);

  private:
    void onValueIn() { relay(valueIn, valueOut); }
    void onNameIn() { relay(nameIn, nameOut); }
    void onMenuItemsIn() { relay(menuItemsIn, menuItemsOut); }
    void onMenuSelectionIn() { relay(menuSelectionIn, menuSelectionOut); }
    void onName() { relay(nameOut, nameIn); }
    void onValue() { relay(valueOut, valueIn); }
    void onMenuItems() { relay(menuItemsOut, menuItemsIn); }
    void onMenuSelection() { relay(menuSelectionOut, menuSelectionIn); }

    gmpi::GuiBlobPin valueIn{"PM Value In"};
    gmpi::GuiTextPin nameIn{"PM Name In"};
    gmpi::GuiTextPin menuItemsIn{"PM Menu Items"};
    gmpi::GuiIntPin menuSelectionIn{"PM Menu Selection"};
    gmpi::GuiTextPin nameOut{"Name", gmpi::DirectionOut};
    gmpi::GuiBlobPin valueOut{"Value", gmpi::DirectionOut};
    gmpi::GuiTextPin menuItemsOut{"Menu Items", gmpi::DirectionOut};
    gmpi::GuiIntPin menuSelectionOut{"Menu Selection", gmpi::DirectionOut};
};

} // namespace zr
