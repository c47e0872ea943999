#include "host/event_list.h"

#include <algorithm>
#include <cstring>

namespace zrhost {

gmpi::MpEvent& EventList::insert(gmpi::int32 time, gmpi::int32 type, gmpi::int32 pinId) {
    gmpi::MpEvent& e = storage_.emplace_back();
    e = gmpi::MpEvent{};
    e.time = time;
    e.type = type;
    e.pinId = pinId;
    // After every event with time <= this one: equal times stay in insertion order.
    auto at = std::upper_bound(order_.begin(), order_.end(), time,
                               [](gmpi::int32 t, const gmpi::MpEvent* x) { return t < x->time; });
    const auto index = at - order_.begin();
    order_.insert(at, &e);
    if (index > 0) order_[index - 1]->next = &e;
    e.next = static_cast<std::size_t>(index) + 1 < order_.size() ? order_[index + 1] : nullptr;
    return e;
}

EventList& EventList::addBytes(gmpi::int32 time, gmpi::int32 type, gmpi::int32 pinId,
                               const void* data, gmpi::int32 size) {
    gmpi::MpEvent& e = insert(time, type, pinId);
    e.size = size;
    if (size <= 0 || !data) return *this;
    if (size <= static_cast<gmpi::int32>(sizeof e.inlineData)) {
        std::memcpy(e.inlineData, data, static_cast<std::size_t>(size));
    } else {
        const char* p = static_cast<const char*>(data);
        e.extraData = extra_.emplace_back(p, p + size).data();
    }
    return *this;
}

EventList& EventList::addRaw(gmpi::int32 time, gmpi::int32 type, gmpi::int32 pinId,
                             gmpi::int32 size, std::span<const std::uint8_t> inlineBytes,
                             const char* extraData) {
    gmpi::MpEvent& e = insert(time, type, pinId);
    e.size = size;
    if (!inlineBytes.empty())
        std::memcpy(e.inlineData, inlineBytes.data(),
                    std::min(inlineBytes.size(), sizeof e.inlineData));
    e.extraData = extraData;
    return *this;
}

EventList& EventList::addFloat(gmpi::int32 time, gmpi::int32 pinId, float value) {
    return addBytes(time, gmpi::EventPinValue, pinId, &value, sizeof value);
}

EventList& EventList::addInt(gmpi::int32 time, gmpi::int32 pinId, gmpi::int32 value) {
    return addBytes(time, gmpi::EventPinValue, pinId, &value, sizeof value);
}

EventList& EventList::addBool(gmpi::int32 time, gmpi::int32 pinId, bool value) {
    const std::uint8_t byte = value ? 1 : 0;
    return addBytes(time, gmpi::EventPinValue, pinId, &byte, 1);
}

EventList& EventList::addText(gmpi::int32 time, gmpi::int32 pinId, std::u16string_view text) {
    return addBytes(time, gmpi::EventPinValue, pinId, text.data(),
                    static_cast<gmpi::int32>(text.size() * sizeof(char16_t)));
}

EventList& EventList::addBlob(gmpi::int32 time, gmpi::int32 pinId,
                              std::span<const std::uint8_t> bytes) {
    return addBytes(time, gmpi::EventPinValue, pinId, bytes.data(),
                    static_cast<gmpi::int32>(bytes.size()));
}

EventList& EventList::addMidi(gmpi::int32 time, gmpi::int32 pinId,
                              std::span<const std::uint8_t> bytes) {
    return addBytes(time, gmpi::EventMidi, pinId, bytes.data(),
                    static_cast<gmpi::int32>(bytes.size()));
}

EventList& EventList::addStreamingStart(gmpi::int32 time, gmpi::int32 pinId) {
    return addBytes(time, gmpi::EventStreamingStart, pinId, nullptr, 0);
}

EventList& EventList::addStreamingStop(gmpi::int32 time, gmpi::int32 pinId) {
    return addBytes(time, gmpi::EventStreamingStop, pinId, nullptr, 0);
}

EventList& EventList::addGraphStart(gmpi::int32 time) {
    return addBytes(time, gmpi::EventGraphStart, -1, nullptr, 0);
}

void EventList::clear() {
    order_.clear();
    storage_.clear();
    extra_.clear();
}

} // namespace zrhost
