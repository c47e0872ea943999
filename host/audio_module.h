// One audio half of a module, driven the way a host drives it.
//
// Creation goes through the library's factory with a host object of this wrapper that answers
// MP_IID_AUDIO_HOST (and MP_IID_UNKNOWN). The wrapper keeps the createInstance result, attaches
// float buffers to audio pins, calls open and then process block by block, and records every
// call the module makes back into the host.
//
// Sleep: once the module calls AudioHost::sleep, processBlock does not call process again until
// a block comes with events for it (or wake() is called); while asleep its buffers are left as
// they are.
//
// An engine driving many modules keeps one AudioModule per instance, attaches buffers it owns
// (attachBuffer with its own float*), builds one EventList per module and block, and asks
// isAsleep()/wouldProcess() to decide on its own schedule.
//
// Threads: construction, open and processBlock on the audio thread (one call at a time); the
// recorded calls are read between blocks on the same thread. Not copyable or movable: the
// module holds the address of the host object.
// Ownership: the wrapper owns the module reference (released in the destructor, before the
// host object goes), its own buffers and the record. The ModuleLibrary and the HostContext are
// borrowed and must outlive the wrapper. Externally attached buffers stay the caller's.
#pragma once

#include "framework/mp_interfaces.h"
#include "host/event_list.h"
#include "host/host_context.h"
#include "host/module_library.h"
#include "host/text.h"

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zrhost {

enum class AudioCallKind {
    SetPinValue,
    SetPinStreaming,
    Sleep,
    GetBlockSize,
    GetSampleRate,
    AllocateSharedMemory,
    GetFullPath,
};

// One call from the module into the host. `block` is the index of the processBlock call it
// happened in (-1 before the first block, e.g. during open). `time` and `pinId` are those the
// module passed (0 where the call has none); `streaming` is the state of setPinStreaming;
// `value` the bytes of setPinValue; `text` the name given to allocateSharedMemory/getFullPath.
struct AudioCall : PinBytes {
    AudioCallKind kind = AudioCallKind::Sleep;
    std::int64_t block = -1;
    gmpi::int32 time = 0;
    gmpi::int32 pinId = 0;
    gmpi::int32 streaming = 0;
    std::u16string text;
};

class AudioModule;

// Receives the module's output as it happens, for an engine that forwards values and streaming
// states to other modules. Called on the audio thread from inside the module's calls; the data
// pointer is the module's and is valid only during the call. Independent of recording.
class AudioCallSink {
  public:
    virtual ~AudioCallSink() = default;
    virtual void pinValue(AudioModule& from, gmpi::int32 time, gmpi::int32 pinId, gmpi::int32 size,
                          const void* data) = 0;
    virtual void pinStreaming(AudioModule& from, gmpi::int32 time, gmpi::int32 pinId,
                              bool streaming) = 0;
    virtual void slept(AudioModule&) {}
};

struct AudioSettings {
    gmpi::int32 blockSize = 64;
    float sampleRate = 44100.0f;
};

// Aligned to a cache line, so that an engine's array of them costs one line per module and
// block.
class alignas(64) AudioModule {
  public:
    // Creates the audio half `id` through the library's factory. Failure does not throw:
    // check valid() and createResult().
    AudioModule(ModuleLibrary& library, std::u16string_view id, HostContext& context,
                AudioSettings settings = {});
    ~AudioModule();
    AudioModule(const AudioModule&) = delete;
    AudioModule& operator=(const AudioModule&) = delete;

    // Result of createInstance (ResultOk, ResultNoSupport, ResultFail), or ResultNoSupport when
    // the created object does not answer MP_IID_PLUGIN.
    gmpi::int32 createResult() const { return createResult_; }
    bool valid() const { return plugin_ != nullptr; }
    gmpi::IMpPlugin* plugin() const { return plugin_; }
    const AudioSettings& settings() const { return settings_; }

    // The host interface the module sees (for calling its operations directly in tests).
    gmpi::AudioHost& host();
    // References the module currently holds on the host object.
    gmpi::int32 hostReferences() const;

    // Attaches a zero-filled buffer of blockSize floats owned by this wrapper (a second call for
    // the same pin reuses it). Returns the module's attachBuffer result.
    gmpi::int32 attachOwnBuffer(gmpi::int32 pinId);
    // Attaches a caller-owned buffer of at least blockSize floats.
    gmpi::int32 attachBuffer(gmpi::int32 pinId, float* buffer);
    // The wrapper-owned buffer of a pin (empty when the pin has none).
    std::span<float> buffer(gmpi::int32 pinId);

    gmpi::int32 open();

    // Runs one block: calls process(sampleFrames, events) unless the module sleeps and the list
    // is empty. sampleFrames < 0 means the block size. Returns whether process was called.
    bool processBlock(const EventList& events, gmpi::int32 sampleFrames = -1) {
        ++block_;
        if (!plugin_ || !wouldProcess(events)) return false;
        asleep_ = false;
        ++processCount_;
        plugin_->process(sampleFrames < 0 ? settings_.blockSize : sampleFrames, events.first());
        return true;
    }
    // Runs `count` blocks without events; returns how many called process.
    int processBlocks(int count);

    bool isAsleep() const { return asleep_; }
    // Whether processBlock with `events` would call process.
    bool wouldProcess(const EventList& events) const { return !asleep_ || !events.empty(); }
    // Ends sleep without an event (an engine whose input starts streaming, for instance).
    void wake() { asleep_ = false; }

    std::int64_t blocksRun() const { return block_ + 1; }
    int processCount() const { return processCount_; }
    int sleepCount() const;

    // Output forwarding for engines (borrowed; null: none).
    void setSink(AudioCallSink* sink) { sink_ = sink; }

    // The record. Recording allocates; switch it off for timing runs.
    void setRecording(bool on) { recording_ = on; }
    const std::vector<AudioCall>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    std::vector<AudioCall> callsOf(AudioCallKind kind) const;
    // setPinValue calls on `pinId`, in order.
    std::vector<AudioCall> valuesSent(gmpi::int32 pinId) const;
    std::vector<float> floatsSent(gmpi::int32 pinId) const;
    std::vector<gmpi::int32> intsSent(gmpi::int32 pinId) const;
    std::vector<bool> boolsSent(gmpi::int32 pinId) const;
    std::vector<std::u16string> textsSent(gmpi::int32 pinId) const;
    // setPinStreaming states on `pinId`, in order.
    std::vector<gmpi::int32> streamingSent(gmpi::int32 pinId) const;

  private:
    class Host;
    friend class Host;

    void record(AudioCall call);

    // What every block reads and writes comes first, in the first cache line.
    gmpi::IMpPlugin* plugin_ = nullptr;
    std::int64_t block_ = -1;
    int processCount_ = 0;
    bool asleep_ = false;
    bool recording_ = true;
    AudioCallSink* sink_ = nullptr;

    ModuleLibrary& library_;
    HostContext& context_;
    AudioSettings settings_;
    std::unique_ptr<Host> host_;
    gmpi::int32 createResult_ = gmpi::ResultFail;
    std::map<gmpi::int32, std::vector<float>> buffers_;
    std::vector<AudioCall> calls_;
};

} // namespace zrhost
