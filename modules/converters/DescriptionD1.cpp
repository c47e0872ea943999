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
constexpr const char* kFormulaEntries = R"xml(  <Plugin id="VL Float Function GUI" name="Float Function" category="Sub-Controls/Conversion" helpUrl="FloatFunction.htm" graphicsApi="none">
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
constexpr const char* kScalingEntries = "";

// Panel utilities ("VL Command Trigger", "VL Int to Bools", "VL Bools to Int",
// "Veloran Image to Frame (old)", "Veloran Image to Frame", "VL ListToText",
// "VL dBToAnimation").
constexpr const char* kPanelEntries = "";

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
