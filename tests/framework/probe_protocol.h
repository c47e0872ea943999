// What "ZR Test Probe" and the framework tests agree on: its pin indices and the commands its
// Command pin understands.
#pragma once

namespace probe {

enum Pin {
    FloatIn = 0,
    IntIn = 1,
    BoolIn = 2,
    TextIn = 3,
    BlobIn = 4,
    ListIn = 5,
    AudioIn = 6,
    AudioOut = 7,
    MidiIn = 8,
    FloatOut = 9,
    Log = 10,
    Command = 11,
};

enum Command {
    DeclareStatic = 1,
    DeclareStreaming = 2,
    AllowSleep = 3,
    ForbidSleep = 4,
    SelectRoutineB = 5,
    SelectRoutineA = 6,
    SetFloatOut = 7,
    SendFloatOut = 8,
};

} // namespace probe
