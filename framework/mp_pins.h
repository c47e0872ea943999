// Audio-side pins: audio inputs and outputs (sample buffers and streaming state), control
// pins of every value type, MIDI inputs and outputs. Pins are members of their module, bound
// with `initializePin` in ascending index, and take part in the three-pass event dispatch.
// Used only on the audio thread of their module.
#pragma once

#include "framework/mp_base.h"
#include "framework/mp_blob.h"

#include <array>
#include <cstring>
#include <string>
#include <type_traits>

namespace gmpi {

using MpText = std::u16string;

// What the module catalog tells a user about an input pin beyond its name: the values the
// module works with and names for enumerated values. The catalog also writes the pin's value
// as constructed as its default, so a pin with a doc needs no second copy of that value.
// Texts as they appear in the catalog; a null text says nothing.
struct MpPinDoc {
    // Enumeration list in the list-pin text format ("Sine=0,Saw=1,..."). The range of a pin
    // with value names is its lowest to its highest id unless minimum and maximum say more.
    const char* valueNames = nullptr;
    const char* minimum = nullptr;
    const char* maximum = nullptr;
};

class MpPinBase {
  public:
    explicit MpPinBase(const char* name = nullptr, const MpPinDoc* doc = nullptr)
        : name_(name), doc_(doc) {}
    MpPinBase(const MpPinBase&) = delete;
    MpPinBase& operator=(const MpPinBase&) = delete;

    virtual ~MpPinBase() = default;
    virtual void attachBuffer(float* /*buffer*/) {}
    // First step of dispatch: the pin takes the event's value or state. The pin's updated flag
    // then holds until the module's dispatch serial moves on, after the group's pinsChanged,
    // so no second pass over the group is needed to clear it. (The second step, the pin's
    // change handler, is in the module's pin table.)
    virtual void beforeEvent(const MpEvent* /*event*/) {}
    // The first step as dispatch calls it: a value for a pin that keeps a 4-byte value (float,
    // int) is stored here without a virtual call; everything else goes to `beforeEvent`.
    void takeEvent(const MpEvent* event) {
        if (wordOffset_ && event->type == EventPinValue) {
            // As `eventBytes` gives them: a value of fewer than 4 bytes is too short for the
            // type and dropped; a longer one gives its first 4.
            if (event->size < 4) return;
            std::memcpy(reinterpret_cast<char*>(this) + wordOffset_,
                        event->extraData ? event->extraData : event->inlineData, 4);
            markUpdated();
        } else {
            beforeEvent(event);
        }
    }
    virtual int32 datatype() const = 0;
    virtual int32 direction() const = 0;
    virtual MpEventHandler defaultHandler() const { return nullptr; }
    virtual void sendInitialValue() {}

    int32 getPinId() const { return pinId_; }
    MpBase* getModule() const { return module_; }
    // Display name, used only by the library's module catalog.
    const char* name() const { return name_; }
    // Catalog documentation, null when the module gives none.
    const MpPinDoc* doc() const { return doc_; }

    // Called by `initializePin`.
    void bind(int32 pinId, MpBase* module) {
        pinId_ = pinId;
        module_ = module;
        if (void* word = wordValue())
            wordOffset_ =
                static_cast<int32>(static_cast<char*>(word) - reinterpret_cast<char*>(this));
    }

  protected:
    // The stored value when it is a plain 4-byte float or int that takes a value's first four
    // bytes as they are; null otherwise.
    virtual void* wordValue() { return nullptr; }

  protected:
    // Marks the pin updated for the group being dispatched.
    void markUpdated() { updatedSerial_ = module_->dispatchSerial(); }
    bool updatedInThisGroup() const {
        return module_ && updatedSerial_ == module_->dispatchSerial();
    }

    // A module holds dozens of pins and a block reads a few fields of each, so a pin is kept
    // small: an audio pin fills one cache line. The stored 4-byte value is found by its offset
    // from the pin (0: none), and the change handler lives in the module's pin table.
    int32 pinId_ = -1;
    int32 wordOffset_ = 0;
    MpBase* module_ = nullptr;
    uint64_t updatedSerial_ = 0; // dispatch serials start at 1: never updated
    const char* name_;
    const MpPinDoc* doc_;
};

class MpAudioPinBase : public MpPinBase {
  public:
    using MpPinBase::MpPinBase;
    void attachBuffer(float* buffer) override { buffer_ = buffer; }
    int32 datatype() const override { return DatatypeAudio; }
    // Audio pins take no values.
    virtual void setRawValue(int32 /*size*/, const void* /*bytes*/) {}

    float* getBuffer() const { return buffer_; }
    bool isStreaming() const { return streaming_; }

  protected:
    float* buffer_ = nullptr;
    bool streaming_ = false;
};

class AudioInPin : public MpAudioPinBase {
  public:
    using MpAudioPinBase::MpAudioPinBase;
    int32 direction() const override { return DirectionIn; }
    void beforeEvent(const MpEvent* event) override;

    // The sample at `index`, or at the module's current event position when negative.
    float getValue(int32 index = -1) const {
        if (!buffer_) return 0.0f;
        return buffer_[index < 0 ? module_->blockPosition() : index];
    }
    // True while the streaming change that set it is dispatched (inside pinsChanged), and
    // before the pin's first streaming change has been dispatched.
    bool isUpdated() const { return beforeFirstChange_ || updatedInThisGroup(); }

  private:
    bool beforeFirstChange_ = true;
};

class AudioOutPin : public MpAudioPinBase {
  public:
    using MpAudioPinBase::MpAudioPinBase;
    int32 direction() const override { return DirectionOut; }
    void sendInitialValue() override { setStreaming(true); }
    // Declares the output streaming or static. Static reloads the module's sleep countdown
    // with one host block; the host is told on every call.
    void setStreaming(bool isStreaming, int32 time = -1);
};

// Raw byte form of each control value type: what `setValue` sends and `setRawValue` reads.
template <class T>
struct PinValueTraits;

template <>
struct PinValueTraits<float> {
    static int32 rawSize(const float&) { return 4; }
    static const void* rawData(const float& v) { return &v; }
    // Float and int32 values are exactly 4 bytes; a value of another size is dropped.
    static bool fromRaw(float& v, int32 size, const void* bytes) {
        if (size < 4) return false;
        std::memcpy(&v, bytes, 4);
        return true;
    }
    static bool equal(float a, float b) { return a == b; } // NaN differs from everything
};

template <>
struct PinValueTraits<int32> {
    static int32 rawSize(const int32&) { return 4; }
    static const void* rawData(const int32& v) { return &v; }
    static bool fromRaw(int32& v, int32 size, const void* bytes) {
        if (size < 4) return false;
        std::memcpy(&v, bytes, 4);
        return true;
    }
    static bool equal(int32 a, int32 b) { return a == b; }
};

template <>
struct PinValueTraits<bool> {
    static int32 rawSize(const bool&) { return 1; }
    static const void* rawData(const bool& v) { return &v; }
    // A 4-byte value is true when non-zero; any other size takes its first byte. An empty
    // value carries no byte to take and is dropped.
    static bool fromRaw(bool& v, int32 size, const void* bytes) {
        if (size == 4) {
            int32 i;
            std::memcpy(&i, bytes, 4);
            v = i != 0;
            return true;
        }
        if (size < 1) return false;
        v = *static_cast<const unsigned char*>(bytes) != 0;
        return true;
    }
    static bool equal(bool a, bool b) { return a == b; }
};

template <>
struct PinValueTraits<MpText> {
    static int32 rawSize(const MpText& v) { return static_cast<int32>(v.size() * 2); }
    static const void* rawData(const MpText& v) { return v.data(); }
    // size / 2 code units; an odd trailing byte is not part of any code unit.
    static bool fromRaw(MpText& v, int32 size, const void* bytes) {
        const std::size_t units = size > 0 ? static_cast<std::size_t>(size) / 2 : 0;
        v.resize(units);
        if (units) std::memcpy(v.data(), bytes, units * 2);
        return true;
    }
    static bool equal(const MpText& a, const MpText& b) { return a == b; }
};

template <>
struct PinValueTraits<MpBlob> {
    static int32 rawSize(const MpBlob& v) { return v.size(); }
    static const void* rawData(const MpBlob& v) { return v.data(); }
    static bool fromRaw(MpBlob& v, int32 size, const void* bytes) {
        v.assign(size, bytes);
        return true;
    }
    static bool equal(const MpBlob& a, const MpBlob& b) { return a == b; }
};

template <class T, int32 DATATYPE>
class MpControlPinBase : public MpPinBase {
  public:
    using MpPinBase::MpPinBase;
    using Traits = PinValueTraits<T>;

    int32 datatype() const override { return DATATYPE; }
    void beforeEvent(const MpEvent* event) override {
        if (event->type != EventPinValue) return;
        const EventBytes b = eventBytes(event);
        if (setRawValue(b.size, b.data)) this->markUpdated();
    }
    // Stores a received value; false when the bytes do not form a value of this type. Float
    // and int pins take values in `takeEvent` instead, as their traits say.
    virtual bool setRawValue(int32 size, const void* bytes) {
        return Traits::fromRaw(value_, size, bytes);
    }
    virtual int32 rawSize() const { return Traits::rawSize(value_); }
    virtual const void* rawData() const { return Traits::rawData(value_); }

    const T& getValue() const { return value_; }
    operator const T&() const { return value_; }
    // True only inside the pinsChanged call of the group that carried this pin's value.
    bool isUpdated() const { return this->updatedInThisGroup(); }

  protected:
    void* wordValue() override {
        if constexpr (std::is_same_v<T, float> || std::is_same_v<T, int32>) return &value_;
        return nullptr;
    }

    T value_{};
};

template <class T, int32 DIRECTION, int32 DATATYPE>
class MpControlPin : public MpControlPinBase<T, DATATYPE> {
  public:
    using MpControlPinBase<T, DATATYPE>::MpControlPinBase;
    using Traits = PinValueTraits<T>;

    int32 direction() const override { return DIRECTION; }
    void sendInitialValue() override {
        if (DIRECTION == DirectionOut) sendValue();
    }
    // Stores and sends a value that differs from the stored one; an equal value sends nothing.
    void setValue(const T& value) {
        if (Traits::equal(value, this->value_)) return;
        this->value_ = value;
        sendValue();
    }
    // Sends the stored value unconditionally, stamped with the module's event position.
    void sendValue() {
        MpBase* m = this->module_;
        if (!m || !m->getHost()) return;
        m->getHost()->setPinValue(m->blockPosition(), this->pinId_, this->rawSize(),
                                  this->rawData());
    }
};

using FloatInPin = MpControlPin<float, DirectionIn, DatatypeFloat>;
using FloatOutPin = MpControlPin<float, DirectionOut, DatatypeFloat>;
using IntInPin = MpControlPin<int32, DirectionIn, DatatypeInt>;
using IntOutPin = MpControlPin<int32, DirectionOut, DatatypeInt>;
using ListInPin = MpControlPin<int32, DirectionIn, DatatypeList>;
using ListOutPin = MpControlPin<int32, DirectionOut, DatatypeList>;
using BoolInPin = MpControlPin<bool, DirectionIn, DatatypeBool>;
using BoolOutPin = MpControlPin<bool, DirectionOut, DatatypeBool>;
using StringInPin = MpControlPin<MpText, DirectionIn, DatatypeText>;
using StringOutPin = MpControlPin<MpText, DirectionOut, DatatypeText>;
using BlobInPin = MpControlPin<MpBlob, DirectionIn, DatatypeBlob>;
using BlobOutPin = MpControlPin<MpBlob, DirectionOut, DatatypeBlob>;

// A blob output whose value lives in a fixed array inside the pin, so that storing and sending
// a value never allocates on the audio thread: for modules that publish fixed-size records
// (a scope window, a frame of analysis data) every block. The host sends no values to outputs;
// any that arrive are ignored.
template <int32 Capacity>
class FixedBlobOutPin : public BlobOutPin {
  public:
    using BlobOutPin::BlobOutPin;

    // Stores `size` bytes (clamped to 0..Capacity) as the pin's value without sending it.
    void store(const void* data, int32 size) {
        size_ = size < 0 ? 0 : size > Capacity ? Capacity : size;
        if (size_ > 0) std::memcpy(bytes_.data(), data, static_cast<std::size_t>(size_));
    }
    // Sends the stored value stamped with `time` (samples from the start of the block).
    void sendAt(int32 time) {
        MpBase* module = getModule();
        if (module && module->getHost())
            module->getHost()->setPinValue(time, getPinId(), size_, bytes_.data());
    }

    bool setRawValue(int32, const void*) override { return false; }
    int32 rawSize() const override { return size_; }
    const void* rawData() const override { return bytes_.data(); }

  private:
    std::array<char, Capacity> bytes_{};
    int32 size_ = 0;
};

class MidiInPin : public MpPinBase {
  public:
    using MpPinBase::MpPinBase;
    int32 datatype() const override { return DatatypeMidi; }
    int32 direction() const override { return DirectionIn; }
    MpEventHandler defaultHandler() const override { return &MpBase::midiHandler; }
};

class MidiOutPin : public MpPinBase {
  public:
    using MpPinBase::MpPinBase;
    int32 datatype() const override { return DatatypeMidi; }
    int32 direction() const override { return DirectionOut; }
    // Sends a message at `time`, or at the module's event position when -1.
    virtual void send(const unsigned char* bytes, int32 size, int32 time = -1) {
        if (!module_ || !module_->getHost()) return;
        module_->getHost()->setPinValue(time == -1 ? module_->blockPosition() : time, pinId_, size,
                                        bytes);
    }
};

} // namespace gmpi
