// Registrations of the audio-side value converters; their descriptions are in block D1.
#include "modules/converters/SimpleConverter.h"

#include "framework/mp_factory.h"

namespace {

using gmpi::createAudio;
using gmpi::registerAudioModule;
using zr::int32;
using zr::SimpleConverter;
using zr::Text;

const int32 intToBool =
    registerAudioModule(u"VL IntToBool", &createAudio<SimpleConverter<int32, bool>>);
const int32 intToFloat =
    registerAudioModule(u"VL IntToFloat", &createAudio<SimpleConverter<int32, float>>);
const int32 intToText =
    registerAudioModule(u"VL IntToText", &createAudio<SimpleConverter<int32, Text>>);
const int32 floatToInt =
    registerAudioModule(u"VL FloatToInt", &createAudio<SimpleConverter<float, int32>>);
const int32 floatToBool =
    registerAudioModule(u"VL FloatToBool", &createAudio<SimpleConverter<float, bool>>);
const int32 floatToText =
    registerAudioModule(u"VL FloatToText", &createAudio<SimpleConverter<float, Text>>);
const int32 boolToInt =
    registerAudioModule(u"VL BoolToInt", &createAudio<SimpleConverter<bool, int32>>);
const int32 boolToFloat =
    registerAudioModule(u"VL BoolToFloat", &createAudio<SimpleConverter<bool, float>>);
const int32 boolToText =
    registerAudioModule(u"VL BoolToText", &createAudio<SimpleConverter<bool, Text>>);
const int32 textToInt =
    registerAudioModule(u"VL TextToInt", &createAudio<SimpleConverter<Text, int32>>);
const int32 textToFloat =
    registerAudioModule(u"VL TextToFloat", &createAudio<SimpleConverter<Text, float>>);
const int32 textToBool =
    registerAudioModule(u"VL TextToBool", &createAudio<SimpleConverter<Text, bool>>);
// A list index passes unchanged; the host sees pin 0 as a list (see block D1), the module
// carries it as an int.
const int32 listToInt =
    registerAudioModule(u"VL ListToInt", &createAudio<SimpleConverter<int32, int32>>);

} // namespace
