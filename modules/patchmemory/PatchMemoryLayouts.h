// Building blocks shared by the patch-memory modules: the audio half that copies its input pin
// to its output pin, and the GUI pin layouts that relay a host parameter's fields to panel
// controls and back. Each concrete module class is one instantiation of these templates.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_gui.h"
#include "framework/mp_pins.h"

#include <type_traits>

namespace zr {

using gmpi::int32;

// Copies pin 0 to pin 1 whenever pin 0 arrives with a value that differs from pin 1's, by the
// value type's own equality (a float NaN never equals, so a NaN is sent every time).
template <class InPin, class OutPin>
class PatchMemoryCopy : public gmpi::MpBase {
  public:
    explicit PatchMemoryCopy(gmpi::IMpUnknown* host) : MpBase(host) {
        initializePin(0, valueIn);
        initializePin(1, valueOut);
    }

    void pinsChanged() override {
        if (!valueIn.isUpdated()) return;
        // setValue compares, stores and sends at the current block position.
        valueOut.setValue(valueIn.getValue());
    }

  protected:
    InPin valueIn{"Value In"};
    OutPin valueOut{"Value Out"};
};

// Copies `from` into `to` and transmits it, unless `to` already holds an equal value. After
// `to` is set, its own handler relays it back, finds the values equal and sends nothing, so a
// pair of relays never loops on a value that equals itself.
template <class T>
inline void relay(const gmpi::MpGuiPin<T>& from, gmpi::MpGuiPin<T>& to) {
    to.setValue(from.getValue());
}

// Layout of a plain value (float, int or bool parameter): six host-side fields of parameter 0
// (pins 0-5) each relayed both ways to a panel-side pin (pins 6-11).
template <class T>
class PatchMemoryValueGui : public gmpi::MpGuiBase {
  public:
    explicit PatchMemoryValueGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
        using G = PatchMemoryValueGui;
        initializePin(0, valueIn, &G::onValueIn);
        initializePin(1, nameIn, &G::onNameIn);
        initializePin(2, menuItemsIn, &G::onMenuItemsIn);
        initializePin(3, menuSelectionIn, &G::onMenuSelectionIn);
        initializePin(4, mouseDownIn, &G::onMouseDownIn);
        initializePin(5, animationIn, &G::onAnimationIn);
        initializePin(6, nameOut, &G::onName);
        initializePin(7, valueOut, &G::onValue);
        initializePin(8, animationPositionOut, &G::onAnimationPosition);
        initializePin(9, menuItemsOut, &G::onMenuItems);
        initializePin(10, menuSelectionOut, &G::onMenuSelection);
        initializePin(11, mouseDownOut, &G::onMouseDown);
    }

  private:
    void onValueIn() { relay(valueIn, valueOut); }
    void onNameIn() { relay(nameIn, nameOut); }
    void onMenuItemsIn() { relay(menuItemsIn, menuItemsOut); }
    void onMenuSelectionIn() { relay(menuSelectionIn, menuSelectionOut); }
    void onMouseDownIn() { relay(mouseDownIn, mouseDownOut); }
    void onAnimationIn() { relay(animationIn, animationPositionOut); }
    void onName() { relay(nameOut, nameIn); }
    void onValue() { relay(valueOut, valueIn); }
    void onAnimationPosition() { relay(animationPositionOut, animationIn); }
    void onMenuItems() { relay(menuItemsOut, menuItemsIn); }
    void onMenuSelection() { relay(menuSelectionOut, menuSelectionIn); }
    void onMouseDown() { relay(mouseDownOut, mouseDownIn); }

    gmpi::MpGuiPin<T> valueIn{"Value In"};
    gmpi::GuiTextPin nameIn{"Name In"};
    gmpi::GuiTextPin menuItemsIn{"Menu Items"};
    gmpi::GuiIntPin menuSelectionIn{"Menu Selection"};
    gmpi::GuiBoolPin mouseDownIn{"Mouse Down"};
    gmpi::GuiFloatPin animationIn{"AnimationIn"};
    gmpi::GuiTextPin nameOut{"Name", gmpi::DirectionOut};
    gmpi::MpGuiPin<T> valueOut{"Value", gmpi::DirectionOut};
    gmpi::GuiFloatPin animationPositionOut{"Animation Position", gmpi::DirectionOut};
    gmpi::GuiTextPin menuItemsOut{"Menu Items", gmpi::DirectionOut};
    gmpi::GuiIntPin menuSelectionOut{"Menu Selection", gmpi::DirectionOut};
    gmpi::GuiBoolPin mouseDownOut{"Mouse Down", gmpi::DirectionOut};
};

// Layout of a text-like value (text or blob parameter): five host-side fields (pins 0-4) each
// relayed both ways to a panel-side pin (pins 5-9).
template <class T>
class PatchMemoryTextLikeGui : public gmpi::MpGuiBase {
  public:
    explicit PatchMemoryTextLikeGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
        using G = PatchMemoryTextLikeGui;
        initializePin(0, valueIn, &G::onValueIn);
        initializePin(1, nameIn, &G::onNameIn);
        initializePin(2, fileExtensionIn, &G::onFileExtensionIn);
        initializePin(3, menuItemsIn, &G::onMenuItemsIn);
        initializePin(4, menuSelectionIn, &G::onMenuSelectionIn);
        initializePin(5, nameOut, &G::onName);
        initializePin(6, valueOut, &G::onValue);
        initializePin(7, fileExtensionOut, &G::onFileExtension);
        initializePin(8, menuItemsOut, &G::onMenuItems);
        initializePin(9, menuSelectionOut, &G::onMenuSelection);
    }

  private:
    // The value is relayed out and straight back; the way back finds the values equal and
    // sends nothing.
    void onValueIn() {
        relay(valueIn, valueOut);
        relay(valueOut, valueIn);
    }
    void onNameIn() { relay(nameIn, nameOut); }
    void onFileExtensionIn() { relay(fileExtensionIn, fileExtensionOut); }
    void onMenuItemsIn() { relay(menuItemsIn, menuItemsOut); }
    void onMenuSelectionIn() { relay(menuSelectionIn, menuSelectionOut); }
    void onName() { relay(nameOut, nameIn); }
    void onValue() { relay(valueOut, valueIn); }
    void onFileExtension() { relay(fileExtensionOut, fileExtensionIn); }
    void onMenuItems() { relay(menuItemsOut, menuItemsIn); }
    void onMenuSelection() { relay(menuSelectionOut, menuSelectionIn); }

    gmpi::MpGuiPin<T> valueIn{"Value In"};
    gmpi::GuiTextPin nameIn{"Name In"};
    gmpi::GuiTextPin fileExtensionIn{"File Extension"};
    gmpi::GuiTextPin menuItemsIn{"Menu Items"};
    gmpi::GuiIntPin menuSelectionIn{"Menu Selection"};
    gmpi::GuiTextPin nameOut{"Name", gmpi::DirectionOut};
    gmpi::MpGuiPin<T> valueOut{"Value", gmpi::DirectionOut};
    gmpi::GuiTextPin fileExtensionOut{"File Extension", gmpi::DirectionOut};
    gmpi::GuiTextPin menuItemsOut{"Menu Items", gmpi::DirectionOut};
    gmpi::GuiIntPin menuSelectionOut{"Menu Selection", gmpi::DirectionOut};
};

// Layout of the "Out" modules, where the audio graph writes the parameter and the panel shows
// it. Variants:
// - kLegacyValueOut (float only): pin 7, an older float input that pin 0 keeps written and
//   that relays nothing itself.
// - kAnimation: pins 4 and 8 (normalised position in, animation position out). A text value
//   has no normalised position, so the text variant leaves both pins unbound.
// Pins whose flag is off stay unbound: the host finds no pin at that index.
template <class T, bool kLegacyValueOut, bool kAnimation>
class PatchMemoryOutGui : public gmpi::MpGuiBase {
    static_assert(!kLegacyValueOut || std::is_same_v<T, float>,
                  "the legacy value pin is a float written from a float value");

  public:
    explicit PatchMemoryOutGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
        using G = PatchMemoryOutGui;
        initializePin(0, valueIn, &G::onValueIn);
        initializePin(1, nameIn, &G::onNameIn);
        initializePin(2, menuItemsIn, &G::onMenuItemsIn);
        initializePin(3, menuSelectionIn, &G::onMenuSelectionIn);
        if constexpr (kAnimation) initializePin(4, animationIn, &G::onAnimationIn);
        initializePin(5, nameOut, &G::onName);
        initializePin(6, valueOut, &G::onValue);
        if constexpr (kLegacyValueOut) initializePin(7, legacyValueOut, &G::onNothing);
        if constexpr (kAnimation) initializePin(8, animationPositionOut, &G::onNothing);
        initializePin(9, menuItemsOut, &G::onMenuItems);
        initializePin(10, menuSelectionOut, &G::onMenuSelection);
    }

  private:
    void onValueIn() {
        relay(valueIn, valueOut);
        if constexpr (kLegacyValueOut) relay(valueIn, legacyValueOut);
    }
    void onNameIn() { relay(nameIn, nameOut); }
    void onMenuItemsIn() { relay(menuItemsIn, menuItemsOut); }
    void onMenuSelectionIn() { relay(menuSelectionIn, menuSelectionOut); }
    void onAnimationIn() { relay(animationIn, animationPositionOut); }
    void onName() { relay(nameOut, nameIn); }
    void onValue() { relay(valueOut, valueIn); }
    void onMenuItems() { relay(menuItemsOut, menuItemsIn); }
    void onMenuSelection() { relay(menuSelectionOut, menuSelectionIn); }
    void onNothing() {}

    gmpi::MpGuiPin<T> valueIn{"PM Value In"};
    gmpi::GuiTextPin nameIn{"PM Name In"};
    gmpi::GuiTextPin menuItemsIn{"PM Menu Items"};
    gmpi::GuiIntPin menuSelectionIn{"PM Menu Selection"};
    gmpi::GuiFloatPin animationIn{"AnimationIn"};
    gmpi::GuiTextPin nameOut{"Name", gmpi::DirectionOut};
    gmpi::MpGuiPin<T> valueOut{"Value", gmpi::DirectionOut};
    gmpi::GuiFloatPin legacyValueOut{"Value Out"};
    gmpi::GuiFloatPin animationPositionOut{"Animation Position", gmpi::DirectionOut};
    gmpi::GuiTextPin menuItemsOut{"Menu Items", gmpi::DirectionOut};
    gmpi::GuiIntPin menuSelectionOut{"Menu Selection", gmpi::DirectionOut};
};

} // namespace zr
