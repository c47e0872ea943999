// The timed events of one block, as handed to IMpPlugin::process.
//
// Events are kept linked in time order; events with equal times keep the order in which they
// were added. Values of up to 8 bytes travel in `inlineData`, longer ones in `extraData`, whose
// bytes the list owns. Times are not checked against the block size, so that tests can craft
// bad input.
//
// Threads: build and read on one thread (normally the audio thread, between process calls).
// Ownership: the list owns every event and every value byte; pointers from first() stay valid
// until the list is changed, cleared or destroyed.
#pragma once

#include "framework/mp_interfaces.h"

#include <cstdint>
#include <deque>
#include <span>
#include <string_view>
#include <vector>

namespace zrhost {

class alignas(64) EventList {
  public:
    EventList() = default;
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;

    // Pin values (EventPinValue), in their boundary byte form.
    EventList& addFloat(gmpi::int32 time, gmpi::int32 pinId, float value);
    EventList& addInt(gmpi::int32 time, gmpi::int32 pinId, gmpi::int32 value);
    EventList& addBool(gmpi::int32 time, gmpi::int32 pinId, bool value); // 1 byte
    EventList& addText(gmpi::int32 time, gmpi::int32 pinId, std::u16string_view text);
    EventList& addBlob(gmpi::int32 time, gmpi::int32 pinId, std::span<const std::uint8_t> bytes);
    // A MIDI message (EventMidi).
    EventList& addMidi(gmpi::int32 time, gmpi::int32 pinId, std::span<const std::uint8_t> bytes);
    EventList& addStreamingStart(gmpi::int32 time, gmpi::int32 pinId);
    EventList& addStreamingStop(gmpi::int32 time, gmpi::int32 pinId);
    EventList& addGraphStart(gmpi::int32 time = 0);

    // Any event type with the given bytes, placed inline or in owned extra data by size.
    EventList& addBytes(gmpi::int32 time, gmpi::int32 type, gmpi::int32 pinId, const void* data,
                        gmpi::int32 size);

    // An event exactly as given, for bad-input tests: `size` is stored unchecked, up to 8 bytes
    // of `inlineBytes` are copied into inlineData (the rest zero), and `extraData` is stored as
    // is (not owned, not copied; it must outlive the use of the list).
    EventList& addRaw(gmpi::int32 time, gmpi::int32 type, gmpi::int32 pinId, gmpi::int32 size,
                      std::span<const std::uint8_t> inlineBytes, const char* extraData = nullptr);

    // First event in time order, or null when empty.
    const gmpi::MpEvent* first() const { return order_.empty() ? nullptr : order_.front(); }
    // Events in time order.
    const std::vector<gmpi::MpEvent*>& events() const { return order_; }
    bool empty() const { return order_.empty(); }
    std::size_t size() const { return order_.size(); }
    void clear();

  private:
    gmpi::MpEvent& insert(gmpi::int32 time, gmpi::int32 type, gmpi::int32 pinId);

    std::vector<gmpi::MpEvent*> order_; // first: an empty list is read in one cache line
    std::deque<gmpi::MpEvent> storage_; // stable addresses
    std::deque<std::vector<char>> extra_;
};

} // namespace zrhost
