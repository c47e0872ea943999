// Audio half base: reference counting, the pin table, event dispatch and the sleep check.
#include "framework/mp_base.h"
#include "framework/mp_pins.h"

namespace gmpi {

MpPluginBase::MpPluginBase(IMpUnknown* hostObject) {
    void* p = nullptr;
    if (hostObject && hostObject->queryInterface(MP_IID_AUDIO_HOST, &p) == ResultOk)
        host = static_cast<AudioHost*>(p);
}

MpPluginBase::~MpPluginBase() {
    if (host) host->release();
    pins.clear();
    handlers.clear();
    pinCount = 0;
}

int32 MpPluginBase::queryInterface(const MpGuid& iid, void** returnInterface) {
    if (iid == MP_IID_UNKNOWN || iid == MP_IID_PLUGIN) {
        *returnInterface = static_cast<IMpPlugin*>(this);
        addRef();
        return ResultOk;
    }
    *returnInterface = nullptr;
    return ResultNoSupport;
}

int32 MpPluginBase::addRef() {
    return ++refCount;
}

int32 MpPluginBase::release() {
    if (--refCount == 0) {
        delete this;
        return 0;
    }
    return refCount;
}

int32 MpPluginBase::open() {
    // A host may leave an unconnected audio pin without a buffer. Such pins get buffers of the
    // module's own (silence for inputs, scratch for outputs), sized to the host's block, so
    // that block routines never read or write through a null pointer.
    int32 blockSize = 0;
    if (host) host->getBlockSize(blockSize);
    if (blockSize <= 0) return ResultOk;
    const float* oldInput = spareInput.data();
    const float* oldOutput = spareOutput.data();
    auto lacksBuffer = [&](MpPinBase& pin) {
        if (pin.datatype() != DatatypeAudio) return false;
        const float* b = static_cast<MpAudioPinBase&>(pin).getBuffer();
        return !b || b == oldInput || b == oldOutput;
    };
    bool needed = false;
    forEachPin([&](int32, MpPinBase& pin) { needed = needed || lacksBuffer(pin); });
    if (!needed) return ResultOk;
    const auto size = static_cast<std::size_t>(blockSize);
    if (spareInput.size() < size) spareInput.assign(size, 0.0f);
    if (spareOutput.size() < size) spareOutput.assign(size, 0.0f);
    forEachPin([&](int32, MpPinBase& pin) {
        if (!lacksBuffer(pin)) return;
        std::vector<float>& spare = pin.direction() == DirectionIn ? spareInput : spareOutput;
        static_cast<MpAudioPinBase&>(pin).attachBuffer(spare.data());
    });
    return ResultOk;
}

int32 MpPluginBase::attachBuffer(int32 pinId, float* buffer) {
    MpPinBase* pin = findPin(pinId);
    if (!pin) return ResultFail;
    pin->attachBuffer(buffer);
    return ResultOk;
}

int32 MpPluginBase::receiveGuiMessage(int32, int32, const void*) {
    return ResultOk;
}

void MpPluginBase::midiReceived(int32, const unsigned char*, int32) {}
void MpPluginBase::pinsChanged() {}

void MpPluginBase::graphStarted() {
    forEachPin([](int32, MpPinBase& pin) {
        if (pin.direction() == DirectionOut) pin.sendInitialValue();
    });
}

void MpPluginBase::initializePin(int32 pinIndex, MpPinBase& pin, MpEventHandler handler) {
    if (pinIndex < 0) return;
    const auto slot = static_cast<std::size_t>(pinIndex);
    if (slot >= pins.size()) {
        pins.resize(slot + 1, nullptr);
        handlers.resize(slot + 1, nullptr);
    }
    pinCount = static_cast<uint32_t>(pins.size());
    if (pins[slot]) return; // the first binding stays
    if (!handler && pin.direction() == DirectionIn) handler = pin.defaultHandler();
    pin.bind(pinIndex, static_cast<MpBase*>(this));
    pins[slot] = &pin;
    handlers[slot] = handler;
}

MpBase::MpBase(IMpUnknown* hostObject)
    : MpPluginBase(hostObject), activeRoutine(&MpBase::sleepCheck),
      moduleRoutine(&MpBase::subProcessNothing) {}

void MpBase::subProcessNothing(int32, int32) {}

void MpBase::midiHandler(const MpEvent* event) {
    // Only MIDI events carry messages; a value or streaming event sent to a MIDI pin is not one.
    if (event->type != EventMidi) return;
    const EventBytes b = eventBytes(event);
    midiReceived(event->pinId, reinterpret_cast<const unsigned char*>(b.data), b.size);
}

void MpBase::setSubProcess(SubProcess routine) {
    if (activeRoutine == moduleRoutine) activeRoutine = routine;
    moduleRoutine = routine;
}

void MpBase::allowSleep(bool allow) {
    if (allow) {
        sleepMode = 1;
        activeRoutine = &MpBase::sleepCheck;
    } else {
        sleepMode = 0;
    }
}

void MpBase::streamingChanged(bool isStreaming) {
    streamingCount += isStreaming ? 1 : -1;
    if (streamingCount != 0 && sleepMode != 1)
        activeRoutine = moduleRoutine;
    else
        activeRoutine = &MpBase::sleepCheck;
}

void MpBase::sleepCheck(int32 bufferOffset, int32 sampleFrames) {
    for (;;) {
        const bool canSleep = sleepMode == -1 ? streamingCount == 0 : sleepMode == 1;
        if (!canSleep) {
            activeRoutine = moduleRoutine;
            if (sampleFrames > 0) (this->*moduleRoutine)(bufferOffset, sampleFrames);
            return;
        }
        if (sleepCountdown <= 0) {
            if (eventsComplete) {
                if (host) host->sleep();
                return;
            }
            // A stretch before a pending event is always rendered in full.
            sleepCountdown = sampleFrames;
        }
        if (sampleFrames <= 0) return;
        const int32 n = sleepCountdown < sampleFrames ? sleepCountdown : sampleFrames;
        sleepCountdown -= n;
        (this->*moduleRoutine)(bufferOffset, n);
        bufferOffset += n;
        sampleFrames -= n;
    }
}

static bool addressesPin(int32 type) {
    return type >= EventPinValue && type <= EventMidi;
}

void MpBase::dispatchGroup(const MpEvent* first, const MpEvent* end) {
    bool valuesChanged = false;
    for (const MpEvent* e = first; e != end; e = e->next) {
        if (!addressesPin(e->type)) continue;
        if (MpPinBase* pin = findPin(e->pinId)) pin->takeEvent(e);
        if (e->type != EventMidi) valuesChanged = true;
    }
    for (const MpEvent* e = first; e != end; e = e->next) {
        if (addressesPin(e->type)) {
            if (findPin(e->pinId)) runHandler(e);
        } else if (e->type == EventGraphStart) {
            graphStarted();
        }
    }
    if (valuesChanged) pinsChanged();
    ++dispatchSerial_; // clears every updated flag of the group
}

// The common case, an event alone at its time: the same order as a group, without its passes.
inline void MpBase::dispatchOne(const MpEvent* e) {
    if (!addressesPin(e->type)) {
        if (e->type == EventGraphStart) graphStarted();
        return;
    }
    if (MpPinBase* pin = findPin(e->pinId)) {
        pin->takeEvent(e);
        runHandler(e);
    }
    if (e->type != EventMidi) pinsChanged();
    ++dispatchSerial_;
}

void MpBase::process(int32 sampleFrames, const MpEvent* event) {
    int32 position = 0;
    int32 remaining = sampleFrames > 0 ? sampleFrames : 0;
    // The sleep check renders a stretch before a pending event in full.
    eventsComplete = event == nullptr;
    while (event) {
        // Times outside the block or running backwards are the host's fault; they are held
        // inside [position, sampleFrames) so that no routine renders past the buffers.
        const int32 delta = event->time > position ? event->time - position : 0;
        if (delta > 0) {
            const int32 n = delta < remaining ? delta : remaining;
            (this->*activeRoutine)(position, n);
            remaining -= n;
            if (remaining <= 0) { // an event timed at the block end is never dispatched
                eventsComplete = true;
                return;
            }
            position += n;
        }
        blockPosition_ = position;
        const MpEvent* next = event->next;
        if (!next || next->time != event->time) {
            dispatchOne(event);
            event = next;
            continue;
        }
        const MpEvent* end = next->next;
        while (end && end->time == event->time)
            end = end->next;
        dispatchGroup(event, end);
        event = end;
    }
    eventsComplete = true;
    (this->*activeRoutine)(position, remaining);
}

} // namespace gmpi
