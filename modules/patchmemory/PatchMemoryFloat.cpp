// Float patch memory: registrations and the description of the two float "Out" identifiers
// (the plain "VL PatchMemory Float" is described together with "VL PatchMemory Int Out").
#include "modules/patchmemory/PatchMemoryFloat.h"

#include "framework/mp_factory.h"

namespace {

// The patch writes parameter 0 through audio pin 1. "B2" differs only in its name, its
// category and in showing the legacy GUI pin 7 instead of minimising it.
constexpr const char* kFloatOutDescription = R"xml(<?xml version="1.0" encoding="utf-8" ?>
<PluginList>
  <Plugin id="VL PatchMemory Float Out" name="PatchMemory Float Out3" category="Sub-Controls" helpUrl="Patchmemory.htm" graphicsApi="none">
    <Parameters>
      <Parameter id="0" datatype="float" direction="out" />
    </Parameters>
    <Audio>
      <Pin id="0" name="Value In" direction="in" datatype="float" />
      <Pin id="1" name="PM Value Out" direction="out" datatype="float" parameterId="0" private="true" autoConfigureParameter="true" />
    </Audio>
    <GUI>
      <Pin id="0" name="PM Value In" direction="in" datatype="float" parameterId="0" />
      <Pin id="1" name="PM Name In" direction="in" datatype="string" parameterId="0" parameterField="ShortName" />
      <Pin id="2" name="PM Menu Items" direction="in" datatype="string" parameterId="0" parameterField="MenuItems" />
      <Pin id="3" name="PM Menu Selection" direction="in" datatype="int" parameterId="0" parameterField="MenuSelection" />
      <Pin id="4" name="AnimationIn" direction="in" datatype="float" parameterId="0" parameterField="Normalized" />
      <Pin id="5" name="Name" direction="out" datatype="string" />
      <Pin id="6" name="Value" direction="out" datatype="float" />
      <Pin id="7" name="Value Out" direction="in" datatype="float" isMinimised="true" />
      <Pin id="8" name="Animation Position" direction="out" datatype="float" />
      <Pin id="9" name="Menu Items" direction="out" datatype="string" />
      <Pin id="10" name="Menu Selection" direction="out" datatype="int" />
    </GUI>
  </Plugin>
  <Plugin id="VL PatchMemory Float Out B2" name="PatchMemory Float Out B2" category="Debug" helpUrl="Patchmemory.htm" graphicsApi="none">
    <Parameters>
      <Parameter id="0" datatype="float" direction="out" />
    </Parameters>
    <Audio>
      <Pin id="0" name="Value In" direction="in" datatype="float" />
      <Pin id="1" name="PM Value Out" direction="out" datatype="float" parameterId="0" private="true" autoConfigureParameter="true" />
    </Audio>
    <GUI>
      <Pin id="0" name="PM Value In" direction="in" datatype="float" parameterId="0" />
      <Pin id="1" name="PM Name In" direction="in" datatype="string" parameterId="0" parameterField="ShortName" />
      <Pin id="2" name="PM Menu Items" direction="in" datatype="string" parameterId="0" parameterField="MenuItems" />
      <Pin id="3" name="PM Menu Selection" direction="in" datatype="int" parameterId="0" parameterField="MenuSelection" />
      <Pin id="4" name="AnimationIn" direction="in" datatype="float" parameterId="0" parameterField="Normalized" />
      <Pin id="5" name="Name" direction="out" datatype="string" />
      <Pin id="6" name="Value" direction="out" datatype="float" />
      <Pin id="7" name="Value Out" direction="in" datatype="float" />
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
    registerAudioModule(u"VL PatchMemory Float", &createAudio<zr::PatchMemoryFloat>);
const gmpi::int32 registeredOutAudio =
    registerAudioModule(u"VL PatchMemory Float Out", &createAudio<zr::PatchMemoryFloat>);
const gmpi::int32 registeredOutB2Audio =
    registerAudioModule(u"VL PatchMemory Float Out B2", &createAudio<zr::PatchMemoryFloat>);
const gmpi::int32 registeredGui =
    registerGuiModule(u"VL PatchMemory Float", &createGui<zr::PatchMemoryFloatGui>);
const gmpi::int32 registeredOutGui =
    registerGuiModule(u"VL PatchMemory Float Out", &createGui<zr::PatchMemoryFloatOutGui>);
const gmpi::int32 registeredOutB2Gui =
    registerGuiModule(u"VL PatchMemory Float Out B2", &createGui<zr::PatchMemoryFloatOutGui>);
const gmpi::int32 describedOut = gmpi::registerDescriptionBlock(kFloatOutDescription);

} // namespace
