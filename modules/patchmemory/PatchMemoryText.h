// Text patch memory: the audio half shared by "VL PatchMemory Text2" and "VL PatchMemory Text
// Out", and the GUI halves of the text layout and the "Out" layout.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

#include <string>

namespace zr {

class PatchMemoryText final : public PatchMemoryCopy<gmpi::StringInPin, gmpi::StringOutPin> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

class PatchMemoryTextGui final : public PatchMemoryTextLikeGui<std::u16string> {
  public:
    using PatchMemoryTextLikeGui::PatchMemoryTextLikeGui;
};

// No animation pins: a text parameter has no normalised position.
class PatchMemoryTextOutGui final : public PatchMemoryOutGui<std::u16string, false, false> {
  public:
    using PatchMemoryOutGui::PatchMemoryOutGui;
};

} // namespace zr
