// State that every module of one patch (or one test) shares through its host object: the
// shared-memory pool and the folder against which file names are resolved.
//
// Threads: a HostContext takes no locks. All modules of one context must call into it from one
// thread at a time (in practice: audio modules during open/process on the audio thread, GUI
// modules on the user-interface thread, never concurrently). Use one context per thread
// otherwise.
// Ownership: the context owns every shared block; blocks stay valid until reset() or the
// context's destruction, which must come after the last module using them is released.
#pragma once

#include "framework/mp_interfaces.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zrhost {

// Blocks keyed by (UTF-16 name, sample rate), zero-filled when created.
class SharedMemoryPool {
  public:
    // The AudioHost operation: returns the block for (name, sampleRate), creating it with
    // `sizeBytes` zero bytes when new. `needInitialise` is 1 only for the caller that created
    // it. A later caller asking for more bytes than the block has gets ResultFail and a null
    // pointer (handing out the smaller block would let it write past the end); null name or
    // pointer, or a negative size, also give ResultFail.
    gmpi::int32 allocate(const char16_t* name, void** returnPointer, float sampleRate,
                         gmpi::int32 sizeBytes, gmpi::int32& needInitialise);

    // Read access for tests and tools: the block's bytes, or an empty span when absent.
    std::span<const std::byte> find(std::u16string_view name, float sampleRate) const;
    std::size_t blockCount() const { return blocks_.size(); }

    // Drops every block (modules still holding pointers into them must be gone).
    void reset() { blocks_.clear(); }

  private:
    struct Block {
        std::vector<std::max_align_t> storage; // max-aligned, zero-filled
        std::size_t sizeBytes = 0;
    };
    // The sample rate is keyed by its bit pattern so that lookups are exact.
    using Key = std::pair<std::u16string, std::uint32_t>;
    static Key keyOf(std::u16string_view name, float sampleRate);

    std::map<Key, Block> blocks_;
};

// Resolves `shortName` against `folder`: shortName unchanged when absolute ("/...", "\...",
// or a drive letter "X:..."), otherwise folder + "/" + shortName (no doubled separator when the
// folder already ends with one; shortName unchanged when the folder is empty). An empty name
// resolves to the empty text. Writes at most `maxChars` code units including the terminator;
// when the result does not fit it writes the empty text (if maxChars >= 1) and returns
// ResultFail, so a truncated path never names another file.
gmpi::int32 resolveFullPath(std::u16string_view folder, const char16_t* shortName,
                            gmpi::int32 maxChars, char16_t* returnFullPath);

class HostContext {
  public:
    SharedMemoryPool& sharedMemory() { return sharedMemory_; }
    const SharedMemoryPool& sharedMemory() const { return sharedMemory_; }

    // Folder used by getFullPath of every host object of this context (UTF-16).
    void setFileFolder(std::u16string folder) { fileFolder_ = std::move(folder); }
    const std::u16string& fileFolder() const { return fileFolder_; }

    gmpi::int32 getFullPath(const char16_t* shortName, gmpi::int32 maxChars,
                            char16_t* returnFullPath) const {
        return resolveFullPath(fileFolder_, shortName, maxChars, returnFullPath);
    }

  private:
    SharedMemoryPool sharedMemory_;
    std::u16string fileFolder_;
};

} // namespace zrhost
