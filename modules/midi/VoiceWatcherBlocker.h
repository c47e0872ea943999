// "Veloran VoiceWatcherBlocker": passes audio through unchanged and gives its output the
// streaming state of its input.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

using gmpi::int32;

class VoiceWatcherBlocker : public gmpi::MpBase {
  public:
    explicit VoiceWatcherBlocker(gmpi::IMpUnknown* host);

    void pinsChanged() override;
    void subProcessCopy(int32 bufferOffset, int32 sampleFrames);

  private:
    gmpi::AudioInPin input{"Input"};
    gmpi::AudioOutPin output{"Output"};
};

} // namespace zr
