// Bool patch memory: registrations and the description of "VL PatchMemory Bool Out".
#include "modules/patchmemory/PatchMemoryBool.h"

#include "framework/mp_factory.h"

namespace {

// The patch writes parameter 0 through audio pin 1; the GUI half shows its fields on the
// panel. GUI pin 7 (the float class's legacy pin) does not exist here.
constexpr const char* kBoolOutDescription = R"xml(<?xml version="1.0" encoding="utf-8" ?>
<PluginList>
  <Plugin id="VL PatchMemory Bool Out" name="PatchMemory Bool Out" category="Sub-Controls" helpUrl="Patchmemory.htm" graphicsApi="none">
    <Parameters>
      <Parameter id="0" datatype="bool" />
    </Parameters>
    <Audio>
      <Pin id="0" name="Value In" direction="in" datatype="bool" />
      <Pin id="1" name="PM Value Out" direction="out" datatype="bool" parameterId="0" private="true" autoConfigureParameter="true" />
    </Audio>
    <GUI>
      <Pin id="0" name="PM Value In" direction="in" datatype="bool" parameterId="0" />
      <Pin id="1" name="PM Name In" direction="in" datatype="string" parameterId="0" parameterField="ShortName" />
      <Pin id="2" name="PM Menu Items" direction="in" datatype="string" parameterId="0" parameterField="MenuItems" />
      <Pin id="3" name="PM Menu Selection" direction="in" datatype="int" parameterId="0" parameterField="MenuSelection" />
      <Pin id="4" name="AnimationIn" direction="in" datatype="float" parameterId="0" parameterField="Normalized" />
      <Pin id="5" name="Name" direction="out" datatype="string" />
      <Pin id="6" name="Value" direction="out" datatype="bool" />
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
    registerAudioModule(u"VL PatchMemory Bool", &createAudio<zr::PatchMemoryBool>);
const gmpi::int32 registeredOutAudio =
    registerAudioModule(u"VL PatchMemory Bool Out", &createAudio<zr::PatchMemoryBool>);
const gmpi::int32 registeredGui =
    registerGuiModule(u"VL PatchMemory Bool", &createGui<zr::PatchMemoryBoolGui>);
const gmpi::int32 registeredOutGui =
    registerGuiModule(u"VL PatchMemory Bool Out", &createGui<zr::PatchMemoryBoolOutGui>);
const gmpi::int32 describedOut = gmpi::registerDescriptionBlock(kBoolOutDescription);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL PatchMemory Bool", "PatchMemory Bool", "Sub-Controls");

} // namespace
