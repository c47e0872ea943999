// Text patch memory: registrations and the description of its two identifiers.
#include "modules/patchmemory/PatchMemoryText.h"

#include "framework/mp_factory.h"

namespace {

// "VL PatchMemory Text2": parameter 0 drives audio pin 0, which pin 1 republishes.
// "VL PatchMemory Text Out": the patch writes parameter 0 through audio pin 1. Its GUI class
// binds neither pin 4 (a text has no normalised position, so pin 4 is left out here) nor
// pin 8, which stays listed as private so that the pin numbering of the "Out" family holds.
constexpr const char* kTextDescription = R"xml(<?xml version="1.0" encoding="utf-8" ?>
<PluginList>
  <Plugin id="VL PatchMemory Text2" name="PatchMemory Text2" category="Sub-Controls" helpUrl="Patchmemory.htm" graphicsApi="none">
    <Parameters>
      <Parameter id="0" datatype="string" />
    </Parameters>
    <Audio>
      <Pin id="0" name="Value In" direction="in" datatype="string" parameterId="0" />
      <Pin id="1" name="Value Out" direction="out" datatype="string" autoConfigureParameter="true" />
    </Audio>
    <GUI>
      <Pin id="0" name="Value In" direction="in" datatype="string" parameterId="0" />
      <Pin id="1" name="Name In" direction="in" datatype="string" parameterId="0" parameterField="ShortName" />
      <Pin id="2" name="File Extension" direction="in" datatype="string" parameterId="0" parameterField="FileExtension" />
      <Pin id="3" name="Menu Items" direction="in" datatype="string" parameterId="0" parameterField="MenuItems" />
      <Pin id="4" name="Menu Selection" direction="in" datatype="int" parameterId="0" parameterField="MenuSelection" />
      <Pin id="5" name="Name" direction="out" datatype="string" />
      <Pin id="6" name="Value" direction="out" datatype="string" />
      <Pin id="7" name="File Extension" direction="out" datatype="string" />
      <Pin id="8" name="Menu Items" direction="out" datatype="string" />
      <Pin id="9" name="Menu Selection" direction="out" datatype="int" />
    </GUI>
  </Plugin>
  <Plugin id="VL PatchMemory Text Out" name="PatchMemory Text Out" category="Sub-Controls" helpUrl="Patchmemory.htm" graphicsApi="none">
    <Parameters>
      <Parameter id="0" datatype="string" />
    </Parameters>
    <Audio>
      <Pin id="0" name="Value In" direction="in" datatype="string" />
      <Pin id="1" name="PM Value Out" direction="out" datatype="string" parameterId="0" private="true" autoConfigureParameter="true" />
    </Audio>
    <GUI>
      <Pin id="0" name="PM Value In" direction="in" datatype="string" parameterId="0" />
      <Pin id="1" name="PM Name In" direction="in" datatype="string" parameterId="0" parameterField="ShortName" />
      <Pin id="2" name="PM Menu Items" direction="in" datatype="string" parameterId="0" parameterField="MenuItems" />
      <Pin id="3" name="PM Menu Selection" direction="in" datatype="int" parameterId="0" parameterField="MenuSelection" />
      <Pin id="5" name="Name" direction="out" datatype="string" />
      <Pin id="6" name="Value" direction="out" datatype="string" />
      <Pin id="8" name="Animation Position" direction="out" datatype="float" private="true" />
      <Pin id="9" name="Menu Items" direction="out" datatype="string" />
      <Pin id="10" name="Menu Selection" direction="out" datatype="int" />
    </GUI>
  </Plugin>
</PluginList>
)xml";

using gmpi::createAudio;
using gmpi::createGui;
using gmpi::registerAudioModule;
using gmpi::registerGuiModule;

const gmpi::int32 registeredAudio =
    registerAudioModule(u"VL PatchMemory Text2", &createAudio<zr::PatchMemoryText>);
const gmpi::int32 registeredOutAudio =
    registerAudioModule(u"VL PatchMemory Text Out", &createAudio<zr::PatchMemoryText>);
const gmpi::int32 registeredGui =
    registerGuiModule(u"VL PatchMemory Text2", &createGui<zr::PatchMemoryTextGui>);
const gmpi::int32 registeredOutGui =
    registerGuiModule(u"VL PatchMemory Text Out", &createGui<zr::PatchMemoryTextOutGui>);
const gmpi::int32 describedText = gmpi::registerDescriptionBlock(kTextDescription);

} // namespace
