// The engine's own parts, shared by its sources (engine_build.cpp wires a patch, engine.cpp
// runs it, engine_voices.cpp drives its voice groups): per-module nodes with their audio inputs
// and outputs, the routes from outputs to inputs, the voice groups at run time, and the sinks
// through which module halves call back into the engine. Private to the host library.
#pragma once

#include "host/engine.h"
#include "host/engine_lanes.h"
#include "host/voices.h"

#include <memory>
#include <vector>

namespace zrhost {

// Buffers of the engine's stores start on cache-line boundaries and take whole lines:
// `bufferStride` floats each. carveBuffers fills `store` with `count` such buffers, zeroed,
// and returns the first.
std::size_t bufferStride(gmpi::int32 blockSize);
float* carveBuffers(std::vector<float>& store, std::size_t count, std::size_t each);

// Where an output's values and streaming changes go.
struct Engine::Route {
    enum Kind { Stream, Value, Midi, GuiValue, Voices, Sampled };
    Kind kind = Value;
    Node* to = nullptr;
    int input = -1;  // Stream: index into to->inputs; Voices: the voice group
    int source = -1; // Stream: index of this source in that input
    gmpi::int32 pin = 0;
    bool delayed = false;
};

// An audio input of a module: the buffer it reads and what fills it.
struct Engine::Input {
    gmpi::int32 pin = 0;
    float* buffer = nullptr; // shared, or in the engine's store of input buffers
    bool shared = false;     // reads its single source's buffer directly
    std::vector<const float*> sources;
    std::vector<char> sourceStreaming;
    int streamingSources = 0;
    bool sentStreaming = false; // the state the module was last told
    bool stopAtStart = false;   // a ramp ended exactly at the end of the last block

    // The constant part (set by values and automation), possibly gliding.
    float level = 0.0f;
    float rampFrom = 0.0f, rampTo = 0.0f;
    std::int64_t rampTotal = 0, rampDone = 0;
    bool dirty = true; // the buffer does not hold `level` throughout
    bool automated = false;
    bool varies = false; // timed changes or a voice drive it

    struct Change {
        int offset;
        float value;
        std::int64_t rampSamples;
    };
    std::vector<Change> changes; // of the block being rendered
};

// An audio output's buffer: a private one, or one of the engine's pool shared in turn with
// outputs whose readers have all run. A pooled output that is read keeps a private copy of
// its last block while it is static, so that a module that sleeps (and stops writing) still
// shows its readers what it last wrote.
struct Engine::OutputSlot {
    float* buffer = nullptr;
    float* held = nullptr; // pooled and read: the copy kept while static
    int pool = -1;         // index in the pool, or -1 for a private buffer
    int id = -1;           // engine-wide, marks the pool buffer's present content
    int flat = -1;         // pooled: its entry in the engine's list of pooled outputs
    bool streaming = false;
};

// What the render loop needs of a pooled output, in one list in run order.
struct Engine::PooledOutput {
    float* buffer;
    float* held;
    int pool;
    int id;
    bool streaming;
};

struct Engine::Node {
    int index = -1;
    std::string name;
    // Declared before the module halves, so that everything a module points into (its host
    // sink, its buffers) outlives it when a node is destroyed.
    std::unique_ptr<AudioSink> audioSink;
    std::unique_ptr<GuiSink> guiSink;
    int rank = -1; // position in the run order
    // The audio half and the two event lists live in the engine's stores, side by side with
    // those of the other modules (the render loop walks them in order).
    AudioModule* audio = nullptr;
    EventList* events = nullptr;  // this block
    EventList* pending = nullptr; // the next block
    std::vector<Input> inputs;
    std::vector<int> inputOfPin;
    std::vector<OutputSlot> outputs;
    std::vector<int> outputOfPin;
    std::vector<std::vector<Route>> routes;                    // by audio-half output pin
    std::vector<std::vector<Route>> guiRoutes;                 // by GUI-half output pin
    std::vector<std::pair<gmpi::int32, std::size_t>> captures; // (MIDI output pin, capture)
    // A voice module whose voice has not played yet is idle (its turn, Step, keeps the state
    // while rendering).
    bool idle = false;
    struct Delay {
        const float* from;
        std::vector<float> copy;
    };
    std::vector<std::unique_ptr<Delay>> delays;
    // An audio output read as values by a control input: after each block the engine sends a
    // value on every sample where the converted value changes.
    struct Sampled {
        Route route;
        const float* buffer;
        gmpi::PinDatatype datatype;
        std::uint32_t last = 0; // the value last sent, as its bytes
        bool sent = false;
    };
    std::vector<Sampled> sampled;
    std::unique_ptr<GuiModule> gui;

    const float* outputBuffer(gmpi::int32 pin) const {
        if (pin < 0 || pin >= static_cast<gmpi::int32>(outputOfPin.size())) return nullptr;
        const int o = outputOfPin[static_cast<std::size_t>(pin)];
        return o < 0 ? nullptr : outputs[static_cast<std::size_t>(o)].buffer;
    }
    bool pendingListed = false; // in the engine's list of nodes with events for the next block
};

// One audio half's turn in a block, laid out for the render loop: what it reads of its node
// every block, the inputs it must fill and its pooled outputs, as ranges of the engine's flat
// lists. A block that brings no events touches little else than this.
struct Engine::Step {
    Node* node = nullptr;
    AudioModule* audio = nullptr;
    EventList* events = nullptr; // the node's list for this block
    // The module's object, and how much memory from there on is its own as far as the engine
    // can tell (see moduleSpans).
    const void* object = nullptr;
    std::uint32_t objectBytes = 0;
    int rank = -1;
    std::uint32_t fillBegin = 0, fillEnd = 0;     // into fills_
    std::uint32_t sumBegin = 0, sumEnd = 0;       // into sums_
    std::uint32_t readBegin = 0, readEnd = 0;     // into reads_
    std::uint32_t mixBegin = 0, mixEnd = 0;       // into mixTurns_
    std::uint32_t pooledBegin = 0, pooledEnd = 0; // into pooled_
    bool held = false;                            // some pooled output keeps a copy
    bool voice = false;                           // may be idle
    bool sampled = false;                         // has outputs read as values
    // No inputs to fill but sums, no pooled outputs, not a voice, no outputs read as values:
    // the turn is its sums, the module's call and its events.
    bool plain = false;
    // A voice module whose voice has not played yet is idle: the host keeps its outputs silent,
    // as a host that suspends unused voices would. `idleFrames` silences the start of the block
    // in which the voice starts.
    bool idle = false;
    int idleFrames = 0;
};

// A voice group at run time: its allocator, its targets by voice and source, and the actions
// not yet due.
struct Engine::Group {
    VoiceAllocator allocator;
    std::vector<std::vector<PinAddress>> targets; // by voice x 4 + source
    std::vector<std::vector<int>> modules;        // by voice
    std::vector<VoiceAction> queue;               // sorted by frame
    std::vector<VoiceAction> fresh;
    explicit Group(int voices, std::int64_t stealGap) : allocator(voices, stealGap) {}
};

class Engine::AudioSink final : public AudioCallSink {
  public:
    AudioSink(Engine& engine, Node& node) : engine_(engine), node_(node) {}
    void pinValue(AudioModule&, gmpi::int32 time, gmpi::int32 pinId, gmpi::int32 size,
                  const void* data) override {
        engine_.relayValue(node_, time, pinId, size, data);
    }
    void pinStreaming(AudioModule&, gmpi::int32 time, gmpi::int32 pinId, bool streaming) override {
        engine_.relayStreaming(node_, time, pinId, streaming);
    }

  private:
    Engine& engine_;
    Node& node_;
};

class Engine::GuiSink final : public GuiCallSink {
  public:
    GuiSink(Engine& engine, Node& node) : engine_(engine), node_(node) {}
    void transmit(GuiModule&, gmpi::int32 pinId, gmpi::int32 size, const void* data,
                  gmpi::int32) override {
        engine_.relayGui(node_, pinId, size, data);
    }

  private:
    Engine& engine_;
    Node& node_;
};

} // namespace zrhost
