// Running a wired patch block by block: input buffers filled from sources, constants and
// ramps; each audio half processed in run order; output values and streaming changes relayed to
// the inputs they reach; GUI halves served and the library's GUI timer advanced.
#include "host/engine_parts.h"

#include "host/engine_lanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zrhost {

namespace {

// GUI pins relay to GUI pins at once; unchanged values stop there, and this bounds the rest.
constexpr int kMaxGuiRelayDepth = 32;
// GUI halves keep a record of their calls; the engine trims it on long renders.
constexpr std::size_t kMaxGuiRecord = 4096;
// How many turns ahead the render loop asks for a module's memory: a turn of a cheap module
// takes about as long as a read from memory.
constexpr std::size_t kPrefetchTurns = 2;

} // namespace

bool Engine::sameBlock(const Node& from, const Node& to) const {
    return inBlock_ && to.rank > from.rank;
}

// Nodes with events for the next block are listed, so that a block starts by swapping the lists
// of those nodes only.
EventList& Engine::listFor(Node& to, bool nextBlock) {
    if (!nextBlock) return *to.events;
    if (!to.pendingListed) {
        to.pendingListed = true;
        pendingNodes_.push_back(&to);
    }
    return *to.pending;
}

void Engine::relayValue(Node& from, gmpi::int32 time, gmpi::int32 pin, gmpi::int32 size,
                        const void* data) {
    if (midiTap_)
        for (const auto& [capturedPin, capture] : from.captures)
            if (capturedPin == pin)
                midiTap_(capture, position_ + std::clamp(time, 0, std::max(frames_ - 1, 0)),
                         static_cast<const std::uint8_t*>(data), size);
    if (pin < 0 || pin >= static_cast<gmpi::int32>(from.routes.size())) return;
    for (const Route& r : from.routes[static_cast<std::size_t>(pin)]) {
        if (r.kind == Route::Voices) {
            voiceMidi(r.input, position_ + std::clamp(time, 0, std::max(frames_ - 1, 0)), data,
                      size);
            continue;
        }
        if (r.kind == Route::GuiValue) {
            if (guiQueued_ == guiQueue_.size()) guiQueue_.emplace_back();
            GuiDelivery& d = guiQueue_[guiQueued_++];
            d.node = r.to;
            d.pin = r.pin;
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            d.bytes.assign(bytes, bytes + (data && size > 0 ? size : 0));
            continue;
        }
        if (r.kind == Route::Stream || r.kind == Route::Sampled) continue;
        const bool next = r.delayed || !sameBlock(from, *r.to);
        const gmpi::int32 t = next ? std::clamp(time, 0, patch_.blockSize - 1)
                                   : std::clamp(time, 0, std::max(frames_ - 1, 0));
        listFor(*r.to, next)
            .addBytes(t, r.kind == Route::Midi ? gmpi::EventMidi : gmpi::EventPinValue, r.pin, data,
                      size);
    }
}

// An audio output read by control inputs: a value on each sample where the converted value
// differs from the one last sent (int: rounded; bool: above 0), so that a clock's square wave
// reaches an int gate as 1 on each rising edge and 0 on each falling one.
void Engine::sendSampled(Node& from, int frames) {
    for (Node::Sampled& s : from.sampled) {
        const bool next = s.route.delayed || !sameBlock(from, *s.route.to);
        EventList& list = listFor(*s.route.to, next);
        for (int f = 0; f < frames; ++f) {
            const float v = s.buffer[f];
            std::uint32_t bytes = 0;
            gmpi::int32 size = 4;
            if (s.datatype == gmpi::DatatypeFloat) {
                std::memcpy(&bytes, &v, 4);
            } else if (s.datatype == gmpi::DatatypeBool) {
                bytes = v > 0.0f ? 1 : 0;
                size = 1;
            } else {
                // Int and list pins: rounded, held to what an int32 holds (NaN reads as 0).
                const float held =
                    std::isnan(v) ? 0.0f : std::clamp(v, -2147483520.0f, 2147483520.0f);
                const auto i = static_cast<gmpi::int32>(std::lround(held));
                std::memcpy(&bytes, &i, 4);
            }
            if (s.sent && bytes == s.last) continue;
            s.sent = true;
            s.last = bytes;
            list.addBytes(f, gmpi::EventPinValue, s.route.pin, &bytes, size);
        }
    }
}

void Engine::relayStreaming(Node& from, gmpi::int32 time, gmpi::int32 pin, bool streaming) {
    if (pin < 0 || pin >= static_cast<gmpi::int32>(from.routes.size())) return;
    if (const int o = from.outputOfPin[static_cast<std::size_t>(pin)]; o >= 0) {
        OutputSlot& out = from.outputs[static_cast<std::size_t>(o)];
        out.streaming = streaming;
        if (out.flat >= 0) {
            PooledOutput& p = pooled_[static_cast<std::size_t>(out.flat)];
            if (p.held && p.streaming != streaming) staticHeld_ += streaming ? -1 : 1;
            p.streaming = streaming;
        }
    }
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
            listFor(*r.to, true).addBytes(0, gmpi::EventPinValue, r.pin, data, size);
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
        const std::int64_t frame = framesAt(c.seconds, rate);
        if (frame >= start + frames) break;
        ++nextChange_;
        if (c.voiceGroup >= 0) {
            voiceMidi(c.voiceGroup, std::max(frame, start), c.value.bytes.data(),
                      static_cast<gmpi::int32>(c.value.bytes.size()));
            continue;
        }
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
            in.changes.push_back({offset, c.value.asFloat(), framesAt(c.rampSeconds, rate)});
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
    if (in.changes.empty() && in.rampDone >= in.rampTotal && !in.stopAtStart)
        fillSteadyInput(in, frames);
    else
        fillChangingInput(node, in, frames);
}

// The steady case: a constant, plus the sources when there are any.
void Engine::fillSteadyInput(Input& in, int frames) {
    float* out = in.buffer;
    if (in.sources.empty()) {
        if (in.dirty) lanes::fill(out, in.level, frames);
    } else {
        lanes::offset(out, in.level, in.sources.front(), frames);
        for (std::size_t s = 1; s < in.sources.size(); ++s)
            lanes::add(out, in.sources[s], frames);
    }
    in.dirty = false;
}

void Engine::fillChangingInput(Node& node, Input& in, int frames) {
    const bool moved = in.rampDone < in.rampTotal || !in.changes.empty();
    // Automation and voice changes arrive from separate sources; they apply in time order.
    std::stable_sort(
        in.changes.begin(), in.changes.end(),
        [](const Input::Change& a, const Input::Change& b) { return a.offset < b.offset; });
    if (in.stopAtStart) {
        in.stopAtStart = false;
        setInputStreaming(node, in, 0, false);
    }
    int pos = 0;
    for (const auto& c : in.changes) {
        writeLevel(node, in, pos, c.offset, frames);
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
    writeLevel(node, in, pos, frames, frames);
    in.dirty = moved;

    for (const float* source : in.sources)
        lanes::add(in.buffer, source, frames);
}

// Writes the input's constant over frames [a, b): gliding while a ramp runs, then its level.
// The end of a ramp is a streaming stop, at once or, when the ramp ends with the block, at the
// start of the next.
void Engine::writeLevel(Node& node, Input& in, int a, int b, int frames) {
    float* out = in.buffer;
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
                if (a >= frames)
                    in.stopAtStart = true;
                else
                    setInputStreaming(node, in, a, false);
            }
        } else {
            lanes::fill(out + a, in.level, b - a);
            a = b;
        }
    }
}

// A static pooled output that is read shows its readers its last block, as a buffer of its own
// would: the copy is put back when another output has used the buffer since, and taken after
// each block the module runs while static. A streaming output is written in full by its module.
void Engine::restoreHeld(const Step& step, bool runs) {
    const auto block = static_cast<std::size_t>(patch_.blockSize);
    int* const contents = trackedContent();
    for (std::uint32_t k = step.pooledBegin; k < step.pooledEnd; ++k) {
        const PooledOutput& out = pooled_[k];
        int& content = contents[out.pool];
        if (out.held && !(runs && out.streaming) && content != out.id)
            std::copy(out.held, out.held + block, out.buffer);
        content = out.id;
    }
}

// The pool's contents by buffer, made known again (as unknown) after turns that did not track
// them.
int* Engine::trackedContent() {
    if (!contentKnown_) {
        std::fill(poolContent_.begin(), poolContent_.end(), -1);
        contentKnown_ = true;
    }
    return poolContent_.data();
}

void Engine::keepHeld(const Step& step) {
    const auto block = static_cast<std::size_t>(patch_.blockSize);
    for (std::uint32_t k = step.pooledBegin; k < step.pooledEnd; ++k) {
        const PooledOutput& out = pooled_[k];
        if (out.held && !out.streaming) std::copy(out.buffer, out.buffer + block, out.held);
    }
}

// Asks the cache for what a turn a little ahead will read first: its module's host record and
// event list, its constant and summed inputs, its own output buffers and its module's memory. Many
// voices' modules together outgrow the cache, and the module's reads (its state, its pins) are
// spread over its object, so without this each turn waits for memory line by line.
void Engine::prefetchTurn(const Step& step) {
    __builtin_prefetch(step.audio);
    __builtin_prefetch(step.events);
    for (std::uint32_t k = step.readBegin; k < step.readEnd; ++k)
        for (std::uint32_t line = 0; line < reads_[k].lines; ++line)
            __builtin_prefetch(reads_[k].buffer + 16 * line);
    const char* object = static_cast<const char*>(step.object);
    for (std::uint32_t b = 0; b < step.objectBytes; b += 256) {
        __builtin_prefetch(object + b);
        __builtin_prefetch(object + b + 64);
        __builtin_prefetch(object + b + 128);
        __builtin_prefetch(object + b + 192);
    }
}

// A short block moves events past its end onto its last frame.
void Engine::clampEventTimes(EventList& events, int frames) {
    for (gmpi::MpEvent* e : events.events())
        e->time = std::min(e->time, frames - 1);
}

// The turn of a plain step (see Step::plain): its sums, the module's call and its events.
inline void Engine::runPlainStep(const Step& step, int frames) {
    runningRank_ = step.rank;
    if (step.sumBegin < step.sumEnd)
        runSums_(sums_.data() + step.sumBegin, sums_.data() + step.sumEnd, frames);
    EventList& events = *step.events;
    if (frames < patch_.blockSize) clampEventTimes(events, frames);
    step.audio->processBlock(events, frames);
    if (!events.empty()) events.clear();
}

void Engine::runStep(Step& step, int frames) {
    Node& node = *step.node;
    runningRank_ = step.rank;
    for (std::uint32_t k = step.fillBegin; k < step.fillEnd; ++k)
        fillInput(node, *fills_[k], frames);
    if (step.sumBegin < step.sumEnd)
        runSums_(sums_.data() + step.sumBegin, sums_.data() + step.sumEnd, frames);
    EventList& events = *step.events;
    if (frames < patch_.blockSize) clampEventTimes(events, frames);
    const bool runs = step.audio->wouldProcess(events);
    if (staticHeld_ == 0 && (runs || !step.held)) {
        // Nothing static is held anywhere and this module writes its outputs: no copies, and
        // no need to note what the pool buffers hold.
        contentKnown_ = false;
    } else if (step.held) {
        restoreHeld(step, runs);
    } else {
        int* const contents = trackedContent();
        for (std::uint32_t k = step.pooledBegin; k < step.pooledEnd; ++k)
            contents[pooled_[k].pool] = pooled_[k].id;
    }
    bool ran = step.audio->processBlock(events, frames);
    if (step.voice && (step.idle || step.idleFrames > 0)) {
        const int silent = step.idle ? frames : step.idleFrames;
        for (const OutputSlot& out : node.outputs)
            std::fill(out.buffer, out.buffer + silent, 0.0f);
        step.idleFrames = 0;
        ran = true; // the silence is part of what the outputs hold
    }
    if (step.held && ran && staticHeld_ > 0) keepHeld(step);
    if (step.sampled) sendSampled(node, frames);
    if (!events.empty()) events.clear();
}

// Every turn of the block in run order, each followed by the output channels it adds to. With
// `Prefetch`, each turn first asks the cache for what a turn a little ahead will read.
template <bool Prefetch>
void Engine::runTurns(int frames) {
    Step* const steps = steps_.data();
    const std::size_t count = steps_.size();
    for (std::size_t i = 0; i < count; ++i) {
        if constexpr (Prefetch)
            if (i + kPrefetchTurns < count) prefetchTurn(steps[i + kPrefetchTurns]);
        Step& step = steps[i];
        if (step.plain)
            runPlainStep(step, frames);
        else
            runStep(step, frames);
        if (step.mixBegin < step.mixEnd)
            runMix_(mixTurns_.data() + step.mixBegin, mixTurns_.data() + step.mixEnd, frames);
    }
}

void Engine::renderFrames(int frames, float* out) {
    frames = std::clamp(frames, 1, patch_.blockSize);
    frames_ = frames;
    // Each node's list for this block was emptied after its last turn; the next block's lists
    // that hold events take their place.
    for (Node* node : pendingNodes_) {
        if (!node->events->empty()) node->events->clear();
        std::swap(node->events, node->pending);
        if (node->rank >= 0) steps_[static_cast<std::size_t>(node->rank)].events = node->events;
        node->pendingListed = false;
    }
    pendingNodes_.clear();
    if (!started_) {
        started_ = true;
        sendInitialValues();
    }
    // Loop-closing audio connections read what their source wrote last block.
    for (const auto& [from, copy] : delayCopies_)
        std::copy(from, from + patch_.blockSize, copy);
    if (nextChange_ < patch_.changes.size()) scheduleChanges(position_, frames);
    for (auto& g : groups_)
        dispatchVoices(*g);

    inBlock_ = true;
    if (prefetch_)
        runTurns<true>(frames);
    else
        runTurns<false>(frames);
    inBlock_ = false;
    runningRank_ = -1;

    mixOutputs(frames, out);

    if (guiQueued_ > 0) deliverGuiQueue();
    for (Node* node : guiNodes_) {
        if (node->gui->transmits().size() > kMaxGuiRecord ||
            node->gui->invalidations().size() > kMaxGuiRecord)
            node->gui->clearRecord();
    }
    if (!guiNodes_.empty()) {
        timerCarryMs_ += 1000.0 * frames / static_cast<double>(patch_.sampleRate);
        const int ms = static_cast<int>(timerCarryMs_);
        if (ms > 0) {
            library_.advanceTimer(ms);
            timerCarryMs_ -= ms;
        }
    }
    position_ += frames;
}

// The channels not summed turn by turn are summed now; then all are interleaved into `out`.
void Engine::mixOutputs(int frames, float* out) {
    const std::size_t channels = mix_.size();
    const auto block = static_cast<std::size_t>(patch_.blockSize);
    for (std::size_t c = 0; c < channels; ++c) {
        float* sum = mixSums_.data() + c * block;
        if (!mixEager_[c]) {
            lanes::fill(sum, 0.0f, frames);
            for (const MixSource& s : mix_[c])
                lanes::addScaled(sum, s.gain, s.buffer, frames);
        }
        if (channels == 1) {
            std::copy(sum, sum + frames, out);
            continue;
        }
        for (int f = 0; f < frames; ++f)
            out[static_cast<std::size_t>(f) * channels + c] = sum[f];
    }
}

int Engine::renderBlock(float* out) {
    if (finished()) return 0;
    const int frames =
        static_cast<int>(std::min<std::int64_t>(patch_.blockSize, totalFrames_ - position_));
    renderFrames(frames, out);
    return frames;
}

} // namespace zrhost
