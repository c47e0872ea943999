// Bool patch memory: a bool value kept with the patch and relayed to the panel. The audio halves
// of "VL PatchMemory Bool" and "VL PatchMemory Bool Out" (the same copy, pin 1 named as the
// "Out" family names it), and the GUI halves of the plain and the "Out" layouts.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

class PatchMemoryBool final : public PatchMemoryCopy<gmpi::BoolInPin, gmpi::BoolOutPin> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

class PatchMemoryBoolOut final : public PatchMemoryCopy<gmpi::BoolInPin, gmpi::BoolOutPin, true> {
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
