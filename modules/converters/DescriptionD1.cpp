// Description block D1: one XML text describing the converters and the formula, scaling and
// panel modules that share it. Each family's entries are written below as their own constant,
// in the order of the family's table, and composed once into the block handed to the host.
#include "framework/mp_factory.h"

#include <string>

namespace {

// Audio-side value converters ("VL IntToBool" ... "VL ListToInt").
constexpr const char* kAudioConverterEntries = "";

// GUI-side value converters ("VL IntToBool GUI" ... "VL BlobToText GUI").
constexpr const char* kGuiConverterEntries = "";

// Expression evaluator modules ("VL Float Function DSP", "VL Float Function GUI").
constexpr const char* kFormulaEntries = "";

// Scaling and number formatting ("VL Float Scaler2", "VL FloatToText GUI").
constexpr const char* kScalingEntries = "";

// Panel utilities ("VL Command Trigger", "VL Int to Bools", "VL Bools to Int",
// "Veloran Image to Frame (old)", "Veloran Image to Frame", "VL ListToText",
// "VL dBToAnimation").
constexpr const char* kPanelEntries =
    R"xml(  <Plugin id="VL Int to Bools" name="Int to Bools" category="Sub-Controls/Conversion" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Value" direction="in" datatype="int" />
      <Pin id="1" name="Spare" direction="out" datatype="bool" autoDuplicate="true" autoRename="true" />
    </GUI>
  </Plugin>
  <Plugin id="VL Bools to Int" name="Int to Bools" category="Sub-Controls/Old" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Value" direction="in" datatype="int" />
      <Pin id="1" name="Spare" direction="out" datatype="bool" autoDuplicate="true" autoRename="true" />
    </GUI>
  </Plugin>
  <Plugin id="VL Command Trigger" name="Command Trigger" category="Sub-Controls/Conversion" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Command" direction="in" datatype="int" />
      <Pin id="1" name="Spare" direction="out" datatype="bool" autoDuplicate="true" autoRename="true" />
    </GUI>
  </Plugin>
  <!-- Frame Count stays an output here, as old patches wired it. -->
  <Plugin id="Veloran Image to Frame (old)" name="Image to Frame (old)" category="Old" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Animation Position" direction="out" datatype="float" />
      <Pin id="1" name="Frame Count" direction="out" datatype="int" />
      <Pin id="2" name="Frame Number" direction="in" datatype="int" />
    </GUI>
  </Plugin>
  <Plugin id="Veloran Image to Frame" name="Image to Frame" category="Sub-Controls" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Animation Position" direction="out" datatype="float" />
      <Pin id="1" name="Frame Count" direction="in" datatype="int" />
      <Pin id="2" name="Frame Number" direction="in" datatype="int" />
    </GUI>
  </Plugin>
  <Plugin id="VL ListToText" name="List to Text" category="Sub-Controls/Conversion" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Choice" direction="in" datatype="int" />
      <Pin id="1" name="Item List" direction="in" datatype="string" />
      <Pin id="2" name="Item Text" direction="out" datatype="string" />
    </GUI>
  </Plugin>
  <Plugin id="VL dBToAnimation" name="dB to Animation" category="Sub-Controls/Conversion" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Animation Position" direction="out" datatype="float" />
      <Pin id="1" name="Db" direction="in" datatype="float" />
    </GUI>
  </Plugin>
)xml";

const std::string& blockD1() {
    static const std::string block = std::string("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
                                                 "<PluginList>\n") +
                                     kAudioConverterEntries + kGuiConverterEntries +
                                     kFormulaEntries + kScalingEntries + kPanelEntries +
                                     "</PluginList>\n";
    return block;
}

// Registration order across sources is not fixed, and the block describes modules of several
// sources; the host keeps nothing from it, so handing it over here is equivalent.
const gmpi::int32 describedD1 = gmpi::registerDescriptionBlock(blockD1().c_str());

} // namespace
