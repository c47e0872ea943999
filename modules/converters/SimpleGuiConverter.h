// SimpleGuiConverter<In, Out>: the GUI-side value converters. GUI pin 0 holds a value of type
// In, pin 1 a value of type Out; a notification on either pin converts its value and
// transmits it on the other when it differs from what that pin holds.
#pragma once

#include "framework/mp_gui.h"
#include "modules/converters/SimpleConverter.h"

#include <type_traits>

namespace zr {

template <class In, class Out>
class SimpleGuiConverter final : public gmpi::MpGuiBase {
  public:
    explicit SimpleGuiConverter(gmpi::IMpUnknown* host) : MpGuiBase(host) {
        initializePin(0, valueIn, &SimpleGuiConverter::onValueIn);
        initializePin(1, valueOut, &SimpleGuiConverter::onValueOut);
    }

  private:
    // `setValue` compares (NaN differs from everything, blobs by size and bytes), stores and
    // transmits on voice 0, so a value the host sends back converts to what the other pin
    // already holds and goes no further.
    void onValueIn() { valueOut.setValue(convertValue<Out>(valueIn.getValue())); }
    void onValueOut() { valueIn.setValue(convertValue<In>(valueOut.getValue())); }

    static constexpr bool kBlobPair =
        std::is_same_v<In, gmpi::MpBlob> || std::is_same_v<Out, gmpi::MpBlob>;

    gmpi::MpGuiPin<In> valueIn{kBlobPair ? "Value In" : valueName<In>(), gmpi::DirectionIn};
    gmpi::MpGuiPin<Out> valueOut{kBlobPair ? "Value Out" : valueName<Out>(), gmpi::DirectionOut};
};

} // namespace zr
