// "VL Float Limiter": keeps a panel value between a lower and an upper limit, correcting an
// out-of-range value one shared-timer tick after it arrives.
#pragma once

#include "framework/mp_gui.h"
#include "framework/platform/timer.h"

namespace zr {

class FloatLimiterGui final : public gmpi::MpGuiBase, public gmpi::TimerClient {
  public:
    // Sets the process-wide GUI timer interval to 20 ms.
    explicit FloatLimiterGui(gmpi::IMpUnknown* host);
    // Leaves the timer before the members a tick reads are gone.
    ~FloatLimiterGui() override { stopTimer(); }
    bool onTimer() override;

  private:
    void onAnyPin();

    gmpi::GuiFloatPin lower{"Minimum"};
    gmpi::GuiFloatPin upper{"Maximum"};
    gmpi::GuiFloatPin value{"Value"};
};

} // namespace zr
