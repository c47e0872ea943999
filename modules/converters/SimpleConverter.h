// SimpleConverter<In, Out>: the audio-side value converters. Pin 0 carries a value of type In,
// pin 1 a value of type Out; a new value on either pin is converted and sent on the other, so
// the host can drive the module from both ends.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"
#include "modules/converters/ValueConversions.h"

#include <type_traits>

namespace zr {

// Control-pin datatype code of each converter value type.
template <class T>
struct ControlDatatype;
template <>
struct ControlDatatype<int32> : std::integral_constant<int32, gmpi::DatatypeInt> {};
template <>
struct ControlDatatype<float> : std::integral_constant<int32, gmpi::DatatypeFloat> {};
template <>
struct ControlDatatype<bool> : std::integral_constant<int32, gmpi::DatatypeBool> {};
template <>
struct ControlDatatype<Text> : std::integral_constant<int32, gmpi::DatatypeText> {};

// Pin name of each value type, as the converters' descriptions name their pins.
template <class T>
constexpr const char* valueName() {
    if constexpr (std::is_same_v<T, int32>) return "Int Val";
    if constexpr (std::is_same_v<T, float>) return "Float Val";
    if constexpr (std::is_same_v<T, bool>) return "Bool Val";
    if constexpr (std::is_same_v<T, Text>) return "Text Val";
    return "Value";
}

template <class In, class Out>
class SimpleConverter final : public gmpi::MpBase {
  public:
    explicit SimpleConverter(gmpi::IMpUnknown* host) : MpBase(host) {
        initializePin(0, valueIn);
        initializePin(1, valueOut);
    }

    // Both directions in one event group: the input first. `setValue` sends only a value that
    // differs from the pin's own, so the value the host echoes back stops here.
    void pinsChanged() override {
        if (valueIn.isUpdated()) valueOut.setValue(convertValue<Out>(valueIn.getValue()));
        if (valueOut.isUpdated()) valueIn.setValue(convertValue<In>(valueOut.getValue()));
    }

  private:
    gmpi::MpControlPin<In, gmpi::DirectionIn, ControlDatatype<In>::value> valueIn{valueName<In>()};
    gmpi::MpControlPin<Out, gmpi::DirectionOut, ControlDatatype<Out>::value> valueOut{
        valueName<Out>()};
};

} // namespace zr
