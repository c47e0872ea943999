// Int patch memory: the audio half shared by "VL PatchMemory Int" and "VL PatchMemory Int Out",
// and the GUI halves of the plain and the "Out" layouts.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

class PatchMemoryInt final : public PatchMemoryCopy<gmpi::IntInPin, gmpi::IntOutPin> {
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
