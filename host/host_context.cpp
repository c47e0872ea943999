#include "host/host_context.h"

#include "host/text.h"

#include <cstring>

namespace zrhost {

SharedMemoryPool::Key SharedMemoryPool::keyOf(std::u16string_view name, float sampleRate) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &sampleRate, sizeof bits);
    return {std::u16string(name), bits};
}

gmpi::int32 SharedMemoryPool::allocate(const char16_t* name, void** returnPointer, float sampleRate,
                                       gmpi::int32 sizeBytes, gmpi::int32& needInitialise) {
    needInitialise = 0;
    if (!returnPointer) return gmpi::ResultFail;
    *returnPointer = nullptr;
    if (!name || sizeBytes < 0) return gmpi::ResultFail;

    auto [it, created] = blocks_.try_emplace(keyOf(name, sampleRate));
    Block& block = it->second;
    if (created) {
        const std::size_t units =
            (static_cast<std::size_t>(sizeBytes) + sizeof(std::max_align_t) - 1) /
            sizeof(std::max_align_t);
        block.storage.assign(units == 0 ? 1 : units, std::max_align_t{});
        std::memset(block.storage.data(), 0, block.storage.size() * sizeof(std::max_align_t));
        block.sizeBytes = static_cast<std::size_t>(sizeBytes);
        needInitialise = 1;
    } else if (static_cast<std::size_t>(sizeBytes) > block.sizeBytes) {
        return gmpi::ResultFail;
    }
    *returnPointer = block.storage.data();
    return gmpi::ResultOk;
}

std::span<const std::byte> SharedMemoryPool::find(std::u16string_view name,
                                                  float sampleRate) const {
    auto it = blocks_.find(keyOf(name, sampleRate));
    if (it == blocks_.end()) return {};
    return {reinterpret_cast<const std::byte*>(it->second.storage.data()), it->second.sizeBytes};
}

namespace {

bool isSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

bool isAbsolute(std::u16string_view path) {
    if (!path.empty() && isSeparator(path[0])) return true;
    if (path.size() >= 2 && path[1] == u':') {
        const char16_t c = path[0];
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    }
    return false;
}

} // namespace

gmpi::int32 resolveFullPath(std::u16string_view folder, const char16_t* shortName,
                            gmpi::int32 maxChars, char16_t* returnFullPath) {
    if (!returnFullPath || maxChars <= 0) return gmpi::ResultFail;
    if (!shortName) {
        returnFullPath[0] = 0;
        return gmpi::ResultFail;
    }
    const std::u16string_view name(shortName, utf16Length(shortName));
    std::u16string full;
    if (name.empty() || folder.empty() || isAbsolute(name)) {
        full = name;
    } else {
        full = folder;
        if (!isSeparator(full.back())) full += u'/';
        full += name;
    }
    if (full.size() + 1 > static_cast<std::size_t>(maxChars)) {
        returnFullPath[0] = 0;
        return gmpi::ResultFail;
    }
    std::memcpy(returnFullPath, full.data(), full.size() * sizeof(char16_t));
    returnFullPath[full.size()] = 0;
    return gmpi::ResultOk;
}

} // namespace zrhost
