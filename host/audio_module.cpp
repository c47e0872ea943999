#include "host/audio_module.h"

#include <algorithm>

namespace zrhost {

// The host object handed to createInstance. Reference counting is kept for inspection only:
// the object belongs to its AudioModule and is never destroyed through release.
class AudioModule::Host final : public gmpi::AudioHost {
  public:
    explicit Host(AudioModule& owner) : owner_(owner) {}

    gmpi::int32 MP_STDCALL queryInterface(const gmpi::MpGuid& iid,
                                          void** returnInterface) override {
        if (!returnInterface) return gmpi::ResultFail;
        if (iid == gmpi::MP_IID_AUDIO_HOST || iid == gmpi::MP_IID_UNKNOWN) {
            *returnInterface = static_cast<gmpi::AudioHost*>(this);
            addRef();
            return gmpi::ResultOk;
        }
        *returnInterface = nullptr;
        return gmpi::ResultNoSupport;
    }
    gmpi::int32 MP_STDCALL addRef() override { return ++refs_; }
    gmpi::int32 MP_STDCALL release() override { return --refs_; }

    gmpi::int32 MP_STDCALL setPinValue(gmpi::int32 time, gmpi::int32 pinId, gmpi::int32 size,
                                       const void* data) override {
        if (owner_.sink_) owner_.sink_->pinValue(owner_, time, pinId, size, data);
        note(AudioCallKind::SetPinValue, time, pinId, 0, data, size);
        return gmpi::ResultOk;
    }
    gmpi::int32 MP_STDCALL setPinStreaming(gmpi::int32 time, gmpi::int32 pinId,
                                           gmpi::int32 isStreaming) override {
        if (owner_.sink_) owner_.sink_->pinStreaming(owner_, time, pinId, isStreaming != 0);
        note(AudioCallKind::SetPinStreaming, time, pinId, isStreaming);
        return gmpi::ResultOk;
    }
    gmpi::int32 MP_STDCALL sleep() override {
        owner_.asleep_ = true;
        if (owner_.sink_) owner_.sink_->slept(owner_);
        note(AudioCallKind::Sleep);
        return gmpi::ResultOk;
    }
    gmpi::int32 MP_STDCALL reserved6() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL getBlockSize(gmpi::int32& samples) override {
        samples = owner_.settings_.blockSize;
        note(AudioCallKind::GetBlockSize);
        return gmpi::ResultOk;
    }
    gmpi::int32 MP_STDCALL getSampleRate(float& hertz) override {
        hertz = owner_.settings_.sampleRate;
        note(AudioCallKind::GetSampleRate);
        return gmpi::ResultOk;
    }
    gmpi::int32 MP_STDCALL reserved9() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved10() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved11() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved12() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved13() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved14() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved15() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL allocateSharedMemory(const char16_t* name, void** returnPointer,
                                                float sampleRate, gmpi::int32 sizeBytes,
                                                gmpi::int32& needInitialise) override {
        note(AudioCallKind::AllocateSharedMemory, 0, 0, 0, nullptr, 0, name);
        return owner_.context_.sharedMemory().allocate(name, returnPointer, sampleRate, sizeBytes,
                                                       needInitialise);
    }
    gmpi::int32 MP_STDCALL getFullPath(const char16_t* shortName, gmpi::int32 maxChars,
                                       char16_t* returnFullPath) override {
        note(AudioCallKind::GetFullPath, 0, 0, 0, nullptr, 0, shortName);
        return owner_.context_.getFullPath(shortName, maxChars, returnFullPath);
    }

    gmpi::int32 references() const { return refs_; }

  private:
    void note(AudioCallKind kind, gmpi::int32 time = 0, gmpi::int32 pinId = 0,
              gmpi::int32 streaming = 0, const void* data = nullptr, gmpi::int32 size = 0,
              const char16_t* text = nullptr) {
        if (!owner_.recording_) return;
        AudioCall call;
        static_cast<PinBytes&>(call) = PinBytes::of(data, size);
        call.kind = kind;
        call.time = time;
        call.pinId = pinId;
        call.streaming = streaming;
        if (text) call.text.assign(text, utf16Length(text));
        owner_.record(std::move(call));
    }

    AudioModule& owner_;
    gmpi::int32 refs_ = 0;
};

AudioModule::AudioModule(ModuleLibrary& library, std::u16string_view id, HostContext& context,
                         AudioSettings settings)
    : library_(library), context_(context), settings_(settings),
      host_(std::make_unique<Host>(*this)) {
    const std::u16string name(id);
    void* object = nullptr;
    createResult_ = library_.factory()->createInstance(
        name.c_str(), gmpi::SubTypeAudio, static_cast<gmpi::IMpUnknown*>(host_.get()), &object);
    if (createResult_ != gmpi::ResultOk || !object) {
        if (createResult_ == gmpi::ResultOk) createResult_ = gmpi::ResultFail;
        return;
    }
    auto* unknown = static_cast<gmpi::IMpUnknown*>(object);
    void* plugin = nullptr;
    if (unknown->queryInterface(gmpi::MP_IID_PLUGIN, &plugin) == gmpi::ResultOk && plugin)
        plugin_ = static_cast<gmpi::IMpPlugin*>(plugin);
    else
        createResult_ = gmpi::ResultNoSupport;
    unknown->release();
}

AudioModule::~AudioModule() {
    if (plugin_) plugin_->release();
}

gmpi::AudioHost& AudioModule::host() {
    return *host_;
}

gmpi::int32 AudioModule::hostReferences() const {
    return host_->references();
}

gmpi::int32 AudioModule::attachOwnBuffer(gmpi::int32 pinId) {
    auto& buf = buffers_[pinId];
    buf.assign(static_cast<std::size_t>(std::max(settings_.blockSize, 1)), 0.0f);
    return attachBuffer(pinId, buf.data());
}

gmpi::int32 AudioModule::attachBuffer(gmpi::int32 pinId, float* buffer) {
    return plugin_ ? plugin_->attachBuffer(pinId, buffer) : gmpi::ResultFail;
}

std::span<float> AudioModule::buffer(gmpi::int32 pinId) {
    auto it = buffers_.find(pinId);
    if (it == buffers_.end()) return {};
    return it->second;
}

gmpi::int32 AudioModule::open() {
    return plugin_ ? plugin_->open() : gmpi::ResultFail;
}

int AudioModule::processBlocks(int count) {
    const EventList none;
    int called = 0;
    for (int i = 0; i < count; ++i)
        called += processBlock(none) ? 1 : 0;
    return called;
}

int AudioModule::sleepCount() const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [](const AudioCall& c) {
        return c.kind == AudioCallKind::Sleep;
    }));
}

void AudioModule::record(AudioCall call) {
    call.block = block_;
    calls_.push_back(std::move(call));
}

std::vector<AudioCall> AudioModule::callsOf(AudioCallKind kind) const {
    std::vector<AudioCall> out;
    for (const auto& c : calls_)
        if (c.kind == kind) out.push_back(c);
    return out;
}

std::vector<AudioCall> AudioModule::valuesSent(gmpi::int32 pinId) const {
    std::vector<AudioCall> out;
    for (const auto& c : calls_)
        if (c.kind == AudioCallKind::SetPinValue && c.pinId == pinId) out.push_back(c);
    return out;
}

std::vector<float> AudioModule::floatsSent(gmpi::int32 pinId) const {
    return readAll(valuesSent(pinId), &PinBytes::asFloat);
}

std::vector<gmpi::int32> AudioModule::intsSent(gmpi::int32 pinId) const {
    return readAll(valuesSent(pinId), &PinBytes::asInt);
}

std::vector<bool> AudioModule::boolsSent(gmpi::int32 pinId) const {
    return readAll(valuesSent(pinId), &PinBytes::asBool);
}

std::vector<std::u16string> AudioModule::textsSent(gmpi::int32 pinId) const {
    return readAll(valuesSent(pinId), &PinBytes::asText);
}

std::vector<gmpi::int32> AudioModule::streamingSent(gmpi::int32 pinId) const {
    std::vector<gmpi::int32> out;
    for (const auto& c : calls_)
        if (c.kind == AudioCallKind::SetPinStreaming && c.pinId == pinId)
            out.push_back(c.streaming);
    return out;
}

} // namespace zrhost
