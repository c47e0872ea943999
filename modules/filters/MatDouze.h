// "ZR MATRICE 12": twelve voltage-controlled amplifiers sharing one control signal. Each of
// twelve inputs is multiplied by the common input and leaves on its own output.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace zr {

class MatDouze : public gmpi::MpBase {
  public:
    static constexpr int kChannels = 12;

    explicit MatDouze(gmpi::IMpUnknown* host);

    void pinsChanged() override;

    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);
    void subProcessMultiply(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames);

  private:
    gmpi::AudioInPin commonIn{"Common"};
    gmpi::AudioInPin channelIn[kChannels] = {
        gmpi::AudioInPin{"Channel In 1"},  gmpi::AudioInPin{"Channel In 2"},
        gmpi::AudioInPin{"Channel In 3"},  gmpi::AudioInPin{"Channel In 4"},
        gmpi::AudioInPin{"Channel In 5"},  gmpi::AudioInPin{"Channel In 6"},
        gmpi::AudioInPin{"Channel In 7"},  gmpi::AudioInPin{"Channel In 8"},
        gmpi::AudioInPin{"Channel In 9"},  gmpi::AudioInPin{"Channel In 10"},
        gmpi::AudioInPin{"Channel In 11"}, gmpi::AudioInPin{"Channel In 12"}};
    gmpi::AudioOutPin channelOut[kChannels] = {
        gmpi::AudioOutPin{"Channel Out 1"},  gmpi::AudioOutPin{"Channel Out 2"},
        gmpi::AudioOutPin{"Channel Out 3"},  gmpi::AudioOutPin{"Channel Out 4"},
        gmpi::AudioOutPin{"Channel Out 5"},  gmpi::AudioOutPin{"Channel Out 6"},
        gmpi::AudioOutPin{"Channel Out 7"},  gmpi::AudioOutPin{"Channel Out 8"},
        gmpi::AudioOutPin{"Channel Out 9"},  gmpi::AudioOutPin{"Channel Out 10"},
        gmpi::AudioOutPin{"Channel Out 11"}, gmpi::AudioOutPin{"Channel Out 12"}};
    gmpi::IntInPin onIn{"On"};
};

} // namespace zr
