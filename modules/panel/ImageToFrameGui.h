// "Veloran Image to Frame" and "Veloran Image to Frame (old)": converts between an animated
// bitmap's position (0 .. 1) and its frame number (0 .. Frame Count - 1), both ways.
#pragma once

#include "framework/mp_gui.h"

#include <cstdint>

namespace zr {

class ImageToFrameGui final : public gmpi::MpGuiBase {
  public:
    explicit ImageToFrameGui(gmpi::IMpUnknown* host);

  private:
    void onPosition();
    void onFrame();
    // Frame Count - 1, the number of steps between the first and the last frame. A count
    // below 1 (no frames) is taken as one frame, so that no step count is negative.
    std::int64_t steps() const;

    gmpi::GuiFloatPin position{"Animation Position", gmpi::DirectionOut};
    gmpi::GuiIntPin frameCount{"Frame Count"};
    gmpi::GuiIntPin frameNumber{"Frame Number"};
};

} // namespace zr
