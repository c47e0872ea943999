// Float patch memory: a float value kept with the patch and relayed to the panel. The audio
// halves of "VL PatchMemory Float" and of its two "Out" identifiers (the same copy, pin 1 named
// as the "Out" family names it), and the GUI halves of the plain and the "Out" layouts.
#pragma once

#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

class PatchMemoryFloat final : public PatchMemoryCopy<gmpi::FloatInPin, gmpi::FloatOutPin> {
  public:
    using PatchMemoryCopy::PatchMemoryCopy;
};

class PatchMemoryFloatOut final
    : public PatchMemoryCopy<gmpi::FloatInPin, gmpi::FloatOutPin, true> {
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
