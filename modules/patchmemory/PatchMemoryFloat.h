// Float patch memory: the audio half shared by "VL PatchMemory Float", "VL PatchMemory Float
// Out" and "VL PatchMemory Float Out B2", and the GUI halves of the plain and the "Out" layouts.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

class PatchMemoryFloat final : public PatchMemoryCopy<gmpi::FloatInPin, gmpi::FloatOutPin> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

class PatchMemoryFloatGui final : public PatchMemoryValueGui<float> {
  public:
    using PatchMemoryValueGui::PatchMemoryValueGui;
};

// Keeps the legacy "Value Out" pin (7) written from the value.
class PatchMemoryFloatOutGui final : public PatchMemoryOutGui<float, true, true> {
  public:
    using PatchMemoryOutGui::PatchMemoryOutGui;
};

} // namespace zr
