// "ZR Full Path Memory-x16", audio half: publishes the full path that the host resolves for
// the file name on pin 0.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

class FullPathX final : public gmpi::MpBase {
  public:
    explicit FullPathX(gmpi::IMpUnknown* host);

    void pinsChanged() override;

  private:
    gmpi::StringInPin fileName{"File Name"};
    gmpi::StringOutPin fullPath{"Full Path"};
};

} // namespace zr
