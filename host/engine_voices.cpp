// The patch engine's voice groups: routing MIDI to a group's allocator, and applying its
// per-voice actions to the voice modules' pins at their frames.
#include "host/engine_parts.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zrhost {

namespace {
constexpr std::size_t kNoConnection = std::numeric_limits<std::size_t>::max();
constexpr int kSources = 4;
// A stolen voice fades for 5 ms (the fast fade of a voice mute) before its new note starts.
constexpr double kStealGapSeconds = 0.005;
} // namespace

void Engine::buildVoices() {
    const double rate = static_cast<double>(patch_.sampleRate);
    for (std::size_t gi = 0; gi < patch_.voiceGroups.size(); ++gi) {
        const VoiceGroup& g = patch_.voiceGroups[gi];
        auto group = std::make_unique<Group>(g.count, std::llround(kStealGapSeconds * rate));
        group->targets.resize(static_cast<std::size_t>(g.count * kSources));
        group->modules = g.modules;
        for (const auto& voice : g.modules)
            for (int m : voice)
                nodes_[static_cast<std::size_t>(m)]->idle = true;
        for (const auto& t : g.targets) {
            group
                ->targets[static_cast<std::size_t>(t.voice * kSources + static_cast<int>(t.source))]
                .push_back(t.pin);
            Node& node = *nodes_[static_cast<std::size_t>(t.pin.module)];
            if (t.pin.datatype == gmpi::DatatypeAudio) {
                Input& in = node.inputs[static_cast<std::size_t>(node.inputOfPin[t.pin.pin])];
                in.automated = in.varies = true;
            }
        }
        for (const PinAddress& source : g.midiSources) {
            Route r;
            r.kind = Route::Voices;
            r.input = static_cast<int>(gi);
            nodes_[static_cast<std::size_t>(source.module)]
                ->routes[static_cast<std::size_t>(source.pin)]
                .push_back(r);
        }
        groups_.push_back(std::move(group));
    }
    for (std::size_t i = 0; i < patch_.midiCaptures.size(); ++i) {
        const PinAddress& pin = patch_.midiCaptures[i].pin;
        nodes_[static_cast<std::size_t>(pin.module)]->captures.emplace_back(pin.pin, i);
    }
}

// A group's MIDI sources run before its voices, so that a note reaches the voices in the block
// that carries it.
void Engine::addVoiceEdges(std::vector<std::vector<std::pair<int, std::size_t>>>& edges) const {
    for (const VoiceGroup& g : patch_.voiceGroups)
        for (const PinAddress& source : g.midiSources)
            for (const auto& voice : g.modules)
                for (int m : voice)
                    if (nodes_[static_cast<std::size_t>(m)]->audio)
                        edges[static_cast<std::size_t>(source.module)].emplace_back(m,
                                                                                    kNoConnection);
}

void Engine::voiceMidi(int groupIndex, std::int64_t frame, const void* data, gmpi::int32 size) {
    if (groupIndex < 0 || groupIndex >= static_cast<int>(groups_.size())) return;
    Group& group = *groups_[static_cast<std::size_t>(groupIndex)];
    group.fresh.clear();
    group.allocator.midi(frame, static_cast<const std::uint8_t*>(data), size, group.fresh);
    for (const VoiceAction& a : group.fresh) {
        const auto at =
            std::upper_bound(group.queue.begin(), group.queue.end(), a.frame,
                             [](std::int64_t f, const VoiceAction& b) { return f < b.frame; });
        group.queue.insert(at, a);
    }
    if (inBlock_) dispatchVoices(group);
}

// Applies the actions due in the block being rendered. An action for a voice module that has
// already run in this block waits for the next one.
void Engine::dispatchVoices(Group& group) {
    const std::int64_t end = position_ + frames_;
    std::size_t due = 0;
    while (due < group.queue.size() && group.queue[due].frame < end)
        ++due;
    std::vector<VoiceAction> later;
    for (std::size_t i = 0; i < due; ++i) {
        const VoiceAction& a = group.queue[i];
        const auto& pins =
            group
                .targets[static_cast<std::size_t>(a.voice * kSources + static_cast<int>(a.source))];
        const bool ran =
            inBlock_ && std::any_of(pins.begin(), pins.end(), [&](const PinAddress& p) {
                return nodes_[static_cast<std::size_t>(p.module)]->rank <= runningRank_;
            });
        if (ran) {
            later.push_back(a);
            later.back().frame = end;
        } else {
            applyVoice(group, a);
        }
    }
    group.queue.erase(group.queue.begin(), group.queue.begin() + static_cast<long>(due));
    group.queue.insert(group.queue.begin(), later.begin(), later.end());
}

void Engine::applyVoice(Group& group, const VoiceAction& a) {
    const auto offset = static_cast<gmpi::int32>(
        std::clamp<std::int64_t>(a.frame - position_, 0, std::max(frames_ - 1, 0)));
    for (int m : group.modules[static_cast<std::size_t>(a.voice)]) {
        const int rank = nodes_[static_cast<std::size_t>(m)]->rank;
        if (rank < 0) continue; // no audio half: nothing to silence
        Step& step = steps_[static_cast<std::size_t>(rank)];
        if (!step.idle) continue;
        step.idle = false;
        step.idleFrames = offset;
    }
    for (const PinAddress& p :
         group.targets[static_cast<std::size_t>(a.voice * kSources + static_cast<int>(a.source))]) {
        Node& node = *nodes_[static_cast<std::size_t>(p.module)];
        switch (p.datatype) {
        case gmpi::DatatypeAudio: {
            Input& in = node.inputs[static_cast<std::size_t>(node.inputOfPin[p.pin])];
            in.changes.push_back({offset, a.value, 0});
            break;
        }
        case gmpi::DatatypeFloat:
            node.events->addFloat(offset, p.pin, a.value);
            break;
        case gmpi::DatatypeInt:
        case gmpi::DatatypeList:
            node.events->addInt(offset, p.pin, static_cast<gmpi::int32>(std::lround(a.value)));
            break;
        case gmpi::DatatypeBool:
            node.events->addBool(offset, p.pin, a.value > 0.0f);
            break;
        default:
            break;
        }
    }
}

} // namespace zrhost
