// Watches the audio thread while a module's process runs: the validator arms the watch around
// each process call, and allocator and lock hooks (built into a checking host only) report to
// it. Without hooks the watch sees nothing and every check of it passes.
//
// Threads: arm/disarm on the audio thread; the note functions from any thread (they count only
// on an armed thread). Nothing here allocates or locks, so the hooks may call it freely.
#pragma once

namespace zrvalidate {

// Marks the calling thread as running a module's process (or not).
void armAudioThreadWatch() noexcept;
void disarmAudioThreadWatch() noexcept;
// Whether the calling thread is inside an armed process call.
bool audioThreadWatchArmed() noexcept;

// Called by the hooks with the name of the hooked function (a string literal).
void noteAudioThreadAllocation(const char* function) noexcept;
void noteAudioThreadLock(const char* function) noexcept;

// Whether hooks are linked into this program (set once by the program that has them).
void setAudioThreadHooksInstalled() noexcept;
bool audioThreadHooksInstalled() noexcept;

// The first allocator call and the first lock since the last reset (null: none).
const char* firstAudioThreadAllocation() noexcept;
const char* firstAudioThreadLock() noexcept;
void resetAudioThreadWatch() noexcept;

// Arms the watch for one scope.
class AudioThreadScope {
  public:
    AudioThreadScope() noexcept { armAudioThreadWatch(); }
    ~AudioThreadScope() { disarmAudioThreadWatch(); }
    AudioThreadScope(const AudioThreadScope&) = delete;
    AudioThreadScope& operator=(const AudioThreadScope&) = delete;
};

} // namespace zrvalidate
