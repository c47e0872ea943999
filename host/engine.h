// The patch engine: creates the module halves of a resolved patch through a library's factory,
// wires their pins and renders the patch block by block, as a host does.
//
// Each block the audio halves run in dependency order. Output values and streaming changes
// reach connected inputs as events in the same block (or, on a connection that closes a loop,
// at the same offset of the next block); audio inputs read their source's buffer directly, or
// a host buffer holding the sum of their sources and their constant; a loop-closing audio
// connection reads the source's previous block. Modules that asked to sleep are not called
// until an event arrives for them. After the audio halves, values bound for GUI halves are
// delivered, GUI outputs are relayed, and the library's GUI timer advances by the block's
// duration.
//
// Threads: one thread drives an Engine (it plays both the audio and the user-interface thread,
// one after the other). Ownership: the engine owns every module, buffer and event list; the
// ModuleLibrary is borrowed and must outlive it.
#pragma once

#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/gui_module.h"
#include "host/host_context.h"
#include "host/module_library.h"
#include "host/patch.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace zrhost {

namespace lanes {
struct SumJob;
struct MixTurn;
} // namespace lanes

struct EngineOptions {
    // Output buffers come from a small pool, each reused once the last reader of its present
    // output has run; off, every audio output keeps a buffer of its own. Renders are the same.
    bool poolBuffers = true;
    // Outputs that nothing reads always share the pool. Outputs that are read keep buffers of
    // their own while those take no more than this many bytes in all: then they stay in the
    // cache anyway, and a static one need not be copied aside each block in case it sleeps.
    std::size_t ownBufferBytes = 128 * 1024;
    // When the modules' memory together takes more than this, each turn asks the cache for the
    // memory of a module a few turns ahead; below it, all of it stays in the cache anyway.
    // Renders are the same.
    std::size_t prefetchAboveBytes = 256 * 1024;
};

class Engine {
  public:
    // Creates and opens every module half of `patch`. Throws PatchError (place: the module)
    // when a half cannot be created.
    Engine(ModuleLibrary& library, Patch patch, EngineOptions options = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    const Patch& patch() const { return patch_; }
    int channels() const { return static_cast<int>(patch_.outputs.size()); }
    std::int64_t totalFrames() const { return totalFrames_; }
    std::int64_t framesRendered() const { return position_; }
    bool finished() const { return position_ >= totalFrames_; }

    // Renders the next block (blockSize frames, fewer at the end of the patch) and writes the
    // output channels interleaved into `out`, which holds channels() × blockSize floats.
    // Returns the number of frames rendered; 0 once the patch is finished.
    int renderBlock(float* out);
    // Renders one block of `frames` (1..blockSize) frames whatever the patch's length says.
    void renderFrames(int frames, float* out);

    // Module halves by instance name; null when the patch has no such half.
    AudioModule* audio(std::string_view name);
    GuiModule* gui(std::string_view name);
    // Modules in the order their audio halves run (indices into patch().modules).
    const std::vector<int>& runOrder() const { return order_; }
    // Whether connection i of the patch reaches its input one block late.
    bool delayed(std::size_t connection) const { return delayed_.at(connection); }
    HostContext& context() { return context_; }
    // Distinct buffers the audio outputs write into (pooled and private).
    std::size_t outputBuffers() const { return outputBuffers_; }

    // Receives every message a captured MIDI output (Patch::midiCaptures, by index) sends, at
    // its frame from the start of the render. Set before rendering.
    using MidiTap = std::function<void(std::size_t capture, std::int64_t frame,
                                       const std::uint8_t* bytes, int size)>;
    void setMidiTap(MidiTap tap) { midiTap_ = std::move(tap); }

  private:
    struct Node;
    struct Input;
    struct Route;
    struct Group;
    struct Step;
    struct OutputSlot;
    struct PooledOutput;
    class AudioSink;
    class GuiSink;

    // Wiring (engine_build.cpp).
    void build();
    void createAudioHalves();
    PatchError cannotCreate(int index, const char* half, gmpi::int32 result) const;
    std::unique_ptr<Node> createNode(int index);
    void addAudioPins(Node& node, const std::vector<PinInfo>& pins);
    void computeOrder();
    void markAutomatedInputs();
    void routeConnection(std::size_t connection);
    void sendSampled(Node& from, int frames);
    const float* previousBlockOf(Node& from, const float* source);
    void assignOutputBuffers();
    void attachBuffers();
    void buildSteps();
    void moduleSpans();
    void buildMix();
    void startHalves();
    void releaseModules();

    // Running (engine.cpp).
    void sendInitialValues();
    void scheduleChanges(std::int64_t start, int frames);
    void prefetchTurn(const Step& step);
    template <bool Prefetch>
    void runTurns(int frames);
    void runStep(Step& step, int frames);
    void runPlainStep(const Step& step, int frames);
    static void clampEventTimes(EventList& events, int frames);
    void restoreHeld(const Step& step, bool runs);
    int* trackedContent();
    void keepHeld(const Step& step);
    void fillInput(Node& node, Input& input, int frames);
    void fillSteadyInput(Input& input, int frames);
    void fillChangingInput(Node& node, Input& input, int frames);
    void writeLevel(Node& node, Input& input, int from, int to, int frames);
    void relayValue(Node& from, gmpi::int32 time, gmpi::int32 pin, gmpi::int32 size,
                    const void* data);
    void relayStreaming(Node& from, gmpi::int32 time, gmpi::int32 pin, bool streaming);
    void relayGui(Node& from, gmpi::int32 pin, gmpi::int32 size, const void* data);
    void deliverGuiQueue();
    void mixOutputs(int frames, float* out);
    EventList& listFor(Node& to, bool nextBlock);
    bool sameBlock(const Node& from, const Node& to) const;
    void setInputStreaming(Node& node, Input& input, gmpi::int32 time, bool nextBlock);
    // Voice groups (engine_voices.cpp).
    void buildVoices();
    void addVoiceEdges(std::vector<std::vector<std::pair<int, std::size_t>>>& edges) const;
    void voiceMidi(int group, std::int64_t frame, const void* data, gmpi::int32 size);
    void dispatchVoices(Group& group);
    void applyVoice(Group& group, const struct VoiceAction& action);

    ModuleLibrary& library_;
    Patch patch_;
    EngineOptions options_;
    HostContext context_;
    std::vector<std::unique_ptr<Node>> nodes_;
    // The audio halves by module (empty where a module has none) and two event lists per
    // module, each in one allocation.
    std::unique_ptr<std::optional<AudioModule>[]> audioStore_;
    std::unique_ptr<EventList[]> listStore_;
    std::vector<int> order_;
    std::vector<bool> delayed_;
    std::int64_t totalFrames_ = 0;
    std::int64_t position_ = 0;
    std::size_t nextChange_ = 0;
    bool started_ = false;
    bool inBlock_ = false;
    int frames_ = 0; // of the block being rendered
    int guiDepth_ = 0;
    int runningRank_ = -1; // rank of the audio half running now
    std::vector<std::unique_ptr<Group>> groups_;

    // Buffers and the render loop's flat lists (engine_build.cpp).
    std::vector<float> poolStore_, privateStore_;
    std::vector<float> constantStore_; // buffers of constant inputs, one per distinct value
    std::vector<int> poolContent_;     // by pool buffer: id of the output whose block it holds
    // Pooled outputs with a held copy that are static now. While there are none, a turn whose
    // module runs has nothing to put back or keep, and the pool's contents go untracked: the
    // first turn that needs them again finds them unknown (-1) and restores from the copies.
    int staticHeld_ = 0;
    bool contentKnown_ = true;
    std::size_t outputBuffers_ = 0;
    std::vector<Step> steps_;
    bool prefetch_ = false;         // see EngineOptions::prefetchAboveBytes
    std::vector<float> inputStore_; // buffers of the inputs the engine writes
    // Inputs written when their constant changes (fills_), and those that are always the sum
    // of their constant and their sources (sums_, with sumSources_ their further sources).
    std::vector<Input*> fills_;
    std::vector<lanes::SumJob> sums_;
    std::vector<const float*> sumSources_;
    void (*runSums_)(const lanes::SumJob*, const lanes::SumJob*, int) = nullptr;
    // Buffers a turn reads or writes besides its sources' (which the turns just before wrote):
    // where they start and how many cache lines of them to prefetch.
    struct Touch {
        const float* buffer;
        std::uint32_t lines;
    };
    std::vector<Touch> reads_;
    std::vector<PooledOutput> pooled_;
    std::vector<Node*> pendingNodes_;
    std::vector<Node*> guiNodes_;
    std::vector<std::pair<const float*, float*>> delayCopies_; // (source, copy)
    struct MixSource {
        const float* buffer;
        float gain;
    };
    std::vector<float> mixSums_;              // by output channel, blockSize floats each
    std::vector<std::vector<MixSource>> mix_; // by output channel: the sources summed at the end
    std::vector<char> mixEager_;              // by output channel: summed turn by turn
    std::vector<lanes::MixTurn> mixTurns_;    // the sources summed after each turn, by turn
    void (*runMix_)(const lanes::MixTurn*, const lanes::MixTurn*, int) = nullptr;
    MidiTap midiTap_;
    double timerCarryMs_ = 0.0;

    struct GuiDelivery {
        Node* node = nullptr;
        gmpi::int32 pin = 0;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<GuiDelivery> guiQueue_;
    std::size_t guiQueued_ = 0;
};

} // namespace zrhost
