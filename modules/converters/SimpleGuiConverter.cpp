// Registrations of the GUI-side value converters; their descriptions are in block D1.
#include "modules/converters/SimpleGuiConverter.h"

#include "framework/mp_factory.h"

namespace {

using gmpi::createGui;
using gmpi::MpBlob;
using gmpi::registerGuiModule;
using zr::int32;
using zr::SimpleGuiConverter;
using zr::Text;

const int32 intToBool =
    registerGuiModule(u"VL IntToBool GUI", &createGui<SimpleGuiConverter<int32, bool>>);
const int32 intToFloat =
    registerGuiModule(u"VL IntToFloat GUI", &createGui<SimpleGuiConverter<int32, float>>);
const int32 intToText =
    registerGuiModule(u"VL IntToText GUI", &createGui<SimpleGuiConverter<int32, Text>>);
const int32 floatToInt =
    registerGuiModule(u"VL FloatToInt GUI", &createGui<SimpleGuiConverter<float, int32>>);
const int32 floatToBool =
    registerGuiModule(u"VL FloatToBool GUI", &createGui<SimpleGuiConverter<float, bool>>);
const int32 boolToInt =
    registerGuiModule(u"VL BoolToInt GUI", &createGui<SimpleGuiConverter<bool, int32>>);
const int32 boolToFloat =
    registerGuiModule(u"VL BoolToFloat GUI", &createGui<SimpleGuiConverter<bool, float>>);
const int32 boolToText =
    registerGuiModule(u"VL BoolToText GUI", &createGui<SimpleGuiConverter<bool, Text>>);
const int32 textToInt =
    registerGuiModule(u"VL TextToInt GUI", &createGui<SimpleGuiConverter<Text, int32>>);
const int32 textToFloat =
    registerGuiModule(u"VL TextToFloat GUI", &createGui<SimpleGuiConverter<Text, float>>);
const int32 textToBool =
    registerGuiModule(u"VL TextToBool GUI", &createGui<SimpleGuiConverter<Text, bool>>);
const int32 textToBlob =
    registerGuiModule(u"VL TextToBlob GUI", &createGui<SimpleGuiConverter<Text, MpBlob>>);
const int32 blobToText =
    registerGuiModule(u"VL BlobToText GUI", &createGui<SimpleGuiConverter<MpBlob, Text>>);

} // namespace
