// Regular files read without blocking: CreateFileW on a disk file on Windows; elsewhere stat
// before open, then open with O_NONBLOCK and fstat again, so that a FIFO swapped in between
// is still refused without waiting for a writer.
#include "framework/platform/read_file.h"

#include "framework/mp_text.h"

#include <algorithm>
#include <string_view>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace gmpi::platform {

namespace {

std::size_t lengthOf(const char16_t* path) {
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(ReadOnlyFile::kMaxPath) && path[n])
        ++n;
    return n;
}

} // namespace

#if defined(_WIN32)

ReadOnlyFile::ReadOnlyFile(const char16_t* path) {
    const std::size_t length = path ? lengthOf(path) : kMaxPath;
    if (length == 0 || length >= static_cast<std::size_t>(kMaxPath)) return;
    wchar_t wide[kMaxPath];
    for (std::size_t i = 0; i < length; ++i)
        wide[i] = static_cast<wchar_t>(path[i]);
    wide[length] = 0;
    const DWORD attributes = GetFileAttributesW(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return;
    HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    size_ = size.QuadPart;
    open_ = true;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (open_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::int64_t ReadOnlyFile::read(void* data, std::int64_t bytes) {
    if (!open_) return 0;
    std::int64_t done = 0;
    auto* out = static_cast<char*>(data);
    while (done < bytes) {
        const DWORD want = static_cast<DWORD>(std::min<std::int64_t>(bytes - done, 1 << 30));
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle_), out + done, want, &got, nullptr) ||
            got == 0)
            break;
        done += got;
    }
    return done;
}

#else

ReadOnlyFile::ReadOnlyFile(const char16_t* path) {
    const std::size_t length = path ? lengthOf(path) : kMaxPath;
    if (length == 0 || length >= static_cast<std::size_t>(kMaxPath)) return;
    // At most three UTF-8 bytes per UTF-16 code unit (a surrogate pair takes four for two); an
    // unpaired surrogate becomes U+FFFD.
    char utf8[kMaxPath * 3 + 1];
    const std::u16string_view text(path, length);
    int out = 0;
    for (std::size_t i = 0; i < text.size();)
        out += gmpi::encodeUtf8(gmpi::nextCodePoint(text, i), utf8 + out);
    utf8[out] = 0;
    struct stat info;
    if (::stat(utf8, &info) != 0 || !S_ISREG(info.st_mode)) return;
    int fd = -1;
    do {
        fd = ::open(utf8, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return;
    }
    handle_ = fd;
    size_ = static_cast<std::int64_t>(info.st_size);
    open_ = true;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (open_) ::close(static_cast<int>(handle_));
}

std::int64_t ReadOnlyFile::read(void* data, std::int64_t bytes) {
    if (!open_) return 0;
    std::int64_t done = 0;
    auto* out = static_cast<char*>(data);
    while (done < bytes) {
        const ssize_t got =
            ::read(static_cast<int>(handle_), out + done, static_cast<std::size_t>(bytes - done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += got;
    }
    return done;
}

#endif

} // namespace gmpi::platform
