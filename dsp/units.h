// The control unit of the modules: a pin value of 1 stands for 10 volts, so volts = pin x 10.
// Pitch pins then read 1 V per octave with 5 V at 440 Hz; time pins read volts as well.
#pragma once

namespace zr::dsp {

inline constexpr float kVoltsPerPinUnit = 10.0f;

// Volts for a pin value.
inline float pinToVolts(float pinValue) {
    return pinValue * kVoltsPerPinUnit;
}

} // namespace zr::dsp
