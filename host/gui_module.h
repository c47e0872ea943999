// One GUI half of a module, driven the way a host's editor drives it.
//
// Creation goes through the library's factory with a host object of this wrapper that answers
// MP_IID_GUI_HOST and MP_IID_COMPOSITED_HOST (and MP_IID_UNKNOWN); GuiHostOptions can withhold
// either interface, give the pin count, and set or withhold the style record. Values are
// delivered as receivePinValue followed by notifyPin; the module's transmitPin, invalidate and
// getStyle calls are recorded. Drawing goes through IVlGraphicsComposited; off Windows paint
// draws into a software surface (MpSoftSurface) owned by the wrapper.
//
// Threads: everything, including the timer ticks driven through ModuleLibrary, on the
// user-interface thread. Not copyable or movable (the module holds the host object's address).
// Ownership: the wrapper owns its module references (released in the destructor), the surface
// pixels and the record; the ModuleLibrary and the HostContext are borrowed and must outlive it.
#pragma once

#include "framework/mp_interfaces.h"
#include "host/host_context.h"
#include "host/module_library.h"
#include "host/text.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zrhost {

struct GuiHostOptions {
    bool offerGuiHost = true;
    bool offerCompositedHost = true;
    // Answer of GuiHost::getPinCount.
    gmpi::int32 pinCount = 0;
    // Background COLORREF (0x00BBGGRR; negative: no background) written as the third 32-bit
    // word of the style record. nullopt: the style lookup answers nothing (ResultFail, record
    // left untouched).
    std::optional<gmpi::int32> styleBackground = 0x00000000;
};

// One transmitPin call.
struct GuiTransmit : PinBytes {
    gmpi::int32 pinId = 0;
    gmpi::int32 voice = 0;
};

class GuiModule;

// Receives the module's transmissions as they happen, for an engine that carries GUI values to
// other modules. Called on the user-interface thread from inside transmitPin; the data pointer
// is the module's and is valid only during the call.
class GuiCallSink {
  public:
    virtual ~GuiCallSink() = default;
    virtual void transmit(GuiModule& from, gmpi::int32 pinId, gmpi::int32 size, const void* data,
                          gmpi::int32 voice) = 0;
    virtual void invalidated(GuiModule&) {}
};

class GuiModule {
  public:
    // Creates the GUI half `id` through the library's factory. Failure does not throw: check
    // valid() and createResult().
    GuiModule(ModuleLibrary& library, std::u16string_view id, HostContext& context,
              GuiHostOptions options = {});
    ~GuiModule();
    GuiModule(const GuiModule&) = delete;
    GuiModule& operator=(const GuiModule&) = delete;

    // Result of createInstance, or ResultNoSupport when the object does not answer
    // MP_IID_USER_INTERFACE.
    gmpi::int32 createResult() const { return createResult_; }
    bool valid() const { return ui_ != nullptr; }
    gmpi::IMpUserInterface* ui() const { return ui_; }
    // The drawing interface, or null when the module does not answer
    // MP_IID_GRAPHICS_COMPOSITED.
    gmpi::IVlGraphicsComposited* graphics() const { return graphics_; }

    // The host interfaces the module sees (for calling them directly in tests).
    gmpi::GuiHost& guiHost();
    gmpi::CompositedGfxHost& compositedHost();
    gmpi::int32 hostReferences() const;

    GuiHostOptions& options() { return options_; }

    gmpi::int32 initialize();

    // receivePinValue (voice 0) then notifyPin. Returns the first result that is not ResultOk
    // (notifyPin is still called after a failed receivePinValue, as a host would).
    gmpi::int32 deliver(gmpi::int32 pinId, const void* data, gmpi::int32 size);
    gmpi::int32 deliverFloat(gmpi::int32 pinId, float value);
    gmpi::int32 deliverInt(gmpi::int32 pinId, gmpi::int32 value);
    gmpi::int32 deliverBool(gmpi::int32 pinId, bool value); // 1 byte
    gmpi::int32 deliverText(gmpi::int32 pinId, std::u16string_view text);
    gmpi::int32 deliverBlob(gmpi::int32 pinId, std::span<const std::uint8_t> bytes);

    // Value forwarding for engines (borrowed; null: none).
    void setSink(GuiCallSink* sink) { sink_ = sink; }

    // Record.
    const std::vector<GuiTransmit>& transmits() const { return transmits_; }
    std::vector<GuiTransmit> transmitsOn(gmpi::int32 pinId) const;
    std::vector<float> floatsSent(gmpi::int32 pinId) const;
    std::vector<gmpi::int32> intsSent(gmpi::int32 pinId) const;
    std::vector<bool> boolsSent(gmpi::int32 pinId) const;
    std::vector<std::u16string> textsSent(gmpi::int32 pinId) const;
    // invalidate calls: the rectangle, or nullopt for the whole area.
    const std::vector<std::optional<gmpi::MpRect>>& invalidations() const { return invalidations_; }
    const std::vector<std::u16string>& styleRequests() const { return styleRequests_; }
    void clearRecord();

    // Drawing (results are ResultNoSupport when the module has no drawing interface).
    gmpi::int32 measure(gmpi::int32 availableWidth, gmpi::int32 availableHeight,
                        gmpi::MpSize& desired);
    gmpi::int32 arrange(gmpi::int32 r0, gmpi::int32 r1, gmpi::int32 r2, gmpi::int32 r3);
    // Sizes the surface to width × height (stride = width), fills it with `clear` and calls
    // paint with it. Off Windows the module draws on the software surface; on Windows it gets
    // a memory device context over a bitmap whose pixels are copied back into the surface.
    gmpi::int32 paint(gmpi::int32 width, gmpi::int32 height, std::uint32_t clear = 0);
    const MpSoftSurface& surface() const { return surface_; }
    std::span<const std::uint32_t> pixels() const { return pixels_; }
    // The pixel at (x, y); 0xFFFFFFFF outside the surface.
    std::uint32_t pixel(gmpi::int32 x, gmpi::int32 y) const;

  private:
    class Host;
    friend class Host;

    HostContext& context_;
    GuiHostOptions options_;
    std::unique_ptr<Host> host_;
    gmpi::IMpUserInterface* ui_ = nullptr;
    gmpi::IVlGraphicsComposited* graphics_ = nullptr;
    gmpi::int32 createResult_ = gmpi::ResultFail;
    std::vector<GuiTransmit> transmits_;
    std::vector<std::optional<gmpi::MpRect>> invalidations_;
    std::vector<std::u16string> styleRequests_;
    std::vector<std::uint32_t> pixels_;
    MpSoftSurface surface_{0, 0, 0, nullptr};
    GuiCallSink* sink_ = nullptr;
};

} // namespace zrhost
