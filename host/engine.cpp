#include "host/engine.h"

#include "host/text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <queue>

namespace zrhost {

// Where an output's values and streaming changes go.
struct Engine::Route {
    enum Kind { Stream, Value, Midi, GuiValue };
    Kind kind = Value;
    Node* to = nullptr;
    int input = -1;  // Stream: index into to->inputs
    int source = -1; // Stream: index of this source in that input
    gmpi::int32 pin = 0;
    bool delayed = false;
};

// An audio input of a module: the buffer it reads and what fills it.
struct Engine::Input {
    gmpi::int32 pin = 0;
    float* buffer = nullptr;
    std::vector<float> own;
    bool shared = false; // reads its single source's buffer directly
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

    struct Change {
        int offset;
        float value;
        std::int64_t rampSamples;
    };
    std::vector<Change> changes; // of the block being rendered
};

struct Engine::Node {
    int index = -1;
    std::string name;
    // Declared before the module halves, so that everything a module points into (its host
    // sink, its buffers) outlives it when a node is destroyed.
    std::unique_ptr<AudioSink> audioSink;
    std::unique_ptr<GuiSink> guiSink;
    int rank = -1;                                                      // position in the run order
    std::unique_ptr<EventList> events = std::make_unique<EventList>();  // this block
    std::unique_ptr<EventList> pending = std::make_unique<EventList>(); // the next block
    std::vector<Input> inputs;
    std::vector<int> inputOfPin;
    std::vector<std::vector<float>> outputs;
    std::vector<int> outputOfPin;
    std::vector<std::vector<Route>> routes;    // by audio-half output pin
    std::vector<std::vector<Route>> guiRoutes; // by GUI-half output pin
    struct Delay {
        const float* from;
        std::vector<float> copy;
    };
    std::vector<std::unique_ptr<Delay>> delays;
    std::unique_ptr<AudioModule> audio;
    std::unique_ptr<GuiModule> gui;

    const float* outputBuffer(gmpi::int32 pin) const {
        if (pin < 0 || pin >= static_cast<gmpi::int32>(outputOfPin.size())) return nullptr;
        const int o = outputOfPin[static_cast<std::size_t>(pin)];
        return o < 0 ? nullptr : outputs[static_cast<std::size_t>(o)].data();
    }
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

namespace {

// GUI pins relay to GUI pins at once; unchanged values stop there, and this bounds the rest.
constexpr int kMaxGuiRelayDepth = 32;
// GUI halves keep a record of their calls; the engine trims it on long renders.
constexpr std::size_t kMaxGuiRecord = 4096;

std::size_t pinSlots(const std::vector<PinInfo>& pins) {
    gmpi::int32 top = -1;
    for (const auto& p : pins)
        top = std::max(top, p.id);
    return static_cast<std::size_t>(top + 1);
}

} // namespace

Engine::Engine(ModuleLibrary& library, Patch patch) : library_(library), patch_(std::move(patch)) {
    totalFrames_ = patch_.totalFrames();
    context_.setFileFolder(toUtf16(patch_.folder.string()));
    try {
        build();
    } catch (...) {
        releaseModules();
        throw;
    }
}

Engine::~Engine() {
    releaseModules();
}

// Every module goes before any buffer or host object it may point into, whichever node owns it.
void Engine::releaseModules() {
    for (auto& n : nodes_) {
        n->audio.reset();
        n->gui.reset();
    }
}

AudioModule* Engine::audio(std::string_view name) {
    const int i = patch_.findModule(name);
    return i < 0 ? nullptr : nodes_[static_cast<std::size_t>(i)]->audio.get();
}

GuiModule* Engine::gui(std::string_view name) {
    const int i = patch_.findModule(name);
    return i < 0 ? nullptr : nodes_[static_cast<std::size_t>(i)]->gui.get();
}

void Engine::build() {
    const AudioSettings settings{patch_.blockSize, patch_.sampleRate};
    const auto block = static_cast<std::size_t>(patch_.blockSize);

    // Module halves, their audio buffers and routing tables.
    for (std::size_t i = 0; i < patch_.modules.size(); ++i) {
        const PatchModule& m = patch_.modules[i];
        auto node = std::make_unique<Node>();
        node->index = static_cast<int>(i);
        node->name = m.name;
        const std::string place = "modules." + m.name;
        if (m.audio) {
            node->audio =
                std::make_unique<AudioModule>(library_, toUtf16(m.id), context_, settings);
            if (!node->audio->valid())
                throw PatchError(patch_.file, place,
                                 "the library could not create the audio half of \"" + m.id +
                                     "\" (result " + std::to_string(node->audio->createResult()) +
                                     ")");
            node->audio->setRecording(false);
            node->audioSink = std::make_unique<AudioSink>(*this, *node);
            node->audio->setSink(node->audioSink.get());
            const std::size_t slots = pinSlots(m.audioPins);
            node->inputOfPin.assign(slots, -1);
            node->outputOfPin.assign(slots, -1);
            node->routes.resize(slots);
            for (const auto& p : m.audioPins) {
                if (p.datatype != gmpi::DatatypeAudio) continue;
                if (p.direction == gmpi::DirectionOut) {
                    node->outputOfPin[static_cast<std::size_t>(p.id)] =
                        static_cast<int>(node->outputs.size());
                    node->outputs.emplace_back(block, 0.0f);
                } else {
                    node->inputOfPin[static_cast<std::size_t>(p.id)] =
                        static_cast<int>(node->inputs.size());
                    Input in;
                    in.pin = p.id;
                    node->inputs.push_back(std::move(in));
                }
            }
        }
        if (m.gui) {
            node->gui = std::make_unique<GuiModule>(library_, toUtf16(m.id), context_);
            if (!node->gui->valid())
                throw PatchError(patch_.file, place,
                                 "the library could not create the GUI half of \"" + m.id +
                                     "\" (result " + std::to_string(node->gui->createResult()) +
                                     ")");
            node->guiSink = std::make_unique<GuiSink>(*this, *node);
            node->gui->setSink(node->guiSink.get());
            node->guiRoutes.resize(pinSlots(m.guiPins));
        }
        nodes_.push_back(std::move(node));
    }

    computeOrder();

    // Constants and automation of audio inputs.
    for (std::size_t i = 0; i < patch_.modules.size(); ++i) {
        Node& node = *nodes_[i];
        for (const auto& [pin, value] : patch_.modules[i].values) {
            if (pin.half != Half::Audio || pin.datatype != gmpi::DatatypeAudio) continue;
            Input& in = node.inputs[static_cast<std::size_t>(node.inputOfPin[pin.pin])];
            in.level = value.asFloat();
            in.automated = true;
        }
    }
    for (const auto& c : patch_.changes) {
        if (c.pin.half != Half::Audio || c.pin.datatype != gmpi::DatatypeAudio) continue;
        Node& node = *nodes_[static_cast<std::size_t>(c.pin.module)];
        node.inputs[static_cast<std::size_t>(node.inputOfPin[c.pin.pin])].automated = true;
    }

    // Connections become routes.
    delayed_.assign(patch_.connections.size(), false);
    for (std::size_t i = 0; i < patch_.connections.size(); ++i) {
        const PatchConnection& c = patch_.connections[i];
        Node& from = *nodes_[static_cast<std::size_t>(c.from.module)];
        Node& to = *nodes_[static_cast<std::size_t>(c.to.module)];
        Route r;
        r.to = &to;
        r.pin = c.to.pin;
        if (c.from.half == Half::Gui) {
            r.kind = c.to.half == Half::Gui ? Route::GuiValue : Route::Value;
            r.delayed = c.to.half == Half::Audio; // reaches the audio half with the next block
            delayed_[i] = r.delayed;
            from.guiRoutes[static_cast<std::size_t>(c.from.pin)].push_back(r);
            continue;
        }
        if (c.to.half == Half::Gui) {
            r.kind = Route::GuiValue;
        } else {
            r.delayed = c.delayed || to.rank <= from.rank;
            delayed_[i] = r.delayed;
            if (c.from.datatype == gmpi::DatatypeAudio) {
                r.kind = Route::Stream;
                r.input = to.inputOfPin[static_cast<std::size_t>(c.to.pin)];
                Input& in = to.inputs[static_cast<std::size_t>(r.input)];
                const float* source = from.outputBuffer(c.from.pin);
                if (r.delayed) {
                    // A loop-closing connection reads the source's previous block.
                    auto it = std::find_if(from.delays.begin(), from.delays.end(),
                                           [&](const auto& d) { return d->from == source; });
                    if (it == from.delays.end()) {
                        from.delays.push_back(std::make_unique<Node::Delay>(
                            Node::Delay{source, std::vector<float>(block, 0.0f)}));
                        it = std::prev(from.delays.end());
                    }
                    source = (*it)->copy.data();
                }
                r.source = static_cast<int>(in.sources.size());
                in.sources.push_back(source);
                in.sourceStreaming.push_back(0);
            } else {
                r.kind = c.from.datatype == gmpi::DatatypeMidi ? Route::Midi : Route::Value;
            }
        }
        from.routes[static_cast<std::size_t>(c.from.pin)].push_back(r);
    }

    // Audio input buffers: a single source with nothing added is read in place.
    for (auto& node : nodes_) {
        if (!node->audio) continue;
        for (Input& in : node->inputs) {
            in.shared = in.sources.size() == 1 && !in.automated;
            if (in.shared) {
                in.buffer = const_cast<float*>(in.sources.front());
            } else {
                in.own.assign(block, in.level);
                in.buffer = in.own.data();
                in.dirty = false;
            }
            node->audio->attachBuffer(in.pin, in.buffer);
        }
        for (const auto& p : patch_.modules[static_cast<std::size_t>(node->index)].audioPins)
            if (p.datatype == gmpi::DatatypeAudio && p.direction == gmpi::DirectionOut)
                node->audio->attachBuffer(
                    p.id, node->outputs[static_cast<std::size_t>(node->outputOfPin[p.id])].data());
    }

    // GUI halves start with their values; then the audio halves open, in run order.
    for (auto& node : nodes_) {
        if (!node->gui) continue;
        node->gui->initialize();
        for (const auto& [pin, value] :
             patch_.modules[static_cast<std::size_t>(node->index)].values)
            if (pin.half == Half::Gui)
                node->gui->deliver(pin.pin, value.bytes.data(),
                                   static_cast<gmpi::int32>(value.bytes.size()));
    }
    for (int i : order_)
        nodes_[static_cast<std::size_t>(i)]->audio->open();
}

// Dependency order of the audio halves: sources before the modules they feed, patch order
// among equals. Connections that close a loop are found by a depth-first walk in patch order
// and are left out of the order (they are delayed by one block).
void Engine::computeOrder() {
    const std::size_t n = nodes_.size();
    std::vector<std::vector<std::pair<int, std::size_t>>> edges(n); // (to, connection)
    for (std::size_t i = 0; i < patch_.connections.size(); ++i) {
        const auto& c = patch_.connections[i];
        if (c.from.half != Half::Audio || c.to.half != Half::Audio || c.delayed) continue;
        edges[static_cast<std::size_t>(c.from.module)].emplace_back(c.to.module, i);
    }
    std::vector<bool> loopClosing(patch_.connections.size(), false);
    std::vector<int> state(n, 0); // 0 new, 1 on the walk, 2 done
    std::function<void(std::size_t)> walk = [&](std::size_t v) {
        state[v] = 1;
        for (const auto& [to, conn] : edges[v]) {
            const auto t = static_cast<std::size_t>(to);
            if (state[t] == 1)
                loopClosing[conn] = true;
            else if (state[t] == 0)
                walk(t);
        }
        state[v] = 2;
    };
    for (std::size_t v = 0; v < n; ++v)
        if (state[v] == 0 && nodes_[v]->audio) walk(v);

    std::vector<int> indegree(n, 0);
    for (std::size_t v = 0; v < n; ++v)
        for (const auto& [to, conn] : edges[v])
            if (!loopClosing[conn]) ++indegree[static_cast<std::size_t>(to)];
    std::priority_queue<int, std::vector<int>, std::greater<int>> ready;
    for (std::size_t v = 0; v < n; ++v)
        if (nodes_[v]->audio && indegree[v] == 0) ready.push(static_cast<int>(v));
    while (!ready.empty()) {
        const int v = ready.top();
        ready.pop();
        nodes_[static_cast<std::size_t>(v)]->rank = static_cast<int>(order_.size());
        order_.push_back(v);
        for (const auto& [to, conn] : edges[static_cast<std::size_t>(v)])
            if (!loopClosing[conn] && --indegree[static_cast<std::size_t>(to)] == 0) ready.push(to);
    }
}

bool Engine::sameBlock(const Node& from, const Node& to) const {
    return inBlock_ && to.rank > from.rank;
}

EventList& Engine::listFor(Node& to, bool nextBlock) {
    return nextBlock ? *to.pending : *to.events;
}

void Engine::relayValue(Node& from, gmpi::int32 time, gmpi::int32 pin, gmpi::int32 size,
                        const void* data) {
    if (pin < 0 || pin >= static_cast<gmpi::int32>(from.routes.size())) return;
    for (const Route& r : from.routes[static_cast<std::size_t>(pin)]) {
        if (r.kind == Route::GuiValue) {
            if (guiQueued_ == guiQueue_.size()) guiQueue_.emplace_back();
            GuiDelivery& d = guiQueue_[guiQueued_++];
            d.node = r.to;
            d.pin = r.pin;
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            d.bytes.assign(bytes, bytes + (data && size > 0 ? size : 0));
            continue;
        }
        if (r.kind == Route::Stream) continue;
        const bool next = r.delayed || !sameBlock(from, *r.to);
        const gmpi::int32 t = next ? std::clamp(time, 0, patch_.blockSize - 1)
                                   : std::clamp(time, 0, std::max(frames_ - 1, 0));
        listFor(*r.to, next)
            .addBytes(t, r.kind == Route::Midi ? gmpi::EventMidi : gmpi::EventPinValue, r.pin, data,
                      size);
    }
}

void Engine::relayStreaming(Node& from, gmpi::int32 time, gmpi::int32 pin, bool streaming) {
    if (pin < 0 || pin >= static_cast<gmpi::int32>(from.routes.size())) return;
    for (const Route& r : from.routes[static_cast<std::size_t>(pin)]) {
        if (r.kind != Route::Stream) continue;
        Input& in = r.to->inputs[static_cast<std::size_t>(r.input)];
        char& was = in.sourceStreaming[static_cast<std::size_t>(r.source)];
        in.streamingSources += (streaming ? 1 : 0) - (was ? 1 : 0);
        was = streaming ? 1 : 0;
        const bool next = r.delayed || !sameBlock(from, *r.to);
        const gmpi::int32 t = next ? std::clamp(time, 0, patch_.blockSize - 1)
                                   : std::clamp(time, 0, std::max(frames_ - 1, 0));
        setInputStreaming(*r.to, in, t, next);
    }
}

// Tells the module the input's state: a start only when it was static, a stop every time
// (each stop announces a new constant value).
void Engine::setInputStreaming(Node& node, Input& in, gmpi::int32 time, bool nextBlock) {
    const bool streaming = in.streamingSources > 0 || in.rampDone < in.rampTotal;
    if (streaming && in.sentStreaming) return;
    in.sentStreaming = streaming;
    EventList& list = listFor(node, nextBlock);
    if (streaming)
        list.addStreamingStart(time, in.pin);
    else
        list.addStreamingStop(time, in.pin);
}

void Engine::relayGui(Node& from, gmpi::int32 pin, gmpi::int32 size, const void* data) {
    if (pin < 0 || pin >= static_cast<gmpi::int32>(from.guiRoutes.size())) return;
    for (const Route& r : from.guiRoutes[static_cast<std::size_t>(pin)]) {
        if (r.kind == Route::GuiValue) {
            if (guiDepth_ >= kMaxGuiRelayDepth) continue;
            ++guiDepth_;
            r.to->gui->deliver(r.pin, data, size);
            --guiDepth_;
        } else {
            r.to->pending->addBytes(0, gmpi::EventPinValue, r.pin, data, size);
        }
    }
}

void Engine::deliverGuiQueue() {
    for (std::size_t i = 0; i < guiQueued_; ++i) {
        GuiDelivery& d = guiQueue_[i];
        d.node->gui->deliver(d.pin, d.bytes.data(), static_cast<gmpi::int32>(d.bytes.size()));
    }
    guiQueued_ = 0;
}

// Graph start, then every control input's value (given, default, or the type's zero) unless a
// connection feeds it, and a streaming stop on every audio input so that modules read their
// constants.
void Engine::sendInitialValues() {
    for (int i : order_) {
        Node& node = *nodes_[static_cast<std::size_t>(i)];
        const PatchModule& m = patch_.modules[static_cast<std::size_t>(i)];
        EventList& ev = *node.events;
        ev.addGraphStart(0);
        for (const auto& p : m.audioPins) {
            if (p.direction != gmpi::DirectionIn || p.datatype == gmpi::DatatypeAudio ||
                p.datatype == gmpi::DatatypeMidi)
                continue;
            const auto given = std::find_if(m.values.begin(), m.values.end(), [&](const auto& kv) {
                return kv.first.half == Half::Audio && kv.first.pin == p.id;
            });
            if (given != m.values.end()) {
                ev.addBytes(0, gmpi::EventPinValue, p.id, given->second.bytes.data(),
                            static_cast<gmpi::int32>(given->second.bytes.size()));
                continue;
            }
            const bool connected = std::any_of(
                patch_.connections.begin(), patch_.connections.end(), [&](const auto& c) {
                    return c.to.module == i && c.to.half == Half::Audio && c.to.pin == p.id;
                });
            if (connected) continue;
            const std::uint32_t zero = 0;
            const gmpi::int32 size =
                p.datatype == gmpi::DatatypeBool                                         ? 1
                : (p.datatype == gmpi::DatatypeText || p.datatype == gmpi::DatatypeBlob) ? 0
                                                                                         : 4;
            ev.addBytes(0, gmpi::EventPinValue, p.id, &zero, size);
        }
        for (Input& in : node.inputs)
            if (!in.sentStreaming && in.streamingSources == 0) ev.addStreamingStop(0, in.pin);
    }
}

void Engine::scheduleChanges(std::int64_t start, int frames) {
    const double rate = static_cast<double>(patch_.sampleRate);
    while (nextChange_ < patch_.changes.size()) {
        const PatchChange& c = patch_.changes[nextChange_];
        const std::int64_t frame = std::llround(c.seconds * rate);
        if (frame >= start + frames) break;
        ++nextChange_;
        const int offset = static_cast<int>(std::max<std::int64_t>(frame - start, 0));
        Node& node = *nodes_[static_cast<std::size_t>(c.pin.module)];
        if (c.pin.half == Half::Gui) {
            if (guiQueued_ == guiQueue_.size()) guiQueue_.emplace_back();
            GuiDelivery& d = guiQueue_[guiQueued_++];
            d.node = &node;
            d.pin = c.pin.pin;
            d.bytes = c.value.bytes;
        } else if (c.pin.datatype == gmpi::DatatypeAudio) {
            Input& in = node.inputs[static_cast<std::size_t>(node.inputOfPin[c.pin.pin])];
            in.changes.push_back({offset, c.value.asFloat(), std::llround(c.rampSeconds * rate)});
        } else {
            node.events->addBytes(
                offset,
                c.pin.datatype == gmpi::DatatypeMidi ? gmpi::EventMidi : gmpi::EventPinValue,
                c.pin.pin, c.value.bytes.data(), static_cast<gmpi::int32>(c.value.bytes.size()));
        }
    }
}

// Writes the input's buffer for this block: its constant (stepping or gliding at the block's
// changes) plus its sources, and tells the module about the changes as streaming events.
void Engine::fillInput(Node& node, Input& in, int frames) {
    if (in.shared) return;
    const bool gliding = in.rampDone < in.rampTotal;
    float* out = in.buffer;
    if (in.changes.empty() && !gliding && !in.stopAtStart) {
        // The steady case: a constant, plus the sources when there are any.
        if (in.sources.empty()) {
            if (in.dirty) std::fill(out, out + frames, in.level);
        } else {
            const float level = in.level;
            const float* first = in.sources.front();
            for (int f = 0; f < frames; ++f)
                out[f] = level + first[f];
            for (std::size_t s = 1; s < in.sources.size(); ++s)
                for (int f = 0; f < frames; ++f)
                    out[f] += in.sources[s][f];
        }
        in.dirty = false;
        return;
    }
    bool moved = gliding || !in.changes.empty();

    const auto rampEnded = [&](int offset) {
        if (offset >= frames) {
            in.stopAtStart = true;
            return;
        }
        setInputStreaming(node, in, offset, false);
    };
    if (in.stopAtStart) {
        in.stopAtStart = false;
        setInputStreaming(node, in, 0, false);
    }
    const auto writeConstant = [&](int a, int b) {
        while (a < b) {
            if (in.rampDone < in.rampTotal) {
                const std::int64_t n = std::min<std::int64_t>(b - a, in.rampTotal - in.rampDone);
                const float span = in.rampTo - in.rampFrom;
                const double total = static_cast<double>(in.rampTotal);
                for (std::int64_t k = 0; k < n; ++k)
                    out[a + k] =
                        in.rampFrom +
                        span * static_cast<float>(static_cast<double>(in.rampDone + k + 1) / total);
                in.rampDone += n;
                a += static_cast<int>(n);
                if (in.rampDone == in.rampTotal) {
                    in.level = in.rampTo;
                    rampEnded(a);
                }
            } else {
                std::fill(out + a, out + b, in.level);
                a = b;
            }
        }
    };

    int pos = 0;
    for (const auto& c : in.changes) {
        writeConstant(pos, c.offset);
        pos = std::max(pos, c.offset);
        if (in.rampDone < in.rampTotal) // a new change ends a glide where it stands
            in.level = in.rampFrom + (in.rampTo - in.rampFrom) *
                                         static_cast<float>(static_cast<double>(in.rampDone) /
                                                            static_cast<double>(in.rampTotal));
        if (c.rampSamples > 0) {
            in.rampFrom = in.level;
            in.rampTo = c.value;
            in.rampTotal = c.rampSamples;
            in.rampDone = 0;
            setInputStreaming(node, in, c.offset, false);
        } else {
            in.level = c.value;
            in.rampTotal = in.rampDone = 0;
            setInputStreaming(node, in, c.offset, false);
        }
    }
    in.changes.clear();
    writeConstant(pos, frames);
    in.dirty = moved;

    for (const float* source : in.sources)
        for (int f = 0; f < frames; ++f)
            out[f] += source[f];
}

void Engine::renderFrames(int frames, float* out) {
    frames = std::clamp(frames, 1, patch_.blockSize);
    frames_ = frames;
    for (auto& node : nodes_) {
        std::swap(node->events, node->pending);
        if (!node->pending->empty()) node->pending->clear();
    }
    if (!started_) {
        started_ = true;
        sendInitialValues();
    }
    // Loop-closing audio connections read what their source wrote last block.
    for (auto& node : nodes_)
        for (auto& d : node->delays)
            std::copy(d->from, d->from + patch_.blockSize, d->copy.begin());
    scheduleChanges(position_, frames);

    inBlock_ = true;
    for (int i : order_) {
        Node& node = *nodes_[static_cast<std::size_t>(i)];
        for (Input& in : node.inputs)
            fillInput(node, in, frames);
        if (frames < patch_.blockSize)
            for (gmpi::MpEvent* e : node.events->events())
                e->time = std::min(e->time, frames - 1);
        node.audio->processBlock(*node.events, frames);
    }
    inBlock_ = false;

    const int channels = this->channels();
    for (int c = 0; c < channels; ++c) {
        const OutputChannel& channel = patch_.outputs[static_cast<std::size_t>(c)];
        for (int f = 0; f < frames; ++f)
            out[f * channels + c] = 0.0f;
        for (const OutputSource& s : channel.sources) {
            const float* buffer =
                nodes_[static_cast<std::size_t>(s.pin.module)]->outputBuffer(s.pin.pin);
            for (int f = 0; f < frames; ++f)
                out[f * channels + c] += s.gain * buffer[f];
        }
    }

    deliverGuiQueue();
    bool anyGui = false;
    for (auto& node : nodes_) {
        if (!node->gui) continue;
        anyGui = true;
        if (node->gui->transmits().size() > kMaxGuiRecord ||
            node->gui->invalidations().size() > kMaxGuiRecord)
            node->gui->clearRecord();
    }
    if (anyGui) {
        timerCarryMs_ += 1000.0 * frames / static_cast<double>(patch_.sampleRate);
        const int ms = static_cast<int>(timerCarryMs_);
        if (ms > 0) {
            library_.advanceTimer(ms);
            timerCarryMs_ -= ms;
        }
    }
    position_ += frames;
}

int Engine::renderBlock(float* out) {
    if (finished()) return 0;
    const int frames =
        static_cast<int>(std::min<std::int64_t>(patch_.blockSize, totalFrames_ - position_));
    renderFrames(frames, out);
    return frames;
}

} // namespace zrhost
