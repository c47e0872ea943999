// "VL Unit Converter": the conversion table, evaluated once per change of any pin. Arithmetic
// is single precision except where a double pow or exp is named, whose result is narrowed.
#include "modules/formula/UnitConverter.h"

#include "framework/mp_factory.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zr {
namespace {

const float kLn2 = static_cast<float>(std::log(2.0));
const float kExpMinus3 = static_cast<float>(std::exp(-3.0));

float hertzToVolts(float x) {
    if (x < 0.000001f) return 0.0f;
    return std::log(x * 0.0022727272f) / kLn2 + 5.0f; // 440 Hz at 5 V, 1 V per octave
}

float decibelsToVoltsLinear(float x) {
    if (x > -35.0f) return x * 9.0f * 0.028571429f + 10.0f;
    return std::exp(x * 0.114f) * 49.393f;
}

float decibelsToVoltsExponential(float x) {
    const float a = static_cast<float>(std::pow(10.0, static_cast<double>(x * 0.05f)));
    return (std::log(1.0f - (1.0f - a) * (1.0f - kExpMinus3)) * 0.33333334f + 1.0f) * 10.0f;
}

float millisecondsToVolts(float x) {
    if (x < 0.000001f) return 0.0f;
    return (std::log10(x * 0.001f) + 3.0f) * 2.5f;
}

float hertzToPitchScale(float x) {
    if (x > 1.0f) return std::log(x * 0.001f) / kLn2 + 8.666666f;
    return 0.0f;
}

float voltsToHertz(float x) {
    x = std::clamp(x, -20.0f, 20.0f);
    return static_cast<float>(std::pow(2.0, static_cast<double>(x - 5.0f))) * 440.0f;
}

float voltsToDecibelsLinear(float x) {
    if (x > 1.0f) return (x - 10.0f) * 35.0f * 0.11111111f;
    if (x > 0.0f) return x * 35.0f - 70.0f;
    return -70.0f;
}

// 0 V is the curve's silence. Computed, L is 0 there only when the float exp(-3) rounds like
// the double one; stated outright, 0 V gives negative infinity on every platform.
float voltsToDecibelsExponential(float x) {
    if (x == 0.0f) return -std::numeric_limits<float>::infinity();
    const float e = std::exp((x * 0.1f - 1.0f) * 3.0f);
    const float k = 1.0f / (1.0f - kExpMinus3);
    const float l = 1.0f - (1.0f - e) * k;
    if (l < 0.0f) return -200.0f;
    return std::log10(l) * 20.0f;
}

float voltsToMilliseconds(float x) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(x * 0.4f - 3.0f))) * 1000.0f;
}

float pitchScaleToHertz(float x) {
    if (x > 0.0f)
        return static_cast<float>(std::pow(2.0, static_cast<double>(x - 8.666666f))) * 1000.0f;
    return 0.0f;
}

} // namespace

UnitConverter::UnitConverter(gmpi::IMpUnknown* host) : MpBase(host) {
    initializePin(0, valueIn);
    initializePin(1, valueOut);
    initializePin(2, mode);
}

bool UnitConverter::convert(int32 mode, float x, float& y) {
    switch (mode) {
    case 0:
        y = hertzToVolts(x);
        return true;
    case 1:
        y = decibelsToVoltsLinear(x);
        return true;
    case 2:
        y = decibelsToVoltsExponential(x);
        return true;
    case 3:
        y = millisecondsToVolts(x);
        return true;
    case 4:
        y = hertzToPitchScale(x);
        return true;
    case 100:
        y = voltsToHertz(x);
        return true;
    case 101:
        y = voltsToDecibelsLinear(x);
        return true;
    case 102:
        y = voltsToDecibelsExponential(x);
        return true;
    case 103:
        y = voltsToMilliseconds(x);
        return true;
    case 104:
        y = pitchScaleToHertz(x);
        return true;
    default:
        return false; // the output keeps its value
    }
}

void UnitConverter::pinsChanged() {
    float y = 0.0f;
    if (convert(mode.getValue(), valueIn.getValue(), y)) valueOut.setValue(y);
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"VL Unit Converter", &gmpi::createAudio<zr::UnitConverter>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL Unit Converter", "Unit Converter", "Conversion");
} // namespace
