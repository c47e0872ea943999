// Description block D1: one XML text describing the converters and the formula, scaling and
// panel modules that share it. Each family's entries are written below as their own constant,
// in the order of the family's table, and composed once into the block handed to the host.
#include "framework/mp_factory.h"

#include <string>

namespace {

// Audio-side value converters ("VL IntToBool" ... "VL ListToInt"). "VL ListToInt" is kept for
// old patches only, hence "Obsolete"; the host shows its pin 0 as a list, the module reads the
// index as an int.
constexpr const char* kAudioConverterEntries = R"xml(
  <Plugin id="VL IntToBool" name="Int to Bool" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Int Val" direction="in" datatype="int" />
      <Pin id="1" name="Bool Val" direction="out" datatype="bool" />
    </Audio>
  </Plugin>
  <Plugin id="VL IntToFloat" name="Int To Float" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Int Val" direction="in" datatype="int" />
      <Pin id="1" name="Float Val" direction="out" datatype="float" />
    </Audio>
  </Plugin>
  <Plugin id="VL IntToText" name="Int To Text" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Int Val" direction="in" datatype="int" />
      <Pin id="1" name="Text Val" direction="out" datatype="string" />
    </Audio>
  </Plugin>
  <Plugin id="VL FloatToInt" name="Float To Int" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Float Val" direction="in" datatype="float" />
      <Pin id="1" name="Int Val" direction="out" datatype="int" />
    </Audio>
  </Plugin>
  <Plugin id="VL FloatToBool" name="Float To Bool" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Float Val" direction="in" datatype="float" />
      <Pin id="1" name="Bool Val" direction="out" datatype="bool" />
    </Audio>
  </Plugin>
  <Plugin id="VL FloatToText" name="Float To Text" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Float Val" direction="in" datatype="float" />
      <Pin id="1" name="Text Val" direction="out" datatype="string" />
    </Audio>
  </Plugin>
  <Plugin id="VL BoolToInt" name="Bool To Int" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Bool Val" direction="in" datatype="bool" />
      <Pin id="1" name="Int Val" direction="out" datatype="int" />
    </Audio>
  </Plugin>
  <Plugin id="VL BoolToFloat" name="Bool To Float" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Bool Val" direction="in" datatype="bool" />
      <Pin id="1" name="Float Val" direction="out" datatype="float" />
    </Audio>
  </Plugin>
  <Plugin id="VL BoolToText" name="Bool To Text" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Bool Val" direction="in" datatype="bool" />
      <Pin id="1" name="Text Val" direction="out" datatype="string" />
    </Audio>
  </Plugin>
  <Plugin id="VL TextToInt" name="Text To Int" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Text Val" direction="in" datatype="string" />
      <Pin id="1" name="Int Val" direction="out" datatype="int" />
    </Audio>
  </Plugin>
  <Plugin id="VL TextToFloat" name="Text To Float" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Text Val" direction="in" datatype="string" />
      <Pin id="1" name="Float Val" direction="out" datatype="float" />
    </Audio>
  </Plugin>
  <Plugin id="VL TextToBool" name="Text To Bool" category="Conversion" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="Text Val" direction="in" datatype="string" />
      <Pin id="1" name="Bool Val" direction="out" datatype="bool" />
    </Audio>
  </Plugin>
  <Plugin id="VL ListToInt" name="List To Int" category="Obsolete" helpUrl="converters.htm">
    <Audio>
      <Pin id="0" name="List Val" direction="in" datatype="enum" />
      <Pin id="1" name="Int Val" direction="out" datatype="int" />
    </Audio>
  </Plugin>
)xml";

// GUI-side value converters ("VL IntToBool GUI" ... "VL BlobToText GUI").
constexpr const char* kGuiConverterEntries = R"xml(
  <Plugin id="VL IntToBool GUI" name="Int to Bool" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Int Val" direction="in" datatype="int" />
      <Pin id="1" name="Bool Val" direction="out" datatype="bool" />
    </GUI>
  </Plugin>
  <Plugin id="VL IntToFloat GUI" name="Int To Float" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Int Val" direction="in" datatype="int" />
      <Pin id="1" name="Float Val" direction="out" datatype="float" />
    </GUI>
  </Plugin>
  <Plugin id="VL IntToText GUI" name="Int To Text" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Int Val" direction="in" datatype="int" />
      <Pin id="1" name="Text Val" direction="out" datatype="string" />
    </GUI>
  </Plugin>
  <Plugin id="VL FloatToInt GUI" name="Float To Int" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Float Val" direction="in" datatype="float" />
      <Pin id="1" name="Int Val" direction="out" datatype="int" />
    </GUI>
  </Plugin>
  <Plugin id="VL FloatToBool GUI" name="Float To Bool" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Float Val" direction="in" datatype="float" />
      <Pin id="1" name="Bool Val" direction="out" datatype="bool" />
    </GUI>
  </Plugin>
  <Plugin id="VL BoolToInt GUI" name="Bool To Int" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Bool Val" direction="in" datatype="bool" />
      <Pin id="1" name="Int Val" direction="out" datatype="int" />
    </GUI>
  </Plugin>
  <Plugin id="VL BoolToFloat GUI" name="Bool To Float" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Bool Val" direction="in" datatype="bool" />
      <Pin id="1" name="Float Val" direction="out" datatype="float" />
    </GUI>
  </Plugin>
  <Plugin id="VL BoolToText GUI" name="Bool To Text" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Bool Val" direction="in" datatype="bool" />
      <Pin id="1" name="Text Val" direction="out" datatype="string" />
    </GUI>
  </Plugin>
  <Plugin id="VL TextToInt GUI" name="Text To Int" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Text Val" direction="in" datatype="string" />
      <Pin id="1" name="Int Val" direction="out" datatype="int" />
    </GUI>
  </Plugin>
  <Plugin id="VL TextToFloat GUI" name="Text To Float" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Text Val" direction="in" datatype="string" />
      <Pin id="1" name="Float Val" direction="out" datatype="float" />
    </GUI>
  </Plugin>
  <Plugin id="VL TextToBool GUI" name="Text To Bool" category="Sub-Controls/Conversion" helpUrl="Sub-control-converters.htm">
    <GUI>
      <Pin id="0" name="Text Val" direction="in" datatype="string" />
      <Pin id="1" name="Bool Val" direction="out" datatype="bool" />
    </GUI>
  </Plugin>
  <Plugin id="VL TextToBlob GUI" name="Text to Blob" category="Sub-Controls/Conversion" helpUrl="converters.htm" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Value In" direction="in" datatype="string" />
      <Pin id="1" name="Value Out" direction="out" datatype="blob" />
    </GUI>
  </Plugin>
  <Plugin id="VL BlobToText GUI" name="Blob to Text" category="Sub-Controls/Conversion" helpUrl="converters.htm" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Value In" direction="in" datatype="blob" />
      <Pin id="1" name="Value Out" direction="out" datatype="string" />
    </GUI>
  </Plugin>
)xml";

// Expression evaluator modules ("VL Float Function DSP", "VL Float Function GUI").
constexpr const char* kFormulaEntries =
    R"xml(  <Plugin id="VL Float Function GUI" name="Float Function" category="Sub-Controls/Conversion" helpUrl="FloatFunction.htm" graphicsApi="none">
    <GUI>
      <Pin id="0" name="A" direction="in" datatype="float" />
      <Pin id="1" name="B" direction="out" datatype="float" />
      <Pin id="2" name="Formula: A=" direction="in" datatype="string" default="B*2" />
      <Pin id="3" name="Formula: B=" direction="in" datatype="string" default="A/2" />
    </GUI>
  </Plugin>
  <Plugin id="VL Float Function DSP" name="Float Function" category="Conversion" helpUrl="FloatFunction.htm">
    <Audio>
      <Pin id="0" name="A" direction="in" datatype="float" />
      <Pin id="1" name="B" direction="out" datatype="float" />
      <Pin id="2" name="Formula: B=" direction="in" datatype="string" default="A*2" />
    </Audio>
  </Plugin>
)xml";

// Scaling and number formatting ("VL Float Scaler2", "VL FloatToText GUI").
constexpr const char* kScalingEntries = R"xml(
  <Plugin id="VL Float Scaler2" name="Float Scaler2" category="Sub-Controls/Conversion" graphicsApi="none">
    <GUI>
      <Pin id="0" name="Value Out" direction="out" datatype="float" />
      <Pin id="1" name="Multiply by" direction="in" datatype="float" default="1" />
      <Pin id="2" name="Add" direction="in" datatype="float" />
      <Pin id="3" name="Value In" direction="in" datatype="float" />
    </GUI>
  </Plugin>
  <Plugin id="VL FloatToText GUI" name="Float To Text" category="Sub-Controls/Conversion">
    <GUI>
      <Pin id="0" name="Float Val" direction="in" datatype="float" />
      <Pin id="1" name="Decimal Places" direction="in" datatype="int" default="-1" />
      <Pin id="2" name="Text Val" direction="out" datatype="string" />
    </GUI>
  </Plugin>
)xml";

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
