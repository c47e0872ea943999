// The audio-thread watch: a thread-local flag and a few atomics. The flag is initialised
// constantly, so reading it from inside malloc never needs the allocator.
#include "tools/validate/audio_thread_watch.h"

#include <atomic>

namespace zrvalidate {

namespace {

constinit thread_local bool armed = false;
std::atomic<bool> hooksInstalled{false};
std::atomic<const char*> firstAllocation{nullptr};
std::atomic<const char*> firstLock{nullptr};

void note(std::atomic<const char*>& first, const char* what) noexcept {
    if (!armed) return;
    const char* none = nullptr;
    first.compare_exchange_strong(none, what);
}

} // namespace

void armAudioThreadWatch() noexcept {
    armed = true;
}
void disarmAudioThreadWatch() noexcept {
    armed = false;
}
bool audioThreadWatchArmed() noexcept {
    return armed;
}

void noteAudioThreadAllocation(const char* function) noexcept {
    note(firstAllocation, function);
}
void noteAudioThreadLock(const char* function) noexcept {
    note(firstLock, function);
}

void setAudioThreadHooksInstalled() noexcept {
    hooksInstalled = true;
}
bool audioThreadHooksInstalled() noexcept {
    return hooksInstalled;
}

const char* firstAudioThreadAllocation() noexcept {
    return firstAllocation.load();
}
const char* firstAudioThreadLock() noexcept {
    return firstLock.load();
}
void resetAudioThreadWatch() noexcept {
    firstAllocation = nullptr;
    firstLock = nullptr;
}

} // namespace zrvalidate
