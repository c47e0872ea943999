// "VL dBToAnimation": decibels to a 0 .. 1 meter position, in single precision.
#include "modules/panel/DbToAnimationGui.h"

#include "framework/mp_factory.h"

namespace zr {

DbToAnimationGui::DbToAnimationGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    initializePin(0, animationPosition, &DbToAnimationGui::onNothing);
    initializePin(1, db, &DbToAnimationGui::onDb);
}

float DbToAnimationGui::position(float d) {
    float p;
    if (d >= -3.0f)
        p = (d + 3.0f) * 0.1f + 0.4f;
    else if (d >= -8.75f)
        p = (d + 7.0f) * 0.05f + 0.2f;
    else
        p = (d + 20.0f) * 0.01f;
    if (!(p >= 0.0f)) p = 0.0f; // below 0, or NaN
    if (p > 1.0f) p = 1.0f;
    return p;
}

void DbToAnimationGui::onDb() {
    animationPosition.setValue(position(db.getValue()));
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL dBToAnimation", &gmpi::createGui<zr::DbToAnimationGui>);
} // namespace
