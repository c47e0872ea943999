// Modules used only by the framework tests, built into a library of their own so that the
// tests reach the framework exactly as a host does: through MP_GetFactory.
//
// "ZR Test Probe" reports what the framework does to it as text messages on its MIDI output
// (bytes of ASCII, sent unconditionally): "R off n" for each call of its block routine
// ("B off n" for the second routine), "P ..." for each pinsChanged call with the updated
// pins, "G" for graph start, "M pin size hex" for MIDI. Its Command pin drives framework
// services so that tests can trigger them at chosen sample positions.
// "ZR Test Null" does nothing at all: the framework's own cost is measured on it.
// "ZR Test Gui Probe" is a drawing GUI half with a timer.
#include "framework/mp_base.h"
#include "framework/mp_factory.h"
#include "framework/mp_gui.h"
#include "framework/mp_pins.h"
#include "framework/platform/timer.h"
#include "tests/framework/probe_protocol.h"

#include <cstdio>
#include <string>

using namespace gmpi;

namespace {

class TestProbe final : public MpBase {
  public:
    explicit TestProbe(IMpUnknown* host) : MpBase(host) {
        initializePin(probe::FloatIn, floatIn);
        initializePin(probe::IntIn, intIn);
        initializePin(probe::BoolIn, boolIn);
        initializePin(probe::TextIn, textIn);
        initializePin(probe::BlobIn, blobIn);
        initializePin(probe::ListIn, listIn);
        initializePin(probe::AudioIn, audioIn);
        initializePin(probe::AudioOut, audioOut);
        initializePin(probe::MidiIn, midiIn);
        initializePin(probe::FloatOut, floatOut);
        initializePin(probe::Log, logOut);
        initializePin(probe::Command, command);
    }

    int32 MP_STDCALL open() override {
        setBlockRoutine(&TestProbe::routineA);
        return MpBase::open();
    }

    void graphStarted() override {
        log("G");
        MpBase::graphStarted();
    }

    void pinsChanged() override {
        std::string s = "P";
        char buf[64];
        if (floatIn.isUpdated()) {
            std::snprintf(buf, sizeof buf, " f=%g", static_cast<double>(floatIn.getValue()));
            s += buf;
        }
        if (intIn.isUpdated()) s += " i=" + std::to_string(intIn.getValue());
        if (boolIn.isUpdated()) s += boolIn.getValue() ? " b=1" : " b=0";
        if (textIn.isUpdated()) {
            s += " t=";
            for (char16_t c : textIn.getValue())
                s += c < 128 ? static_cast<char>(c) : '?';
            s += "/" + std::to_string(textIn.getValue().size());
        }
        if (blobIn.isUpdated()) s += " blob=" + std::to_string(blobIn.getValue().size());
        if (listIn.isUpdated()) s += " l=" + std::to_string(listIn.getValue());
        if (audioIn.isUpdated()) {
            std::snprintf(buf, sizeof buf, " a=%d:%g", audioIn.isStreaming() ? 1 : 0,
                          static_cast<double>(audioIn.getValue()));
            s += buf;
        }
        if (command.isUpdated()) s += " c=" + std::to_string(command.getValue());
        log(s);
        if (command.isUpdated()) run(command.getValue());
    }

    void midiReceived(int32 pinId, const unsigned char* bytes, int32 size) override {
        std::string s = "M " + std::to_string(pinId) + " " + std::to_string(size) + " ";
        char buf[4];
        for (int32 i = 0; i < size; ++i) {
            std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
            s += buf;
        }
        log(s);
    }

    void routineA(int32 offset, int32 frames) { render('R', offset, frames); }
    void routineB(int32 offset, int32 frames) { render('B', offset, frames); }

  private:
    void render(char tag, int32 offset, int32 frames) {
        float* out = audioOut.getBuffer();
        const float* in = audioIn.getBuffer();
        for (int32 i = offset; i < offset + frames; ++i)
            out[i] = (in ? in[i] : 0.0f) + 1.0f;
        log(std::string(1, tag) + " " + std::to_string(offset) + " " + std::to_string(frames));
    }

    void run(int32 c) {
        switch (c) {
        case probe::DeclareStatic:
            audioOut.setStreaming(false);
            break;
        case probe::DeclareStreaming:
            audioOut.setStreaming(true);
            break;
        case probe::AllowSleep:
            allowSleep(true);
            break;
        case probe::ForbidSleep:
            allowSleep(false);
            break;
        case probe::SelectRoutineB:
            setBlockRoutine(&TestProbe::routineB);
            break;
        case probe::SelectRoutineA:
            setBlockRoutine(&TestProbe::routineA);
            break;
        case probe::SetFloatOut:
            floatOut.setValue(floatIn.getValue());
            break;
        case probe::SendFloatOut:
            floatOut.sendValue();
            break;
        default:
            break;
        }
    }

    void log(const std::string& s) {
        logOut.send(reinterpret_cast<const unsigned char*>(s.data()), static_cast<int32>(s.size()));
    }

    FloatInPin floatIn{"Float"};
    IntInPin intIn{"Int"};
    BoolInPin boolIn{"Bool"};
    StringInPin textIn{"Text"};
    BlobInPin blobIn{"Blob"};
    ListInPin listIn{"List"};
    AudioInPin audioIn{"Audio In"};
    AudioOutPin audioOut{"Audio Out"};
    MidiInPin midiIn{"MIDI In"};
    FloatOutPin floatOut{"Float Out"};
    MidiOutPin logOut{"Log"};
    IntInPin command{"Command"};
};

class TestNull final : public MpBase {
  public:
    explicit TestNull(IMpUnknown* host) : MpBase(host) {
        initializePin(0, value);
        initializePin(1, audioOut);
    }
    int32 MP_STDCALL open() override {
        setBlockRoutine(&TestNull::nothing);
        allowSleep(false);
        return MpBase::open();
    }
    void nothing(int32, int32) {}

  private:
    FloatInPin value{"Value"};
    AudioOutPin audioOut{"Audio Out"};
};

// Pins: 0 float in (its change handler doubles it onto pin 1), 1 float out, 2 bool in,
// 3 text in, 4 blob in, 5 int in, 6 timer command in, 7 tick count out, 8 "changed" out
// (1 or 0 for every received value, from receiveRawValue).
class TestGuiProbe final : public VlGuiCompositedGfxBase, public TimerClient {
  public:
    explicit TestGuiProbe(IMpUnknown* host) : VlGuiCompositedGfxBase(host) {
        initializePin(0, in, &TestGuiProbe::onIn);
        initializePin(1, out);
        initializePin(2, flag);
        initializePin(3, text);
        initializePin(4, blob);
        initializePin(5, number);
        initializePin(6, timerCommand, &TestGuiProbe::onTimerCommand);
        initializePin(7, ticks);
        initializePin(8, changed);
    }

    int32 MP_STDCALL receivePinValue(int32 pinId, int32 voice, int32 size,
                                     const void* data) override {
        const auto it = pins.find(pinId);
        if (it == pins.end()) return ResultFail;
        changed.setValue(it->second->receiveRawValue(voice, size, data) ? 1 : 0);
        changed.sendValue();
        return ResultOk;
    }

    ~TestGuiProbe() override { stopTimer(); }

    bool onTimer() override {
        ticks.setValue(ticks.getValue() + 1);
        return !stopAfterTick;
    }

  private:
    void onIn() { out.setValue(in.getValue() * 2.0f); }
    void onTimerCommand() {
        switch (timerCommand.getValue()) {
        case 1:
            startTimer();
            break;
        case 2:
            setTimerInterval(20);
            break;
        case 3:
            stopAfterTick = true;
            break;
        case 4:
            setTimerInterval(50);
            break;
        default:
            break;
        }
    }

    GuiFloatPin in{"In"};
    GuiFloatPin out{"Out", DirectionOut};
    GuiBoolPin flag{"Flag"};
    GuiTextPin text{"Text"};
    GuiBlobPin blob{"Blob"};
    GuiIntPin number{"Number"};
    GuiIntPin timerCommand{"Timer Command"};
    GuiIntPin ticks{"Ticks", DirectionOut};
    GuiIntPin changed{"Changed", DirectionOut};
    bool stopAfterTick = false;
};

const int32 r1 = registerAudioModule(u"ZR Test Probe", &createAudio<TestProbe>);
const int32 r2 = registerAudioModule(u"ZR Test Null", &createAudio<TestNull>);
const int32 r3 = registerGuiModule(u"ZR Test Gui Probe", &createGui<TestGuiProbe>);
// An identifier with both halves, so the catalog and the factory see two classes.
const int32 r4 = registerAudioModule(u"ZR Test Both", &createAudio<TestNull>);
const int32 r5 = registerGuiModule(u"ZR Test Both", &createGui<TestGuiProbe>);

} // namespace
