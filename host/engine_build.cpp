// Wiring a patch: the engine creates every module half through the library's factory, finds
// the run order, turns connections into routes and hands each audio pin its buffer.
#include "host/engine_parts.h"

#include "host/text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <queue>

namespace zrhost {

namespace {

std::size_t pinSlots(const std::vector<PinInfo>& pins) {
    gmpi::int32 top = -1;
    for (const auto& p : pins)
        top = std::max(top, p.id);
    return static_cast<std::size_t>(top + 1);
}

} // namespace

Engine::Engine(ModuleLibrary& library, Patch patch, EngineOptions options)
    : library_(library), patch_(std::move(patch)), options_(options) {
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
        n->audio = nullptr;
        n->gui.reset();
    }
    if (audioStore_)
        for (std::size_t i = 0; i < patch_.modules.size(); ++i)
            audioStore_[i].reset();
}

AudioModule* Engine::audio(std::string_view name) {
    const int i = patch_.findModule(name);
    return i < 0 ? nullptr : nodes_[static_cast<std::size_t>(i)]->audio;
}

GuiModule* Engine::gui(std::string_view name) {
    const int i = patch_.findModule(name);
    return i < 0 ? nullptr : nodes_[static_cast<std::size_t>(i)]->gui.get();
}

// Every module half with its buffers and routes, then the halves started: GUI halves with their
// values, audio halves opened in run order.
void Engine::build() {
    createAudioHalves();
    const std::size_t count = patch_.modules.size();
    listStore_ = std::make_unique<EventList[]>(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        nodes_.push_back(createNode(static_cast<int>(i)));
        nodes_.back()->events = &listStore_[2 * i];
        nodes_.back()->pending = &listStore_[2 * i + 1];
    }
    computeOrder();
    markAutomatedInputs();
    buildVoices();
    assignOutputBuffers();
    delayed_.assign(patch_.connections.size(), false);
    for (std::size_t i = 0; i < patch_.connections.size(); ++i)
        routeConnection(i);
    attachBuffers();
    buildSteps();
    startHalves();
}

PatchError Engine::cannotCreate(int index, const char* half, gmpi::int32 result) const {
    const PatchModule& m = patch_.modules[static_cast<std::size_t>(index)];
    return PatchError(patch_.file, "modules." + m.name,
                      std::string("the library could not create the ") + half + " half of \"" +
                          m.id + "\" (result " + std::to_string(result) + ")");
}

// The audio halves first, one after the other and before anything else of the engine's, so
// that none of the engine's own allocations falls between a module's object and what it
// allocates while being created (see moduleSpans).
void Engine::createAudioHalves() {
    const std::size_t count = patch_.modules.size();
    audioStore_ = std::make_unique<std::optional<AudioModule>[]>(count);
    const AudioSettings settings{patch_.blockSize, patch_.sampleRate};
    for (std::size_t i = 0; i < count; ++i) {
        const PatchModule& m = patch_.modules[i];
        if (!m.audio) continue;
        AudioModule& audio = audioStore_[i].emplace(library_, toUtf16(m.id), context_, settings);
        if (!audio.valid()) throw cannotCreate(static_cast<int>(i), "audio", audio.createResult());
        audio.setRecording(false);
    }
}

// A module's GUI half, its sinks, audio buffers and routing tables.
std::unique_ptr<Engine::Node> Engine::createNode(int index) {
    const PatchModule& m = patch_.modules[static_cast<std::size_t>(index)];
    auto node = std::make_unique<Node>();
    node->index = index;
    node->name = m.name;
    if (m.audio) {
        node->audio = &*audioStore_[static_cast<std::size_t>(index)];
        node->audioSink = std::make_unique<AudioSink>(*this, *node);
        node->audio->setSink(node->audioSink.get());
        addAudioPins(*node, m.audioPins);
    }
    if (m.gui) {
        node->gui = std::make_unique<GuiModule>(library_, toUtf16(m.id), context_);
        if (!node->gui->valid()) throw cannotCreate(index, "GUI", node->gui->createResult());
        node->guiSink = std::make_unique<GuiSink>(*this, *node);
        node->gui->setSink(node->guiSink.get());
        node->guiRoutes.resize(pinSlots(m.guiPins));
    }
    return node;
}

// An output buffer for each audio output, an input for each audio input, and the tables from
// pin index to both.
void Engine::addAudioPins(Node& node, const std::vector<PinInfo>& pins) {
    const std::size_t slots = pinSlots(pins);
    node.inputOfPin.assign(slots, -1);
    node.outputOfPin.assign(slots, -1);
    node.routes.resize(slots);
    for (const auto& p : pins) {
        if (p.datatype != gmpi::DatatypeAudio) continue;
        if (p.direction == gmpi::DirectionOut) {
            node.outputOfPin[static_cast<std::size_t>(p.id)] =
                static_cast<int>(node.outputs.size());
            node.outputs.emplace_back();
        } else {
            node.inputOfPin[static_cast<std::size_t>(p.id)] = static_cast<int>(node.inputs.size());
            Input in;
            in.pin = p.id;
            node.inputs.push_back(std::move(in));
        }
    }
}

// Constants and automation of audio inputs.
void Engine::markAutomatedInputs() {
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
        Input& in = node.inputs[static_cast<std::size_t>(node.inputOfPin[c.pin.pin])];
        in.automated = in.varies = true;
    }
}

// Connection i becomes a route from its output.
void Engine::routeConnection(std::size_t i) {
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
        return;
    }
    if (c.to.half == Half::Gui) {
        r.kind = Route::GuiValue;
    } else {
        r.delayed = c.delayed || to.rank <= from.rank;
        delayed_[i] = r.delayed;
        if (c.from.datatype == gmpi::DatatypeAudio && c.to.datatype != gmpi::DatatypeAudio) {
            r.kind = Route::Sampled;
            from.sampled.push_back({r, from.outputBuffer(c.from.pin), c.to.datatype});
            return;
        }
        if (c.from.datatype == gmpi::DatatypeAudio) {
            r.kind = Route::Stream;
            r.input = to.inputOfPin[static_cast<std::size_t>(c.to.pin)];
            Input& in = to.inputs[static_cast<std::size_t>(r.input)];
            const float* source = from.outputBuffer(c.from.pin);
            if (r.delayed) source = previousBlockOf(from, source);
            r.source = static_cast<int>(in.sources.size());
            in.sources.push_back(source);
            in.sourceStreaming.push_back(0);
        } else {
            r.kind = c.from.datatype == gmpi::DatatypeMidi ? Route::Midi : Route::Value;
        }
    }
    from.routes[static_cast<std::size_t>(c.from.pin)].push_back(r);
}

// A loop-closing connection reads the source's previous block: a copy kept by the source's
// node, one per output however many connections read it.
const float* Engine::previousBlockOf(Node& from, const float* source) {
    auto it = std::find_if(from.delays.begin(), from.delays.end(),
                           [&](const auto& d) { return d->from == source; });
    if (it == from.delays.end()) {
        from.delays.push_back(std::make_unique<Node::Delay>(Node::Delay{
            source, std::vector<float>(static_cast<std::size_t>(patch_.blockSize), 0.0f)}));
        it = std::prev(from.delays.end());
        delayCopies_.emplace_back(source, (*it)->copy.data());
    }
    return (*it)->copy.data();
}

// Audio input buffers: a single source with nothing added is read in place. With pooling, the
// inputs that nothing feeds and nothing changes share one buffer per constant: they are never
// written again, and many voices of one patch do not each bring their own copies into the
// cache. The constants lie in one store, in run order.
void Engine::attachBuffers() {
    const auto block = static_cast<std::size_t>(patch_.blockSize);
    const auto isConstant = [&](const Input& in) {
        return options_.poolBuffers && in.sources.empty() && !in.varies;
    };
    const auto bitsOf = [](float level) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &level, sizeof bits);
        return bits;
    };
    std::map<std::uint32_t, float*> constants; // by the constant's bits
    for (int i : order_)
        for (const Input& in : nodes_[static_cast<std::size_t>(i)]->inputs)
            if (isConstant(in)) constants.emplace(bitsOf(in.level), nullptr);
    constantStore_.assign(constants.size() * block, 0.0f);
    std::size_t used = 0;
    // The rest are written every block they change (sums: every block) and get buffers of
    // their own, whole cache lines each, side by side in run order.
    std::size_t written = 0;
    for (int i : order_)
        for (const Input& in : nodes_[static_cast<std::size_t>(i)]->inputs)
            written += !(in.sources.size() == 1 && !in.automated) && !isConstant(in);
    const std::size_t each = bufferStride(patch_.blockSize);
    float* next = carveBuffers(inputStore_, written, each);
    for (int i : order_) {
        Node& node = *nodes_[static_cast<std::size_t>(i)];
        for (Input& in : node.inputs) {
            in.shared = in.sources.size() == 1 && !in.automated;
            if (in.shared) {
                in.buffer = const_cast<float*>(in.sources.front());
            } else if (isConstant(in)) {
                float*& buffer = constants[bitsOf(in.level)];
                if (!buffer) {
                    buffer = constantStore_.data() + used * block;
                    std::fill(buffer, buffer + block, in.level);
                    ++used;
                }
                in.shared = true;
                in.buffer = buffer;
            } else {
                in.buffer = next;
                next += each;
                std::fill(in.buffer, in.buffer + block, in.level);
                in.dirty = false;
            }
            node.audio->attachBuffer(in.pin, in.buffer);
        }
        for (const auto& p : patch_.modules[static_cast<std::size_t>(node.index)].audioPins)
            if (p.datatype == gmpi::DatatypeAudio && p.direction == gmpi::DirectionOut)
                node.audio->attachBuffer(
                    p.id, node.outputs[static_cast<std::size_t>(node.outputOfPin[p.id])].buffer);
    }
}

// GUI halves start with their values; then the audio halves open, in run order.
void Engine::startHalves() {
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
    addVoiceEdges(edges);
    // Edges that no connection makes (voice groups) carry an index past the connections.
    std::vector<bool> loopClosing(patch_.connections.size() + 1, false);
    // The walk keeps its own stack of (module, next edge) so that a long chain of modules
    // cannot exhaust the thread's stack.
    std::vector<int> state(n, 0); // 0 new, 1 on the walk, 2 done
    std::vector<std::pair<std::size_t, std::size_t>> walk;
    for (std::size_t root = 0; root < n; ++root) {
        if (state[root] != 0 || !nodes_[root]->audio) continue;
        state[root] = 1;
        walk.emplace_back(root, 0);
        while (!walk.empty()) {
            auto& [v, next] = walk.back();
            if (next == edges[v].size()) {
                state[v] = 2;
                walk.pop_back();
                continue;
            }
            const auto [to, conn] = edges[v][next++];
            const auto t = static_cast<std::size_t>(to);
            if (state[t] == 1) {
                loopClosing[std::min(conn, patch_.connections.size())] = true;
            } else if (state[t] == 0) {
                state[t] = 1;
                walk.emplace_back(t, 0);
            }
        }
    }

    std::vector<int> indegree(n, 0);
    for (std::size_t v = 0; v < n; ++v)
        for (const auto& [to, conn] : edges[v])
            if (!loopClosing[std::min(conn, patch_.connections.size())])
                ++indegree[static_cast<std::size_t>(to)];
    std::priority_queue<int, std::vector<int>, std::greater<int>> ready;
    for (std::size_t v = 0; v < n; ++v)
        if (nodes_[v]->audio && indegree[v] == 0) ready.push(static_cast<int>(v));
    while (!ready.empty()) {
        const int v = ready.top();
        ready.pop();
        nodes_[static_cast<std::size_t>(v)]->rank = static_cast<int>(order_.size());
        order_.push_back(v);
        for (const auto& [to, conn] : edges[static_cast<std::size_t>(v)])
            if (!loopClosing[std::min(conn, patch_.connections.size())] &&
                --indegree[static_cast<std::size_t>(to)] == 0)
                ready.push(to);
    }
}

} // namespace zrhost
