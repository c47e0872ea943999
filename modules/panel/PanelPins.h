// Helpers of the panel utilities for the automatically duplicated bool pins ("Spare"): the
// host may add such pins at any index from 1 up, so the modules read and send their values
// directly rather than through pin objects bound in the constructor.
#pragma once

#include "framework/mp_interfaces.h"

#include <cstring>

namespace zr {

// The value of a bool received from the host: a 4-byte value is true when non-zero, any other
// size takes its first byte. False when there is no byte to take (the value is then ignored).
inline bool decodeBool(gmpi::int32 size, const void* data, bool& value) {
    if (size <= 0 || !data) return false;
    if (size == 4) {
        gmpi::int32 i;
        std::memcpy(&i, data, 4);
        value = i != 0;
    } else {
        value = *static_cast<const unsigned char*>(data) != 0;
    }
    return true;
}

// Sends a bool (1 byte, voice 0) on pin `pinId`.
inline void transmitBool(gmpi::GuiHost* host, gmpi::int32 pinId, bool value) {
    if (host) host->transmitPin(pinId, 1, &value, 0);
}

// The host's pin count, at least 0 and at most kMaxPanelPins. A count beyond any real panel
// (a broken or hostile host) would otherwise have the module send millions of values.
constexpr gmpi::int32 kMaxPanelPins = 4096;
inline gmpi::int32 hostPinCount(gmpi::GuiHost* host) {
    gmpi::int32 count = 0;
    if (!host || host->getPinCount(count) != gmpi::ResultOk) return 0;
    return count < 0 ? 0 : count > kMaxPanelPins ? kMaxPanelPins : count;
}

} // namespace zr
