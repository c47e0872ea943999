// A tiny module library for the host tests, written directly against the interfaces (no
// framework). It offers one identifier, "Fake Echo", with both halves:
//
// Audio half. Pins: 0 float in (level), 1 int in (sleep request), 2 audio out, 3 audio in.
//   - Every pin value and MIDI event is echoed with setPinValue on pinId + 100 at its time;
//     streaming start/stop events are echoed with setPinStreaming on pinId + 100.
//   - Graph start declares pin 2 streaming.
//   - Pin 2 is filled with the level, from the sample of the level event on (plus the input
//     sample of pin 3 when a buffer is attached there).
//   - A non-zero sleep request makes the module call sleep() at the end of that block.
//   - open() counts opened instances in the shared block "Fake:opens" (sample rate -1).
// GUI half. Pins 0..7 hold raw bytes.
//   - notifyPin transmits the stored bytes on pinId + 100 and asks for a full repaint.
//   - initialize() transmits getPinCount on pin 99 and starts the software timer (50 ms); the
//     first three ticks transmit the tick number on pin 98, then the timer stops.
//   - paint fills the surface with the "tty" style background (when not negative), then draws
//     a white diagonal from (0, 0).
#include "framework/mp_interfaces.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string_view>
#include <vector>

using namespace gmpi;

namespace {

constexpr std::u16string_view kEchoId = u"Fake Echo";

class FakeAudio final : public IMpPlugin {
  public:
    explicit FakeAudio(IMpUnknown* hostUnknown) {
        void* p = nullptr;
        if (!hostUnknown || hostUnknown->queryInterface(MP_IID_AUDIO_HOST, &p) != ResultOk)
            throw std::runtime_error("host Interfaces not supported");
        host_ = static_cast<AudioHost*>(p);
    }

    int32 MP_STDCALL queryInterface(const MpGuid& iid, void** out) override {
        if (iid == MP_IID_UNKNOWN || iid == MP_IID_PLUGIN) {
            *out = static_cast<IMpPlugin*>(this);
            addRef();
            return ResultOk;
        }
        *out = nullptr;
        return ResultNoSupport;
    }
    int32 MP_STDCALL addRef() override { return ++refs_; }
    int32 MP_STDCALL release() override {
        if (--refs_ == 0) {
            host_->release();
            delete this;
            return 0;
        }
        return refs_;
    }

    int32 MP_STDCALL open() override {
        float rate = 0;
        int32 block = 0;
        host_->getSampleRate(rate);
        host_->getBlockSize(block);
        void* shared = nullptr;
        int32 needInit = 0;
        if (host_->allocateSharedMemory(u"Fake:opens", &shared, -1.0f, 4, needInit) == ResultOk)
            ++*static_cast<int32*>(shared);
        return ResultOk;
    }
    int32 MP_STDCALL attachBuffer(int32 pinId, float* buffer) override {
        if (pinId == 2)
            out_ = buffer;
        else if (pinId == 3)
            in_ = buffer;
        else
            return ResultFail;
        return ResultOk;
    }
    void MP_STDCALL process(int32 frames, const MpEvent* e) override {
        int32 pos = 0;
        for (; e; e = e->next) {
            render(pos, std::clamp(e->time, pos, frames));
            pos = std::clamp(e->time, pos, frames);
            const char* bytes = e->extraData ? e->extraData : e->inlineData;
            switch (e->type) {
            case EventPinValue:
                if (e->pinId == 0 && e->size == 4) std::memcpy(&level_, bytes, 4);
                if (e->pinId == 1 && e->size == 4) {
                    int32 v = 0;
                    std::memcpy(&v, bytes, 4);
                    sleepRequested_ = v != 0;
                }
                [[fallthrough]];
            case EventMidi:
                host_->setPinValue(e->time, e->pinId + 100, e->size, bytes);
                break;
            case EventStreamingStart:
            case EventStreamingStop:
                host_->setPinStreaming(e->time, e->pinId + 100, e->type == EventStreamingStart);
                break;
            case EventGraphStart:
                host_->setPinStreaming(e->time, 2, 1);
                break;
            default:
                break;
            }
        }
        render(pos, frames);
        if (sleepRequested_) {
            sleepRequested_ = false;
            host_->sleep();
        }
    }
    int32 MP_STDCALL receiveGuiMessage(int32, int32, const void*) override { return ResultOk; }

  private:
    ~FakeAudio() = default;
    void render(int32 from, int32 to) {
        if (!out_) return;
        for (int32 i = from; i < to; ++i)
            out_[i] = level_ + (in_ ? in_[i] : 0.0f);
    }

    AudioHost* host_ = nullptr;
    int32 refs_ = 0;
    float* out_ = nullptr;
    float* in_ = nullptr;
    float level_ = 0;
    bool sleepRequested_ = false;
};

int32 gTimerInterval = 0;
int32 gTicks = 0;
class FakeGui;
FakeGui* gTimerClient = nullptr;

class FakeGui final : public IMpUserInterface, public IVlGraphicsComposited {
  public:
    explicit FakeGui(IMpUnknown* hostUnknown) {
        void* gui = nullptr;
        void* composited = nullptr;
        hostUnknown->queryInterface(MP_IID_GUI_HOST, &gui);
        hostUnknown->queryInterface(MP_IID_COMPOSITED_HOST, &composited);
        host_ = static_cast<GuiHost*>(gui);
        composited_ = static_cast<CompositedGfxHost*>(composited);
        if (!host_ || !composited_) {
            releaseHosts();
            throw std::runtime_error("host Interfaces not supported");
        }
    }

    int32 MP_STDCALL queryInterface(const MpGuid& iid, void** out) override {
        *out = nullptr;
        if (iid == MP_IID_UNKNOWN || iid == MP_IID_USER_INTERFACE)
            *out = static_cast<IMpUserInterface*>(this);
        else if (iid == MP_IID_GRAPHICS_COMPOSITED)
            *out = static_cast<IVlGraphicsComposited*>(this);
        if (!*out) return ResultNoSupport;
        addRef();
        return ResultOk;
    }
    int32 MP_STDCALL addRef() override { return ++refs_; }
    int32 MP_STDCALL release() override {
        if (--refs_ == 0) {
            if (gTimerClient == this) gTimerClient = nullptr, gTimerInterval = 0;
            releaseHosts();
            delete this;
            return 0;
        }
        return refs_;
    }

    // IMpUserInterface
    int32 MP_STDCALL initialize() override {
        int32 count = -1;
        host_->getPinCount(count);
        host_->transmitPin(99, 4, &count, 0);
        gTimerClient = this;
        gTimerInterval = 50;
        gTicks = 0;
        return ResultOk;
    }
    int32 MP_STDCALL receivePinValue(int32 pinId, int32, int32 size, const void* data) override {
        if (pinId < 0 || pinId > 7) return ResultFail;
        const auto* p = static_cast<const char*>(data);
        values_[pinId].assign(p, p + size);
        return ResultOk;
    }
    int32 MP_STDCALL notifyPin(int32 pinId, int32) override {
        auto it = values_.find(pinId);
        if (it == values_.end()) return ResultFail;
        host_->transmitPin(pinId + 100, static_cast<int32>(it->second.size()), it->second.data(),
                           0);
        composited_->invalidate(nullptr);
        return ResultOk;
    }
    int32 MP_STDCALL receiveAudioMessage(int32, int32, const void*) override { return ResultOk; }
    int32 MP_STDCALL reserved7() override { return ResultOk; }
    int32 MP_STDCALL reserved8(void*) override { return ResultOk; }

    // IVlGraphicsComposited
    int32 MP_STDCALL paint(void* context) override {
        auto* s = static_cast<MpSoftSurface*>(context);
        char record[kStyleRecordBytes] = {};
        void* handle = nullptr;
        composited_->getStyle(u"tty", record, &handle);
        int32 background = 0;
        std::memcpy(&background, record + 8, 4);
        for (int32 y = 0; y < s->height; ++y)
            for (int32 x = 0; x < s->width; ++x) {
                uint32_t& px = s->pixels[y * s->stride + x];
                if (x == y)
                    px = 0x00FFFFFF;
                else if (background >= 0)
                    px = static_cast<uint32_t>(background);
            }
        return ResultOk;
    }
    int32 MP_STDCALL measure(int32 w, int32 h, MpSize* size) override {
        *size = {std::clamp(w, 15, 100), std::clamp(h, 15, 100)};
        return ResultOk;
    }
    int32 MP_STDCALL arrange(int32, int32, int32, int32) override { return ResultOk; }
    int32 MP_STDCALL reserved6() override { return ResultOk; }
    int32 MP_STDCALL reserved8(int32, int32, int32) override { return ResultOk; }
    int32 MP_STDCALL reserved9(int32, int32, int32) override { return ResultOk; }
    int32 MP_STDCALL reserved10(int32, int32, int32) override { return ResultOk; }

    void tick() {
        ++gTicks;
        host_->transmitPin(98, 4, &gTicks, 0);
        if (gTicks == 3) gTimerInterval = 0;
    }

  private:
    ~FakeGui() = default;
    void releaseHosts() {
        if (host_) host_->release();
        if (composited_) composited_->release();
    }

    GuiHost* host_ = nullptr;
    CompositedGfxHost* composited_ = nullptr;
    int32 refs_ = 0;
    std::map<int32, std::vector<char>> values_;
};

class FakeFactory final : public IMpFactory {
  public:
    int32 MP_STDCALL queryInterface(const MpGuid& iid, void** out) override {
        if (iid == MP_IID_UNKNOWN || iid == MP_IID_FACTORY) {
            *out = this;
            return ResultOk;
        }
        *out = nullptr;
        return ResultNoSupport;
    }
    int32 MP_STDCALL addRef() override { return 16; }
    int32 MP_STDCALL release() override { return 1; }
    int32 MP_STDCALL createInstance(const char16_t* id, int32 subType, IMpUnknown* host,
                                    void** out) override {
        *out = nullptr;
        if (std::u16string_view(id) != kEchoId || (subType != 0 && subType != 1))
            return ResultNoSupport;
        try {
            IMpUnknown* object = nullptr;
            if (subType == 0)
                object = new FakeAudio(host);
            else
                object = static_cast<IMpUserInterface*>(new FakeGui(host));
            object->addRef();
            *out = object;
            return ResultOk;
        } catch (...) {
            return ResultFail;
        }
    }
    int32 MP_STDCALL getBuildInformation(int32& version, int32 maxChars, char16_t* out) override {
        version = 1;
        if (maxChars > 0) out[0] = 0;
        return ResultOk;
    }
};

FakeFactory gFactory;

} // namespace

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

FAKE_EXPORT int32 MP_STDCALL MP_GetFactory(void** out) {
    return gFactory.queryInterface(MP_IID_UNKNOWN, out);
}

FAKE_EXPORT int32 ZrTimerInterval() {
    return gTimerInterval;
}

FAKE_EXPORT void ZrTimerTick() {
    if (gTimerInterval > 0 && gTimerClient) gTimerClient->tick();
}

FAKE_EXPORT const char* ZrModuleDescriptions() {
    return R"(<?xml version="1.0" encoding="utf-8" ?>
<PluginList>
  <!-- the one module of this library -->
  <Plugin id="Fake Echo" name="Echo" category="Debug" helpUrl="echo.htm">
    <Audio>
      <Pin id="0" name="Level" direction="in" datatype="float" default="0.5"/>
      <Pin id="1" name="Sleep" direction="in" datatype="int"/>
      <Pin id="2" name="Out" direction="out" datatype="float" rate="audio"/>
      <Pin name="In" direction="in" datatype="float" rate="audio"/>
    </Audio>
    <GUI>
      <Pin id="0" name="Text" direction="in" datatype="string"/>
      <Pin id="7" name="Mode" direction="out" datatype="enum" parameterId="3"/>
    </GUI>
  </Plugin>
</PluginList>
)";
}
