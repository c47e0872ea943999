// GUI half base: the IMpUserInterface implementation, typed GUI pins that store values and
// send only changes, and the base for GUI halves that draw (IVlGraphicsComposited).
// Everything here runs on the host's user-interface thread.
#pragma once

#include "framework/mp_blob.h"
#include "framework/mp_interfaces.h"

#include <map>
#include <string>

namespace gmpi {

class MpGuiBase;
// A GUI change handler: a member routine of the GUI module without arguments.
using MpGuiHandler = void (MpGuiBase::*)();

class MpGuiPinBase {
  public:
    MpGuiPinBase(const char* name, int32 direction) : name_(name), direction_(direction) {}
    MpGuiPinBase(const MpGuiPinBase&) = delete;
    MpGuiPinBase& operator=(const MpGuiPinBase&) = delete;

    virtual ~MpGuiPinBase() = default;
    // Stores a received value (the voice is ignored); returns whether it changed.
    virtual bool receiveRawValue(int32 voice, int32 size, const void* data) = 0;
    // Runs the change handler on the owning GUI object, when one is set.
    virtual void notify(int32 voice);
    virtual int32 datatype() const = 0;
    virtual void initialize(MpGuiBase* gui, int32 pinId, MpGuiHandler handler = nullptr);
    virtual void reserved6(int32, int32, int32) {}
    virtual int32 rawSize() const = 0;
    virtual const void* rawData() const = 0;
    virtual int32 reserved9() { return 0; }

    int32 getPinId() const { return pinId_; }
    // Name and direction, used only by the library's module catalog.
    const char* name() const { return name_; }
    int32 direction() const { return direction_; }

  protected:
    virtual void resetValue() = 0;
    void transmit();

    int32 pinId_ = -1;
    MpGuiBase* gui_ = nullptr;
    MpGuiHandler handler_ = nullptr;
    const char* name_;
    int32 direction_;
};

class MpGuiPinSimpleBase : public MpGuiPinBase {
  public:
    using MpGuiPinBase::MpGuiPinBase;
};

template <class T>
struct GuiValueTraits;

template <>
struct GuiValueTraits<float> {
    static constexpr int32 datatype = DatatypeFloat;
    static int32 rawSize(const float&) { return 4; }
    static const void* rawData(const float& v) { return &v; }
    // A 4-byte value equal to the stored bytes is no change. A value of another size carries
    // no float and is dropped (reported unchanged).
    static bool receive(float& v, int32 size, const void* data) {
        if (size != 4) return false;
        if (std::memcmp(&v, data, 4) == 0) return false;
        std::memcpy(&v, data, 4);
        return true;
    }
    static bool equal(float a, float b) { return a == b; }
};

template <>
struct GuiValueTraits<int32> {
    static constexpr int32 datatype = DatatypeInt;
    static int32 rawSize(const int32&) { return 4; }
    static const void* rawData(const int32& v) { return &v; }
    static bool receive(int32& v, int32 size, const void* data) {
        if (size != 4) return false;
        if (std::memcmp(&v, data, 4) == 0) return false;
        std::memcpy(&v, data, 4);
        return true;
    }
    static bool equal(int32 a, int32 b) { return a == b; }
};

template <>
struct GuiValueTraits<bool> {
    static constexpr int32 datatype = DatatypeBool;
    static int32 rawSize(const bool&) { return 1; }
    static const void* rawData(const bool& v) { return &v; }
    // Only 1-byte values are compared with the stored one; a 4-byte value always counts as a
    // change. An empty value carries nothing and is dropped.
    static bool receive(bool& v, int32 size, const void* data) {
        if (size <= 0) return false;
        const auto* bytes = static_cast<const unsigned char*>(data);
        if (size == 1 && (bytes[0] != 0) == v && bytes[0] <= 1) return false;
        if (size == 4) {
            int32 i;
            std::memcpy(&i, data, 4);
            v = i != 0;
        } else {
            v = bytes[0] != 0;
        }
        return true;
    }
    static bool equal(bool a, bool b) { return a == b; }
};

template <>
struct GuiValueTraits<std::u16string> {
    static constexpr int32 datatype = DatatypeText;
    static int32 rawSize(const std::u16string& v) { return static_cast<int32>(v.size() * 2); }
    static const void* rawData(const std::u16string& v) { return v.data(); }
    static bool receive(std::u16string& v, int32 size, const void* data) {
        if (size < 0) size = 0;
        if (static_cast<std::size_t>(size) == v.size() * 2 &&
            (size == 0 || std::memcmp(v.data(), data, static_cast<std::size_t>(size)) == 0))
            return false;
        v.resize(static_cast<std::size_t>(size) / 2);
        if (!v.empty()) std::memcpy(v.data(), data, v.size() * 2);
        return true;
    }
    static bool equal(const std::u16string& a, const std::u16string& b) { return a == b; }
};

template <>
struct GuiValueTraits<MpBlob> {
    static constexpr int32 datatype = DatatypeBlob;
    static int32 rawSize(const MpBlob& v) { return v.size(); }
    static const void* rawData(const MpBlob& v) { return v.data(); }
    static bool receive(MpBlob& v, int32 size, const void* data) {
        if (size < 0) size = 0;
        if (size == v.size() &&
            (size == 0 || std::memcmp(v.data(), data, static_cast<std::size_t>(size)) == 0))
            return false;
        v.assign(size, data);
        return true;
    }
    static bool equal(const MpBlob& a, const MpBlob& b) { return a == b; }
};

template <class T>
class MpGuiPin : public MpGuiPinSimpleBase {
  public:
    using Traits = GuiValueTraits<T>;
    explicit MpGuiPin(const char* name = nullptr, int32 direction = DirectionIn)
        : MpGuiPinSimpleBase(name, direction) {}

    bool receiveRawValue(int32, int32 size, const void* data) override {
        if (size > 0 && !data) return false;
        return Traits::receive(value_, size, data);
    }
    int32 datatype() const override { return Traits::datatype; }
    int32 rawSize() const override { return Traits::rawSize(value_); }
    const void* rawData() const override { return Traits::rawData(value_); }

    const T& getValue() const { return value_; }
    operator const T&() const { return value_; }
    // Stores and transmits a value that differs from the stored one; an equal one does nothing.
    void setValue(const T& value) {
        if (Traits::equal(value, value_)) return;
        value_ = value;
        transmit();
    }
    // Transmits the stored value unconditionally.
    void sendValue() { transmit(); }

  protected:
    void resetValue() override { value_ = T{}; }

  private:
    T value_{};
};

using GuiFloatPin = MpGuiPin<float>;
using GuiIntPin = MpGuiPin<int32>;
using GuiBoolPin = MpGuiPin<bool>;
using GuiTextPin = MpGuiPin<std::u16string>;
using GuiBlobPin = MpGuiPin<MpBlob>;

class MpGuiBase : public IMpUserInterface {
  public:
    // Throws "host Interfaces not supported" when the host object offers no GuiHost.
    explicit MpGuiBase(IMpUnknown* hostObject);
    MpGuiBase(const MpGuiBase&) = delete;
    MpGuiBase& operator=(const MpGuiBase&) = delete;

    int32 MP_STDCALL queryInterface(const MpGuid& iid, void** returnInterface) override;
    int32 MP_STDCALL addRef() override;
    int32 MP_STDCALL release() override;
    int32 MP_STDCALL initialize() override;
    int32 MP_STDCALL receivePinValue(int32 pinId, int32 voice, int32 size,
                                     const void* data) override;
    int32 MP_STDCALL notifyPin(int32 pinId, int32 voice) override;
    int32 MP_STDCALL receiveAudioMessage(int32 id, int32 size, const void* data) override;
    int32 MP_STDCALL reserved7() override { return ResultOk; }
    int32 MP_STDCALL reserved8(void*) override { return ResultOk; }
    virtual ~MpGuiBase();

    GuiHost* getHost() const { return host; }
    // Called by pins from their `initialize`; a second pin with the same index is ignored.
    void addPin(int32 pinId, MpGuiPinBase* pin) { pins.emplace(pinId, pin); }
    // Binds a pin with a change handler of the derived module.
    template <class Gui>
    void initializePin(int32 pinId, MpGuiPinBase& pin, void (Gui::*handler)()) {
        pin.initialize(this, pinId, static_cast<MpGuiHandler>(handler));
    }
    void initializePin(int32 pinId, MpGuiPinBase& pin) { pin.initialize(this, pinId, nullptr); }

    template <class F>
    void forEachPin(F&& f) const {
        for (const auto& [id, pin] : pins)
            f(id, *pin);
    }

  protected:
    GuiHost* host = nullptr;
    std::map<int32, MpGuiPinBase*> pins;

  private:
    int32 refCount = 0;
};

class VlGuiCompositedGfxBase : public MpGuiBase, public IVlGraphicsComposited {
  public:
    // Throws "host Interfaces not supported" when the host offers no composited-graphics host.
    explicit VlGuiCompositedGfxBase(IMpUnknown* hostObject);

    // One set of IMpUnknown operations serves both interfaces.
    int32 MP_STDCALL queryInterface(const MpGuid& iid, void** returnInterface) override;
    int32 MP_STDCALL addRef() override { return MpGuiBase::addRef(); }
    int32 MP_STDCALL release() override { return MpGuiBase::release(); }

    int32 MP_STDCALL paint(void*) override { return ResultOk; }
    // The available size with each dimension clamped to 15..100.
    int32 MP_STDCALL measure(int32 availableWidth, int32 availableHeight,
                             MpSize* returnDesiredSize) override;
    int32 MP_STDCALL arrange(int32 r0, int32 r1, int32 r2, int32 r3) override;
    int32 MP_STDCALL reserved6() override { return ResultOk; }
    int32 MP_STDCALL reserved7() override { return ResultOk; }
    int32 MP_STDCALL reserved8(int32, int32, int32) override { return ResultOk; }
    int32 MP_STDCALL reserved9(int32, int32, int32) override { return ResultOk; }
    int32 MP_STDCALL reserved10(int32, int32, int32) override { return ResultOk; }
    ~VlGuiCompositedGfxBase() override;

    // Asks the host for a repaint of `rect`, or of the whole area when null.
    void invalidateRect(const MpRect* rect = nullptr) {
        if (compositedHost) compositedHost->invalidate(rect);
    }
    CompositedGfxHost* getCompositedHost() const { return compositedHost; }
    const MpRect& getRect() const { return rect; }

  protected:
    CompositedGfxHost* compositedHost = nullptr;
    MpRect rect{0, 0, 0, 0};
};

} // namespace gmpi
