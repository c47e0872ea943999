// Int patch memory: registrations, and the description shared by "VL PatchMemory Float" and
// "VL PatchMemory Int Out" (handed over after the last registration it describes).
#include "modules/patchmemory/PatchMemoryInt.h"

#include "framework/mp_factory.h"

namespace {

// "VL PatchMemory Float": parameter 0 drives audio pin 0, which pin 1 republishes; the GUI
// relays six parameter fields to the panel. "VL PatchMemory Int Out": the patch writes
// parameter 0 through audio pin 1 (GUI pin 7 does not exist in the int class).
constexpr const char* kFloatIntOutDescription = R"xml(<?xml version="1.0" encoding="utf-8" ?>
<PluginList>
  <Plugin id="VL PatchMemory Float" name="PatchMemory Float3" category="Sub-Controls" helpUrl="Patchmemory.htm" graphicsApi="none">
    <Parameters>
      <Parameter id="0" datatype="float" />
    </Parameters>
    <Audio>
      <Pin id="0" name="Value In" direction="in" datatype="float" parameterId="0" />
      <Pin id="1" name="Value Out" direction="out" datatype="float" autoConfigureParameter="true" />
    </Audio>
    <GUI>
      <Pin id="0" name="Value In" direction="in" datatype="float" parameterId="0" />
      <Pin id="1" name="Name In" direction="in" datatype="string" parameterId="0" parameterField="ShortName" />
      <Pin id="2" name="Menu Items" direction="in" datatype="string" parameterId="0" parameterField="MenuItems" />
      <Pin id="3" name="Menu Selection" direction="in" datatype="int" parameterId="0" parameterField="MenuSelection" />
      <Pin id="4" name="Mouse Down" direction="in" datatype="bool" parameterId="0" parameterField="Grab" />
      <Pin id="5" name="AnimationIn" direction="in" datatype="float" parameterId="0" parameterField="Normalized" />
      <Pin id="6" name="Name" direction="out" datatype="string" />
      <Pin id="7" name="Value" direction="out" datatype="float" />
      <Pin id="8" name="Animation Position" direction="out" datatype="float" />
      <Pin id="9" name="Menu Items" direction="out" datatype="string" />
      <Pin id="10" name="Menu Selection" direction="out" datatype="int" />
      <Pin id="11" name="Mouse Down" direction="out" datatype="bool" />
    </GUI>
  </Plugin>
  <Plugin id="VL PatchMemory Int Out" name="PatchMemory Int Out" category="Sub-Controls" helpUrl="Patchmemory.htm" graphicsApi="none">
    <Parameters>
      <Parameter id="0" datatype="int" />
    </Parameters>
    <Audio>
      <Pin id="0" name="Value In" direction="in" datatype="int" />
      <Pin id="1" name="PM Value Out" direction="out" datatype="int" parameterId="0" private="true" autoConfigureParameter="true" />
    </Audio>
    <GUI>
      <Pin id="0" name="PM Value In" direction="in" datatype="int" parameterId="0" />
      <Pin id="1" name="PM Name In" direction="in" datatype="string" parameterId="0" parameterField="ShortName" />
      <Pin id="2" name="PM Menu Items" direction="in" datatype="string" parameterId="0" parameterField="MenuItems" />
      <Pin id="3" name="PM Menu Selection" direction="in" datatype="int" parameterId="0" parameterField="MenuSelection" />
      <Pin id="4" name="AnimationIn" direction="in" datatype="float" parameterId="0" parameterField="Normalized" />
      <Pin id="5" name="Name" direction="out" datatype="string" />
      <Pin id="6" name="Value" direction="out" datatype="int" />
      <Pin id="8" name="Animation Position" direction="out" datatype="float" />
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
    registerAudioModule(u"VL PatchMemory Int", &createAudio<zr::PatchMemoryInt>);
const gmpi::int32 registeredOutAudio =
    registerAudioModule(u"VL PatchMemory Int Out", &createAudio<zr::PatchMemoryInt>);
const gmpi::int32 registeredGui =
    registerGuiModule(u"VL PatchMemory Int", &createGui<zr::PatchMemoryIntGui>);
const gmpi::int32 registeredOutGui =
    registerGuiModule(u"VL PatchMemory Int Out", &createGui<zr::PatchMemoryIntOutGui>);
const gmpi::int32 describedFloatIntOut = gmpi::registerDescriptionBlock(kFloatIntOutDescription);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL PatchMemory Int", "PatchMemory Int", "Sub-Controls");

} // namespace
