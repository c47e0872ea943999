#include "host/gui_module.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace zrhost {

// One object offering both host interfaces; queryInterface hands out the matching base.
// Reference counting is kept for inspection only: the object belongs to its GuiModule.
class GuiModule::Host final : public gmpi::GuiHost, public gmpi::CompositedGfxHost {
  public:
    explicit Host(GuiModule& owner) : owner_(owner) {}

    gmpi::int32 MP_STDCALL queryInterface(const gmpi::MpGuid& iid,
                                          void** returnInterface) override {
        if (!returnInterface) return gmpi::ResultFail;
        *returnInterface = nullptr;
        const GuiHostOptions& o = owner_.options_;
        if (iid == gmpi::MP_IID_UNKNOWN)
            *returnInterface = static_cast<gmpi::IMpUnknown*>(static_cast<gmpi::GuiHost*>(this));
        else if (iid == gmpi::MP_IID_GUI_HOST && o.offerGuiHost)
            *returnInterface = static_cast<gmpi::GuiHost*>(this);
        else if (iid == gmpi::MP_IID_COMPOSITED_HOST && o.offerCompositedHost)
            *returnInterface = static_cast<gmpi::CompositedGfxHost*>(this);
        if (!*returnInterface) return gmpi::ResultNoSupport;
        addRef();
        return gmpi::ResultOk;
    }
    gmpi::int32 MP_STDCALL addRef() override { return ++refs_; }
    gmpi::int32 MP_STDCALL release() override { return --refs_; }

    // GuiHost
    gmpi::int32 MP_STDCALL transmitPin(gmpi::int32 pinId, gmpi::int32 size, const void* data,
                                       gmpi::int32 voice) override {
        if (owner_.sink_) owner_.sink_->transmit(owner_, pinId, size, data, voice);
        GuiTransmit t;
        static_cast<PinBytes&>(t) = PinBytes::of(data, size);
        t.pinId = pinId;
        t.voice = voice;
        owner_.transmits_.push_back(std::move(t));
        return gmpi::ResultOk;
    }
    gmpi::int32 MP_STDCALL reserved4() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved5() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved6() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved7() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved8() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL reserved9() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL getFullPath(const char16_t* shortName, gmpi::int32 maxChars,
                                       char16_t* returnFullPath) override {
        return owner_.context_.getFullPath(shortName, maxChars, returnFullPath);
    }
    gmpi::int32 MP_STDCALL reserved11() override { return gmpi::ResultOk; }
    gmpi::int32 MP_STDCALL getPinCount(gmpi::int32& count) override {
        count = owner_.options_.pinCount;
        return gmpi::ResultOk;
    }

    // CompositedGfxHost
    gmpi::int32 MP_STDCALL invalidate(const gmpi::MpRect* rect) override {
        if (owner_.sink_) owner_.sink_->invalidated(owner_);
        owner_.invalidations_.push_back(rect ? std::optional<gmpi::MpRect>(*rect) : std::nullopt);
        return gmpi::ResultOk;
    }
    gmpi::int32 MP_STDCALL getStyle(const char16_t* styleName, void* returnRecord,
                                    void** returnHandle) override {
        owner_.styleRequests_.emplace_back(styleName ? styleName : u"");
        if (returnHandle) *returnHandle = nullptr;
        const auto& background = owner_.options_.styleBackground;
        if (!background || !returnRecord) return gmpi::ResultFail;
        // The record: word 0 size of the record, word 1 reserved, word 2 background colour.
        std::int32_t words[3] = {gmpi::kStyleRecordBytes, 0, *background};
        std::memcpy(returnRecord, words, sizeof words);
        return gmpi::ResultOk;
    }

    gmpi::int32 references() const { return refs_; }

  private:
    GuiModule& owner_;
    gmpi::int32 refs_ = 0;
};

GuiModule::GuiModule(ModuleLibrary& library, std::u16string_view id, HostContext& context,
                     GuiHostOptions options)
    : context_(context), options_(options), host_(std::make_unique<Host>(*this)) {
    const std::u16string name(id);
    void* object = nullptr;
    auto* hostUnknown = static_cast<gmpi::IMpUnknown*>(static_cast<gmpi::GuiHost*>(host_.get()));
    createResult_ =
        library.factory()->createInstance(name.c_str(), gmpi::SubTypeGui, hostUnknown, &object);
    if (createResult_ != gmpi::ResultOk || !object) {
        if (createResult_ == gmpi::ResultOk) createResult_ = gmpi::ResultFail;
        return;
    }
    auto* unknown = static_cast<gmpi::IMpUnknown*>(object);
    void* iface = nullptr;
    if (unknown->queryInterface(gmpi::MP_IID_USER_INTERFACE, &iface) == gmpi::ResultOk && iface)
        ui_ = static_cast<gmpi::IMpUserInterface*>(iface);
    else
        createResult_ = gmpi::ResultNoSupport;
    iface = nullptr;
    if (ui_ &&
        unknown->queryInterface(gmpi::MP_IID_GRAPHICS_COMPOSITED, &iface) == gmpi::ResultOk &&
        iface)
        graphics_ = static_cast<gmpi::IVlGraphicsComposited*>(iface);
    unknown->release();
}

GuiModule::~GuiModule() {
    if (graphics_) graphics_->release();
    if (ui_) ui_->release();
}

gmpi::GuiHost& GuiModule::guiHost() {
    return *host_;
}
gmpi::CompositedGfxHost& GuiModule::compositedHost() {
    return *host_;
}
gmpi::int32 GuiModule::hostReferences() const {
    return host_->references();
}

gmpi::int32 GuiModule::initialize() {
    return ui_ ? ui_->initialize() : gmpi::ResultFail;
}

gmpi::int32 GuiModule::deliver(gmpi::int32 pinId, const void* data, gmpi::int32 size) {
    if (!ui_) return gmpi::ResultFail;
    const gmpi::int32 received = ui_->receivePinValue(pinId, 0, size, data);
    const gmpi::int32 notified = ui_->notifyPin(pinId, 0);
    return received != gmpi::ResultOk ? received : notified;
}

gmpi::int32 GuiModule::deliverFloat(gmpi::int32 pinId, float value) {
    return deliver(pinId, &value, sizeof value);
}

gmpi::int32 GuiModule::deliverInt(gmpi::int32 pinId, gmpi::int32 value) {
    return deliver(pinId, &value, sizeof value);
}

gmpi::int32 GuiModule::deliverBool(gmpi::int32 pinId, bool value) {
    const std::uint8_t byte = value ? 1 : 0;
    return deliver(pinId, &byte, 1);
}

gmpi::int32 GuiModule::deliverText(gmpi::int32 pinId, std::u16string_view text) {
    return deliver(pinId, text.data(), static_cast<gmpi::int32>(text.size() * sizeof(char16_t)));
}

gmpi::int32 GuiModule::deliverBlob(gmpi::int32 pinId, std::span<const std::uint8_t> bytes) {
    return deliver(pinId, bytes.data(), static_cast<gmpi::int32>(bytes.size()));
}

std::vector<GuiTransmit> GuiModule::transmitsOn(gmpi::int32 pinId) const {
    std::vector<GuiTransmit> out;
    for (const auto& t : transmits_)
        if (t.pinId == pinId) out.push_back(t);
    return out;
}

std::vector<float> GuiModule::floatsSent(gmpi::int32 pinId) const {
    return readAll(transmitsOn(pinId), &PinBytes::asFloat);
}

std::vector<gmpi::int32> GuiModule::intsSent(gmpi::int32 pinId) const {
    return readAll(transmitsOn(pinId), &PinBytes::asInt);
}

std::vector<bool> GuiModule::boolsSent(gmpi::int32 pinId) const {
    return readAll(transmitsOn(pinId), &PinBytes::asBool);
}

std::vector<std::u16string> GuiModule::textsSent(gmpi::int32 pinId) const {
    return readAll(transmitsOn(pinId), &PinBytes::asText);
}

void GuiModule::clearRecord() {
    transmits_.clear();
    invalidations_.clear();
    styleRequests_.clear();
}

gmpi::int32 GuiModule::measure(gmpi::int32 availableWidth, gmpi::int32 availableHeight,
                               gmpi::MpSize& desired) {
    if (!graphics_) return gmpi::ResultNoSupport;
    return graphics_->measure(availableWidth, availableHeight, &desired);
}

gmpi::int32 GuiModule::arrange(gmpi::int32 r0, gmpi::int32 r1, gmpi::int32 r2, gmpi::int32 r3) {
    if (!graphics_) return gmpi::ResultNoSupport;
    return graphics_->arrange(r0, r1, r2, r3);
}

gmpi::int32 GuiModule::paint(gmpi::int32 width, gmpi::int32 height, std::uint32_t clear) {
#ifdef _WIN32
    // The module gets a memory device context with a 32-bit top-down DIB section selected, so
    // the system's GDI draws into memory this wrapper can read; afterwards the pixels are
    // copied out as COLORREFs (0x00BBGGRR) so that pixel() answers as on other systems.
    if (!graphics_) return gmpi::ResultNoSupport;
    width = std::max(width, 0);
    height = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), clear);
    surface_ = MpSoftSurface{width, height, width, pixels_.data()};
    // DIB pixels are 0x00RRGGBB; a COLORREF swaps red and blue.
    const auto swapRedBlue = [](std::uint32_t c) {
        return (c & 0xFF00FF00u) | ((c & 0x000000FFu) << 16) | ((c >> 16) & 0x000000FFu);
    };
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return gmpi::ResultFail;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = std::max(width, 1); // a DIB needs at least one pixel
    info.bmiHeader.biHeight = -std::max(height, 1);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        DeleteDC(dc);
        return gmpi::ResultFail;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap);
    auto* dib = static_cast<std::uint32_t*>(bits);
    const std::size_t count = pixels_.size();
    for (std::size_t i = 0; i < count; ++i)
        dib[i] = swapRedBlue(pixels_[i]);
    const gmpi::int32 result = graphics_->paint(dc);
    GdiFlush();
    for (std::size_t i = 0; i < count; ++i)
        pixels_[i] = swapRedBlue(dib[i]);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return result;
#else
    if (!graphics_) return gmpi::ResultNoSupport;
    width = std::max(width, 0);
    height = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), clear);
    surface_ = MpSoftSurface{width, height, width, pixels_.data()};
    return graphics_->paint(&surface_);
#endif
}

std::uint32_t GuiModule::pixel(gmpi::int32 x, gmpi::int32 y) const {
    if (x < 0 || y < 0 || x >= surface_.width || y >= surface_.height) return 0xFFFFFFFFu;
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(surface_.stride) +
                   static_cast<std::size_t>(x)];
}

} // namespace zrhost
