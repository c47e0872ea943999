// Int patch memory: an int value kept with the patch and relayed to the panel. The audio halves
// of "VL PatchMemory Int" and "VL PatchMemory Int Out" (the same copy, pin 1 named as the "Out"
// family names it), and the GUI halves of the plain and the "Out" layouts.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

class PatchMemoryInt final : public PatchMemoryCopy<gmpi::IntInPin, gmpi::IntOutPin> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

class PatchMemoryIntOut final : public PatchMemoryCopy<gmpi::IntInPin, gmpi::IntOutPin, true> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

class PatchMemoryIntGui final : public PatchMemoryValueGui<int32> {
  public:
    using PatchMemoryValueGui::PatchMemoryValueGui;
};

class PatchMemoryIntOutGui final : public PatchMemoryOutGui<int32, false, true> {
  public:
    using PatchMemoryOutGui::PatchMemoryOutGui;
};

} // namespace zr
