// "VL Float Limiter": range check on every change, correction at the next timer tick, so the
// value is never changed inside the notification that brought it.
#include "modules/formula/FloatLimiterGui.h"

#include "framework/mp_factory.h"

namespace zr {

FloatLimiterGui::FloatLimiterGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    setTimerInterval(20);
    initializePin(0, lower, &FloatLimiterGui::onAnyPin);
    initializePin(1, upper, &FloatLimiterGui::onAnyPin);
    initializePin(2, value, &FloatLimiterGui::onAnyPin);
}

// A range whose upper limit is not above the lower one (NaN limits included) limits nothing.
void FloatLimiterGui::onAnyPin() {
    const float v = value.getValue();
    if (upper.getValue() > lower.getValue() && (v > upper.getValue() || v < lower.getValue()))
        startTimer();
}

// The limits are those of the tick, not re-checked for order: should they have crossed since
// the change, the value ends at the lower one.
bool FloatLimiterGui::onTimer() {
    if (value.getValue() > upper.getValue()) value.setValue(upper.getValue());
    if (lower.getValue() > value.getValue()) value.setValue(lower.getValue());
    return false;
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerGuiModule(u"VL Float Limiter", &gmpi::createGui<zr::FloatLimiterGui>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL Float Limiter", "Float Limiter", "Sub-Controls/Conversion");
} // namespace
