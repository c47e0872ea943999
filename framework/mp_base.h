// Audio half base: the IMpPlugin implementation, the pin table, the three-pass event dispatch
// of `process`, block routines and the sleep check. Modules derive from MpBase, bind their
// pins in the constructor, react in hooks and render in block routines they select.
//
// Every entry point runs on the host's audio thread, one call at a time; nothing here locks
// or allocates once the module is open.
#pragma once

#include "framework/mp_interfaces.h"

#include <cstdint>
#include <vector>

namespace gmpi {

class MpBase;
class MpPinBase;

// A change handler: a member routine of the module that takes the event.
using MpEventHandler = void (MpBase::*)(const MpEvent* event);

// Value bytes of an event, as receivers must read them: `extraData` when non-null, else the
// inline bytes. The size is never negative, and never more than the 8 inline bytes when the
// value is inline, so a reader never leaves the bytes the host gave.
struct EventBytes {
    const char* data;
    int32 size;
};
inline EventBytes eventBytes(const MpEvent* e) {
    int32 size = e->size < 0 ? 0 : e->size;
    if (e->extraData) return {e->extraData, size};
    return {e->inlineData, size > 8 ? 8 : size};
}

class MpPluginBase : public IMpPlugin {
  public:
    explicit MpPluginBase(IMpUnknown* hostObject);
    MpPluginBase(const MpPluginBase&) = delete;
    MpPluginBase& operator=(const MpPluginBase&) = delete;

    // IMpUnknown
    int32 MP_STDCALL queryInterface(const MpGuid& iid, void** returnInterface) override;
    int32 MP_STDCALL addRef() override;
    int32 MP_STDCALL release() override;
    // IMpPlugin
    int32 MP_STDCALL open() override;
    int32 MP_STDCALL attachBuffer(int32 pinId, float* buffer) override;
    int32 MP_STDCALL receiveGuiMessage(int32 id, int32 size, const void* data) override;

    virtual ~MpPluginBase();

    // Hooks, in slot order after the destructor.
    virtual void midiReceived(int32 pinId, const unsigned char* bytes, int32 size);
    virtual void pinsChanged();
    virtual void streamingChanged(bool isStreaming) = 0;
    virtual void graphStarted();

    // Services for pins and modules.
    AudioHost* getHost() const { return host; }
    int32 blockPosition() const { return blockPosition_; }
    // Counts dispatched event groups; a pin is updated while its stamp equals it.
    uint64_t dispatchSerial() const { return dispatchSerial_; }
    MpPinBase* findPin(int32 pinId) const {
        // One unsigned comparison also refuses negative ids.
        return static_cast<uint32_t>(pinId) < pinCount ? pins[static_cast<std::size_t>(pinId)]
                                                       : nullptr;
    }
    // Binds a pin: stores index, owner and handler in it and enters it in the pin table.
    // A second pin with an index already bound is ignored.
    void initializePin(int32 pinIndex, MpPinBase& pin, MpEventHandler handler = nullptr);

    // Written by audio output pins when they go static (Part of the sleep logic).
    int32 sleepCountdown = 0;

    // Pin table walk (ascending index), for the catalog and tests.
    template <class F>
    void forEachPin(F&& f) const {
        for (std::size_t i = 0; i < pins.size(); ++i)
            if (pins[i]) f(static_cast<int32>(i), *pins[i]);
    }

  protected:
    AudioHost* host = nullptr;
    // Ordered pin table indexed directly by pin index (pins are module members; not owned),
    // and each pin's change handler (null: none).
    std::vector<MpPinBase*> pins;
    std::vector<MpEventHandler> handlers;
    uint32_t pinCount = 0; // pins.size(), kept for the dispatch's bounds check
    int32 blockPosition_ = 0;
    uint64_t dispatchSerial_ = 1;
    int32 streamingCount = 0;
    int32 sleepMode = -1; // -1 automatic, 0 never sleep, 1 always run the sleep check
    bool eventsComplete = true;

  private:
    int32 refCount = 0;
    // Buffers for audio pins the host left without one (see open).
    std::vector<float> spareInput;
    std::vector<float> spareOutput;
};

class MpBase : public MpPluginBase {
  public:
    // A block routine renders `sampleFrames` samples from `bufferOffset` in every pin buffer.
    using SubProcess = void (MpBase::*)(int32 bufferOffset, int32 sampleFrames);

    explicit MpBase(IMpUnknown* hostObject);

    void MP_STDCALL process(int32 sampleFrames, const MpEvent* firstEvent) override;
    void streamingChanged(bool isStreaming) override;

    // Selects the module's block routine. While the sleep check is active only the module's
    // routine changes; the check hands over to it when it stops.
    template <class Module>
    void setBlockRoutine(void (Module::*routine)(int32, int32)) {
        setSubProcess(static_cast<SubProcess>(routine));
    }
    void setSubProcess(SubProcess routine);
    void allowSleep(bool allow);

    // Forwards a MIDI event to `midiReceived`; the default handler of MIDI inputs.
    void midiHandler(const MpEvent* event);

    // Observers for tests and benchmarks built into the library.
    bool sleepCheckActive() const { return activeRoutine == &MpBase::sleepCheck; }

  protected:
    void subProcessNothing(int32 bufferOffset, int32 sampleFrames);

  private:
    void sleepCheck(int32 bufferOffset, int32 sampleFrames);
    void dispatchGroup(const MpEvent* first, const MpEvent* end);
    void dispatchOne(const MpEvent* event);
    // The second step of dispatch for an event whose pin exists: the pin's change handler.
    void runHandler(const MpEvent* event) {
        if (const MpEventHandler h = handlers[static_cast<std::size_t>(event->pinId)])
            (this->*h)(event);
    }

    SubProcess activeRoutine;
    SubProcess moduleRoutine;
};

} // namespace gmpi
