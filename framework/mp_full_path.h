// File-name resolution through the host's getFullPath (AudioHost or GuiHost), into a bounded
// buffer: resolved paths are at most 260 wide characters.
#pragma once

#include "framework/mp_interfaces.h"

#include <string>
#include <string_view>

namespace gmpi {

constexpr int32 kMaxFullPath = 260;
// One spare unit, so that a host filling all kMaxFullPath units still leaves a terminated text.
using FullPathBuffer = char16_t[kMaxFullPath + 1];

// The host's resolution of `shortName`, written into `buffer` and returned as a view of it up
// to the terminator; empty when there is no host.
template <class Host>
std::u16string_view resolveFullPath(Host* host, const std::u16string& shortName,
                                    FullPathBuffer& buffer) {
    buffer[0] = 0;
    buffer[kMaxFullPath] = 0;
    if (host) host->getFullPath(shortName.c_str(), kMaxFullPath, buffer);
    return std::u16string_view(buffer);
}

} // namespace gmpi
