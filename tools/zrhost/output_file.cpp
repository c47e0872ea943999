// Output files written whole through a temporary file, or in place for targets that are not
// regular files; the list of temporary files a signal handler removes before the program ends.
#include "tools/zrhost/output_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zrhost {

namespace {

namespace fs = std::filesystem;

// Temporary files not yet committed, in storage the signal handler can read without
// allocating. A slot's path is complete before `armed` is set and stays until it is cleared.
struct PendingFile {
    volatile std::sig_atomic_t armed = 0;
    char path[4096] = {};
};
constexpr int kPendingSlots = 16;
constexpr int kStoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};
PendingFile pending[kPendingSlots];

int armPending(const fs::path& path) {
    const std::string text = path.string();
    if (text.size() >= sizeof(PendingFile::path)) return -1;
    for (int i = 0; i < kPendingSlots; ++i) {
        if (pending[i].armed) continue;
        std::memcpy(pending[i].path, text.c_str(), text.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        pending[i].armed = 1;
        return i;
    }
    return -1; // more files at once than slots: that one is not removed on a signal
}

void disarmPending(int slot) {
    if (slot >= 0) pending[slot].armed = 0;
}

extern "C" void removePendingAndExit(int signal) {
    for (auto& p : pending)
        if (p.armed) ::unlink(p.path);
    ::_exit(128 + signal);
}

// Follows symbolic links (also dangling ones) to the name that finally holds the data.
fs::path followLinks(fs::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(path, ec)) break;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

std::string reason() {
    return std::strerror(errno);
}

} // namespace

void removeTemporariesOnSignals() {
    struct sigaction action {};
    action.sa_handler = removePendingAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : kStoppingSignals)
        ::sigaction(signal, &action, nullptr);
}

OutputFile::OutputFile(fs::path target) : target_(std::move(target)) {
    if (target_ == kStandardOutput) {
        fd_ = ::dup(STDOUT_FILENO);
        if (fd_ < 0) throw OutputError("standard output: cannot write: " + reason());
        inPlace_ = true;
        writePath_ = target_;
        return;
    }
    // stat follows every link, also the kernel's own ones such as /dev/stdout.
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) throw OutputError(target_.string() + ": is a folder");
        openInPlace(target_);
    } else {
        openTemporary(followLinks(target_));
    }
}

void OutputFile::openInPlace(const fs::path& path) {
    // A FIFO blocks here until a reader opens it, as it does for any program writing to one.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) throw OutputError(target_.string() + ": cannot write: " + reason());
    inPlace_ = true;
    writePath_ = path;
}

void OutputFile::openTemporary(const fs::path& resolved) {
    final_ = resolved;
    fs::path folder = resolved.parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ("." + resolved.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // A signal between creating the file and listing it would leave the file behind, so the
    // signals wait until it is listed.
    sigset_t stopping, previous;
    sigemptyset(&stopping);
    for (int signal : kStoppingSignals)
        sigaddset(&stopping, signal);
    ::pthread_sigmask(SIG_BLOCK, &stopping, &previous);
    fd_ = ::mkstemp(name.data());
    const int error = errno;
    if (fd_ >= 0) slot_ = armPending(name.data());
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    if (fd_ < 0) throw OutputError(target_.string() + ": cannot create the file: " + reason());
    writePath_ = name.data();
    // mkstemp makes the file private; the output gets the permissions a new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !inPlace_) {
        std::error_code ignored;
        fs::remove(writePath_, ignored);
    }
    disarmPending(slot_);
}

int OutputFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void OutputFile::commit() {
    if (fd_ >= 0) {
        const int result = ::close(fd_);
        fd_ = -1;
        if (result != 0)
            throw OutputError(target_.string() + ": cannot write the file: " + reason());
    }
    if (!inPlace_) {
        std::error_code ec;
        fs::rename(writePath_, final_, ec);
        if (ec) throw OutputError(target_.string() + ": cannot write the file: " + ec.message());
    }
    committed_ = true;
    disarmPending(slot_);
    slot_ = -1;
}

} // namespace zrhost
