// Reading a whole regular file by its UTF-16 name without waiting on anything: FIFOs, devices
// and folders are refused before they are opened, so a module may read a file on the audio
// thread without hanging on a name that turns out not to be a file. No allocation.
#pragma once

#include <cstdint>

namespace gmpi::platform {

class ReadOnlyFile {
  public:
    // Longest name taken, in UTF-16 code units with the terminator; longer names open nothing.
    static constexpr int kMaxPath = 260;

    // Opens `path` (null-terminated) when it names a regular file.
    explicit ReadOnlyFile(const char16_t* path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return open_; }
    // The file's length in bytes when it was opened.
    std::int64_t size() const { return size_; }
    // Reads the next `bytes` bytes into `data`; returns how many it read (fewer at the end of
    // the file or on an error).
    std::int64_t read(void* data, std::int64_t bytes);

  private:
    bool open_ = false;
    std::int64_t size_ = 0;
    std::intptr_t handle_ = -1;
};

} // namespace gmpi::platform
