// Output buffers by liveness, and the render loop's layout. Each audio output lives from its
// module's turn to the turn of its last reader in the run order; buffers whose outputs are past
// their last reader go back to a pool and serve later outputs, so that a patch of many parallel
// voices touches a few buffers however many voices it has.
#include "host/engine_parts.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace zrhost {

namespace {

// Buffers start on cache-line boundaries and take whole lines.
constexpr std::size_t kLineFloats = 16;

} // namespace

std::size_t bufferStride(gmpi::int32 blockSize) {
    return (static_cast<std::size_t>(blockSize) + kLineFloats - 1) / kLineFloats * kLineFloats;
}

float* carveBuffers(std::vector<float>& store, std::size_t count, std::size_t each) {
    store.assign(count * each + kLineFloats, 0.0f);
    const auto address = reinterpret_cast<std::uintptr_t>(store.data());
    const std::size_t skip = (64 - address % 64) % 64 / sizeof(float);
    return store.data() + skip;
}

// What reads an output decides how long it lives. A loop-closing connection reads it at the
// start of the next block and an output channel after every module has run: those outputs keep
// a buffer of their own. A connection into a control input reads it as values right after its
// module's turn; an audio connection in the turn of the module it feeds.
void Engine::assignOutputBuffers() {
    struct Life {
        int lastRead = -1; // rank of the last reader; -1: nothing reads it
        bool own = false;
    };
    std::vector<std::vector<Life>> life(nodes_.size());
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        life[i].assign(nodes_[i]->outputs.size(), Life{-1, !options_.poolBuffers});
    const auto lifeOf = [&](const PinAddress& pin) -> Life* {
        const Node& node = *nodes_[static_cast<std::size_t>(pin.module)];
        if (pin.pin < 0 || pin.pin >= static_cast<gmpi::int32>(node.outputOfPin.size()))
            return nullptr;
        const int o = node.outputOfPin[static_cast<std::size_t>(pin.pin)];
        return o < 0 ? nullptr
                     : &life[static_cast<std::size_t>(pin.module)][static_cast<std::size_t>(o)];
    };
    for (const PatchConnection& c : patch_.connections) {
        if (c.from.half != Half::Audio || c.from.datatype != gmpi::DatatypeAudio ||
            c.to.half != Half::Audio)
            continue;
        Life* l = lifeOf(c.from);
        if (!l) continue;
        const int from = nodes_[static_cast<std::size_t>(c.from.module)]->rank;
        const int to = nodes_[static_cast<std::size_t>(c.to.module)]->rank;
        if (c.delayed || to <= from)
            l->own = true;
        else
            l->lastRead = std::max(l->lastRead, c.to.datatype == gmpi::DatatypeAudio ? to : from);
    }
    for (const OutputChannel& channel : patch_.outputs)
        for (const OutputSource& s : channel.sources)
            if (Life* l = lifeOf(s.pin)) l->own = true;
    const std::size_t each = bufferStride(patch_.blockSize);
    std::size_t readBytes = 0;
    for (const auto& outputs : life)
        for (const Life& l : outputs)
            if (l.own || l.lastRead >= 0) readBytes += each * sizeof(float);
    if (readBytes <= options_.ownBufferBytes)
        for (auto& outputs : life)
            for (Life& l : outputs)
                l.own = l.own || l.lastRead >= 0;

    // A walk in run order hands out pool buffers, most recently freed first (still in cache),
    // and frees each after its output's last reader.
    std::vector<int> freeBuffers;
    std::vector<std::vector<int>> freedAfter(order_.size());
    int poolSize = 0;
    std::size_t owned = 0, held = 0;
    int nextId = 0;
    for (int rank = 0; rank < static_cast<int>(order_.size()); ++rank) {
        const auto v = static_cast<std::size_t>(order_[static_cast<std::size_t>(rank)]);
        Node& node = *nodes_[v];
        for (std::size_t o = 0; o < node.outputs.size(); ++o) {
            OutputSlot& out = node.outputs[o];
            out.id = nextId++;
            if (life[v][o].own) {
                ++owned;
                continue;
            }
            if (freeBuffers.empty()) {
                out.pool = poolSize++;
            } else {
                out.pool = freeBuffers.back();
                freeBuffers.pop_back();
            }
            if (life[v][o].lastRead >= 0) ++held;
            freedAfter[static_cast<std::size_t>(std::max(life[v][o].lastRead, rank))].push_back(
                out.pool);
        }
        for (int b : freedAfter[static_cast<std::size_t>(rank)])
            freeBuffers.push_back(b);
    }

    // Outputs of modules that never run (no audio half) have no pins; all others now get memory.
    float* pool = carveBuffers(poolStore_, static_cast<std::size_t>(poolSize), each);
    float* own = carveBuffers(privateStore_, owned + held, each);
    poolContent_.assign(static_cast<std::size_t>(poolSize), -1);
    outputBuffers_ = static_cast<std::size_t>(poolSize) + owned;
    for (int i : order_) {
        Node& node = *nodes_[static_cast<std::size_t>(i)];
        for (std::size_t o = 0; o < node.outputs.size(); ++o) {
            OutputSlot& out = node.outputs[o];
            if (out.pool < 0) {
                out.buffer = own;
                own += each;
                continue;
            }
            out.buffer = pool + static_cast<std::size_t>(out.pool) * each;
            if (life[static_cast<std::size_t>(i)][o].lastRead >= 0) {
                out.held = own;
                own += each;
            }
        }
    }
}

// The render loop's flat lists: per turn, the inputs that need filling (those not read in
// place) and the pooled outputs; and the nodes with GUI halves.
void Engine::buildSteps() {
    pendingNodes_.reserve(nodes_.size()); // no allocation while rendering
    for (auto& node : nodes_)
        if (node->gui) guiNodes_.push_back(node.get());
    std::vector<bool> voice(nodes_.size(), false);
    for (const auto& g : groups_)
        for (const auto& modules : g->modules)
            for (int m : modules)
                voice[static_cast<std::size_t>(m)] = true;
    const auto lines =
        static_cast<std::uint32_t>((static_cast<std::size_t>(patch_.blockSize) + 15) / 16);
    std::map<const float*, int> readers; // inputs by buffer
    for (int i : order_)
        for (const Input& in : nodes_[static_cast<std::size_t>(i)]->inputs)
            ++readers[in.buffer];
    for (int i : order_) {
        Node& node = *nodes_[static_cast<std::size_t>(i)];
        Step s;
        s.node = &node;
        s.audio = node.audio;
        s.events = node.events;
        s.object = node.audio->plugin();
        s.rank = node.rank;
        s.idle = node.idle;
        s.fillBegin = static_cast<std::uint32_t>(fills_.size());
        s.sumBegin = static_cast<std::uint32_t>(sums_.size());
        for (Input& in : node.inputs) {
            if (in.shared) continue;
            if (in.varies || in.sources.empty()) {
                fills_.push_back(&in);
                continue;
            }
            // Nothing changes its constant: its buffer is the same sum every block.
            sums_.push_back({in.buffer, in.sources.front(), nullptr,
                             static_cast<std::uint32_t>(in.sources.size() - 1), in.level});
            sumSources_.insert(sumSources_.end(), in.sources.begin() + 1, in.sources.end());
        }
        s.fillEnd = static_cast<std::uint32_t>(fills_.size());
        s.sumEnd = static_cast<std::uint32_t>(sums_.size());
        // A constant input that no other input shares is read (often only its first line; the
        // shared ones stay in the cache); inputs with sums of their own and outputs with buffers
        // of their own are written whole every block.
        s.readBegin = static_cast<std::uint32_t>(reads_.size());
        for (const Input& in : node.inputs) {
            if (!in.sources.empty() && !in.automated) continue;
            if (!in.shared)
                reads_.push_back({in.buffer, lines});
            else if (readers[in.buffer] == 1)
                reads_.push_back({in.buffer, 1});
        }
        for (const OutputSlot& out : node.outputs)
            if (out.pool < 0) reads_.push_back({out.buffer, lines});
        s.readEnd = static_cast<std::uint32_t>(reads_.size());
        s.pooledBegin = static_cast<std::uint32_t>(pooled_.size());
        for (OutputSlot& out : node.outputs) {
            if (out.pool < 0) continue;
            out.flat = static_cast<int>(pooled_.size());
            pooled_.push_back({out.buffer, out.held, out.pool, out.id, out.streaming});
            if (out.held && !out.streaming) ++staticHeld_;
            s.held = s.held || out.held;
        }
        s.pooledEnd = static_cast<std::uint32_t>(pooled_.size());
        s.voice = voice[static_cast<std::size_t>(i)];
        s.sampled = !node.sampled.empty();
        s.plain =
            s.fillBegin == s.fillEnd && s.pooledBegin == s.pooledEnd && !s.voice && !s.sampled;
        steps_.push_back(s);
    }
    // The further sources are listed in the order of the sums.
    std::size_t rest = 0;
    for (lanes::SumJob& job : sums_) {
        job.rest = sumSources_.data() + rest;
        rest += job.restCount;
    }
    runSums_ = lanes::sums;
    runMix_ = lanes::mixTurns;
#if ZR_HAS_WIDE_LANES
    if (zr::dsp::wideLanesAvailable()) {
        runSums_ = lanes::sums8;
        runMix_ = lanes::mixTurns8;
    }
#endif
    buildMix();
    moduleSpans();
}

// The memory of a module is its object and what it allocated while being created; the engine
// creates the modules one after the other, so that is about the stretch up to the next module
// object above it. A turn prefetches that stretch in steps of four cache lines, at most 2 kB
// (1 kB for the highest object, which has none above it): the modules' objects take up to
// about 2 kB, and every line prefetched costs the turn an instruction.
void Engine::moduleSpans() {
    constexpr std::uintptr_t kMost = 2048, kLast = 1024;
    std::vector<std::uintptr_t> starts;
    for (const Step& s : steps_)
        starts.push_back(reinterpret_cast<std::uintptr_t>(s.object));
    std::sort(starts.begin(), starts.end());
    std::size_t total = 0;
    for (Step& s : steps_) {
        const auto at = reinterpret_cast<std::uintptr_t>(s.object);
        const auto next = std::upper_bound(starts.begin(), starts.end(), at);
        const std::uintptr_t span = next == starts.end() ? kLast : std::min(*next - at, kMost);
        s.objectBytes = static_cast<std::uint32_t>(span);
        total += span;
    }
    prefetch_ = total > options_.prefetchAboveBytes;
}

// Output channels sum their sources in order, each from zero. When a channel's sources come in
// run order, each is added right after its module's turn, while its buffer is still in the
// cache (the same additions in the same order); other channels are summed after all turns.
void Engine::buildMix() {
    const auto block = static_cast<std::size_t>(patch_.blockSize);
    const std::size_t channels = patch_.outputs.size();
    mixSums_.assign(channels * block, 0.0f);
    mix_.assign(channels, {});
    std::vector<std::vector<lanes::MixTurn>> byTurn(steps_.size());
    for (std::size_t c = 0; c < channels; ++c) {
        float* sum = mixSums_.data() + c * block;
        std::vector<std::pair<int, MixSource>> sources; // (rank, source)
        for (const OutputSource& s : patch_.outputs[c].sources) {
            const Node& node = *nodes_[static_cast<std::size_t>(s.pin.module)];
            if (const float* buffer = node.outputBuffer(s.pin.pin))
                sources.push_back({node.rank, {buffer, s.gain}});
        }
        const bool inRunOrder =
            std::is_sorted(sources.begin(), sources.end(),
                           [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [rank, source] : sources) {
            if (inRunOrder)
                byTurn[static_cast<std::size_t>(rank)].push_back(
                    {sum, source.buffer, source.gain, &source == &sources.front().second});
            else
                mix_[c].push_back(source);
        }
        // A channel summed turn by turn starts from zero at its first source; one without
        // sources is zero throughout.
        mixEager_.push_back(inRunOrder && !sources.empty());
    }
    for (std::size_t t = 0; t < steps_.size(); ++t) {
        steps_[t].mixBegin = static_cast<std::uint32_t>(mixTurns_.size());
        mixTurns_.insert(mixTurns_.end(), byTurn[t].begin(), byTurn[t].end());
        steps_[t].mixEnd = static_cast<std::uint32_t>(mixTurns_.size());
    }
}

} // namespace zrhost
