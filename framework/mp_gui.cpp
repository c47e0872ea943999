// GUI half base and GUI pins.
#include "framework/mp_gui.h"

#include <stdexcept>

namespace gmpi {

void MpGuiPinBase::notify(int32) {
    if (handler_ && gui_) (gui_->*handler_)();
}

void MpGuiPinBase::initialize(MpGuiBase* gui, int32 pinId, MpGuiHandler handler) {
    resetValue();
    gui_ = gui;
    pinId_ = pinId;
    handler_ = handler;
    if (gui) gui->addPin(pinId, this);
}

void MpGuiPinBase::transmit() {
    if (gui_ && gui_->getHost()) gui_->getHost()->transmitPin(pinId_, rawSize(), rawData(), 0);
}

MpGuiBase::MpGuiBase(IMpUnknown* hostObject) {
    void* p = nullptr;
    if (!hostObject || hostObject->queryInterface(MP_IID_GUI_HOST, &p) != ResultOk || !p)
        throw std::runtime_error("host Interfaces not supported");
    host = static_cast<GuiHost*>(p);
}

MpGuiBase::~MpGuiBase() {
    if (host) host->release();
    pins.clear();
}

int32 MpGuiBase::queryInterface(const MpGuid& iid, void** returnInterface) {
    if (iid == MP_IID_UNKNOWN || iid == MP_IID_USER_INTERFACE) {
        *returnInterface = static_cast<IMpUserInterface*>(this);
        addRef();
        return ResultOk;
    }
    *returnInterface = nullptr;
    return ResultNoSupport;
}

int32 MpGuiBase::addRef() {
    return ++refCount;
}

int32 MpGuiBase::release() {
    if (--refCount == 0) {
        delete this;
        return 0;
    }
    return refCount;
}

int32 MpGuiBase::initialize() {
    return ResultOk;
}

int32 MpGuiBase::receivePinValue(int32 pinId, int32 voice, int32 size, const void* data) {
    const auto it = pins.find(pinId);
    if (it == pins.end()) return ResultFail;
    it->second->receiveRawValue(voice, size, data);
    return ResultOk;
}

int32 MpGuiBase::notifyPin(int32 pinId, int32 voice) {
    const auto it = pins.find(pinId);
    if (it == pins.end()) return ResultFail;
    it->second->notify(voice);
    return ResultOk;
}

int32 MpGuiBase::receiveAudioMessage(int32, int32, const void*) {
    return ResultOk;
}

VlGuiCompositedGfxBase::VlGuiCompositedGfxBase(IMpUnknown* hostObject) : MpGuiBase(hostObject) {
    void* p = nullptr;
    // Throwing here still runs the base destructor, which releases `host`.
    if (hostObject->queryInterface(MP_IID_COMPOSITED_HOST, &p) != ResultOk || !p)
        throw std::runtime_error("host Interfaces not supported");
    compositedHost = static_cast<CompositedGfxHost*>(p);
}

VlGuiCompositedGfxBase::~VlGuiCompositedGfxBase() {
    if (compositedHost) compositedHost->release();
}

int32 VlGuiCompositedGfxBase::queryInterface(const MpGuid& iid, void** returnInterface) {
    if (iid == MP_IID_GRAPHICS_COMPOSITED) {
        *returnInterface = static_cast<IVlGraphicsComposited*>(this);
        addRef();
        return ResultOk;
    }
    return MpGuiBase::queryInterface(iid, returnInterface);
}

static int32 clampDimension(int32 v) {
    return v < 15 ? 15 : v > 100 ? 100 : v;
}

int32 VlGuiCompositedGfxBase::measure(int32 availableWidth, int32 availableHeight,
                                      MpSize* returnDesiredSize) {
    if (returnDesiredSize) {
        returnDesiredSize->width = clampDimension(availableWidth);
        returnDesiredSize->height = clampDimension(availableHeight);
    }
    return ResultOk;
}

int32 VlGuiCompositedGfxBase::arrange(int32 r0, int32 r1, int32 r2, int32 r3) {
    rect = MpRect{r0, r1, r2, r3};
    return ResultOk;
}

} // namespace gmpi
