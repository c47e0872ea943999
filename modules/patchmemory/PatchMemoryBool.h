// Bool patch memory: the audio half shared by "VL PatchMemory Bool" and "VL PatchMemory Bool
// Out", and the GUI halves of the plain and the "Out" layouts.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

class PatchMemoryBool final : public PatchMemoryCopy<gmpi::BoolInPin, gmpi::BoolOutPin> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

class PatchMemoryBoolGui final : public PatchMemoryValueGui<bool> {
  public:
    using PatchMemoryValueGui::PatchMemoryValueGui;
};

class PatchMemoryBoolOutGui final : public PatchMemoryOutGui<bool, false, true> {
  public:
    using PatchMemoryOutGui::PatchMemoryOutGui;
};

} // namespace zr
