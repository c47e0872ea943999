// "Veloran Image to Frame" / "(old)": position <-> frame number, in single precision.
#include "modules/panel/ImageToFrameGui.h"

#include "framework/mp_factory.h"

#include <cmath>

namespace zr {

ImageToFrameGui::ImageToFrameGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    using G = ImageToFrameGui;
    initializePin(0, position, &G::onPosition);
    initializePin(1, frameCount, &G::onFrame);
    initializePin(2, frameNumber, &G::onFrame);
}

std::int64_t ImageToFrameGui::steps() const {
    const std::int64_t count = frameCount.getValue();
    return count < 1 ? 0 : count - 1;
}

// The nearest frame: truncate(steps * position + 0.5). A position that gives no number (NaN,
// or infinity times zero steps) leaves the frame as it is; one beyond the int32 range gives
// the nearest end of it.
void ImageToFrameGui::onPosition() {
    const float f = static_cast<float>(steps()) * position.getValue() + 0.5f;
    if (std::isnan(f)) return;
    gmpi::int32 frame;
    if (f >= 2147483648.0f)
        frame = 2147483647;
    else if (f <= -2147483648.0f)
        frame = -2147483647 - 1;
    else
        frame = static_cast<gmpi::int32>(f);
    frameNumber.setValue(frame);
}

void ImageToFrameGui::onFrame() {
    const std::int64_t divisor = steps() == 0 ? 1 : steps();
    position.setValue(static_cast<float>(frameNumber.getValue()) / static_cast<float>(divisor));
}

} // namespace zr

namespace {
using gmpi::createGui;
using gmpi::registerGuiModule;
const gmpi::int32 registeredGui =
    registerGuiModule(u"Veloran Image to Frame", &createGui<zr::ImageToFrameGui>);
const gmpi::int32 registeredOldGui =
    registerGuiModule(u"Veloran Image to Frame (old)", &createGui<zr::ImageToFrameGui>);
} // namespace
