// What the scope's audio half publishes and its GUI half reads: the capture window of signed
// 8-bit samples on "Capture" and the 8-byte "Capture Info" record (window length in samples,
// then the sample rate in whole hertz, each a little-endian int32).
#pragma once

#include "framework/mp_interfaces.h"

#include <cstdint>

namespace zr::scope {

inline constexpr gmpi::int32 kCaptureBytes = 4800; // longest window, in samples
inline constexpr gmpi::int32 kShortestWindow = 11;
inline constexpr gmpi::int32 kInfoBytes = 8;

inline void writeInt32LittleEndian(char* out, gmpi::int32 v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

inline gmpi::int32 readInt32LittleEndian(const char* bytes) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return static_cast<gmpi::int32>(u);
}

} // namespace zr::scope
