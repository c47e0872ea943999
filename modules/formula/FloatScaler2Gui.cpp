// "VL Float Scaler2": the forward and inverse scaling, all in float.
#include "modules/formula/FloatScaler2Gui.h"

#include "framework/mp_factory.h"

#include <cmath>

namespace zr {
namespace {

// Stores and transmits `value` unless the pin already holds it. A NaN counts as the NaN the
// pin holds: were it "different", a host that hands a transmitted NaN back would bounce it
// between Value In and Value Out for ever.
void setAndTransmit(gmpi::GuiFloatPin& pin, float value) {
    if (std::isnan(value) && std::isnan(pin.getValue())) return;
    pin.setValue(value);
}

} // namespace

FloatScaler2Gui::FloatScaler2Gui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    initializePin(0, valueOut, &FloatScaler2Gui::onValueOut);
    initializePin(1, multiplyBy, &FloatScaler2Gui::onInputs);
    initializePin(2, add, &FloatScaler2Gui::onInputs);
    initializePin(3, valueIn, &FloatScaler2Gui::onInputs);
}

void FloatScaler2Gui::onInputs() {
    setAndTransmit(valueOut, valueIn.getValue() * multiplyBy.getValue() + add.getValue());
}

// A zero multiplier maps every Value In to Add, so no Value In answers an edited Value Out:
// Value In is left as it is rather than replaced by the division's infinity or NaN.
void FloatScaler2Gui::onValueOut() {
    if (multiplyBy.getValue() == 0.0f) return;
    setAndTransmit(valueIn, (valueOut.getValue() - add.getValue()) / multiplyBy.getValue());
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerGuiModule(u"VL Float Scaler2", &gmpi::createGui<zr::FloatScaler2Gui>);
} // namespace
