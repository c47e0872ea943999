// "VL FloatToText GUI": automatic decimal places, fixed-point formatting (locale-independent,
// at most 49 characters), removal of a negative zero's sign, and parsing of edited texts.
#include "modules/formula/FloatToTextGui.h"

#include "framework/mp_factory.h"
#include "modules/converters/ValueConversions.h"

#include <cmath>

namespace zr {

FloatToTextGui::FloatToTextGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    initializePin(0, floatVal, &FloatToTextGui::onValue);
    initializePin(1, decimalPlaces, &FloatToTextGui::onValue);
    initializePin(2, textVal, &FloatToTextGui::onText);
}

int FloatToTextGui::automaticPlaces(float value) {
    const float x = std::fabs(value);
    if (x == 0.0f) return 1;
    if (x < 0.1f) return 4;
    if (x > 100.0f) return 0;
    if (x > 10.0f) return 1;
    return 2; // 0.1 to 10, and NaN
}

// -1 asks for automatic places. Other negative counts name no format at all; they are taken
// as automatic too. Counts too large for 49 characters are reduced by formatFixed.
std::u16string FloatToTextGui::format(float value, int places) {
    std::u16string text = formatFixed(value, places < 0 ? automaticPlaces(value) : places);
    if (text.size() > 1 && text[0] == u'-' && value > -1.0f &&
        text.find_first_not_of(u"0.", 1) == std::u16string::npos)
        text.erase(0, 1);
    return text;
}

void FloatToTextGui::onValue() {
    const std::u16string text = format(floatVal.getValue(), decimalPlaces.getValue());
    textValue = static_cast<float>(parseDouble(text));
    textVal.setValue(text);
}

// A text that stands for the number already shown (the module's own text, or "3.140" for
// "3.14") changes nothing.
void FloatToTextGui::onText() {
    const float v = static_cast<float>(parseDouble(textVal.getValue()));
    if (v == textValue) return;
    floatVal.setValue(v);
    textValue = v;
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerGuiModule(u"VL FloatToText GUI", &gmpi::createGui<zr::FloatToTextGui>);
} // namespace
