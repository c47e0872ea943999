// The checking hooks of zrhost: the allocator (malloc and its relatives, operator new and
// delete) and the mutex calls are defined here, in the executable, so that they stand in front
// of the C library's for every library the process loads, the module library included. Each
// forwards to the next definition (the C library's, or a sanitizer's) and, while a module's
// process runs on this thread (see tools/validate/audio_thread_watch.h), reports the call.
//
// dlsym may itself allocate before the real malloc is known; those few early requests are
// served from a small static arena whose blocks are never freed. Under AddressSanitizer the
// allocator belongs to the sanitizer, which offers hooks of its own: those are installed
// instead of replacing malloc.
#include "tools/validate/audio_thread_watch.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define ZR_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZR_SANITIZER_ALLOCATOR 1
#endif
#endif

#if defined(ZR_SANITIZER_ALLOCATOR)
// The sanitizer runtime's interface (declared here: GCC installs no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*,
                                                                          std::size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace {

using MutexFn = int (*)(pthread_mutex_t*);

template <class Fn>
Fn next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

void allocation(const char* what) {
    if (zrvalidate::audioThreadWatchArmed()) zrvalidate::noteAudioThreadAllocation(what);
}

} // namespace

#if defined(ZR_SANITIZER_ALLOCATOR)

namespace {

void onMalloc(const volatile void*, std::size_t) {
    allocation("an allocation (malloc)");
}
void onFree(const volatile void* p) {
    if (p) allocation("a release of memory (free)");
}

const int installed = [] {
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    zrvalidate::setAudioThreadHooksInstalled();
    return 0;
}();

} // namespace

#else

namespace {

using MallocFn = void* (*)(std::size_t);
using FreeFn = void (*)(void*);
using CallocFn = void* (*)(std::size_t, std::size_t);
using ReallocFn = void* (*)(void*, std::size_t);
using MemalignFn = void* (*)(std::size_t, std::size_t);
using PosixMemalignFn = int (*)(void**, std::size_t, std::size_t);
alignas(std::max_align_t) char arena[16384];
std::atomic<std::size_t> arenaUsed{0};

bool fromArena(const void* p) {
    return p >= arena && p < arena + sizeof arena;
}

void* arenaAlloc(std::size_t size) {
    const std::size_t rounded = (size + 15) & ~std::size_t{15};
    const std::size_t at = arenaUsed.fetch_add(rounded);
    if (at + rounded > sizeof arena) return nullptr;
    return arena + at;
}

thread_local bool resolving = false;

struct Real {
    MallocFn malloc = nullptr;
    FreeFn free = nullptr;
    CallocFn calloc = nullptr;
    ReallocFn realloc = nullptr;
    MemalignFn memalign = nullptr;
    MemalignFn alignedAlloc = nullptr;
    PosixMemalignFn posixMemalign = nullptr;
};

// The C library's functions, looked up once; null members while the lookup runs.
const Real& real() {
    static Real r = [] {
        resolving = true;
        Real x;
        x.malloc = next<MallocFn>("malloc");
        x.free = next<FreeFn>("free");
        x.calloc = next<CallocFn>("calloc");
        x.realloc = next<ReallocFn>("realloc");
        x.memalign = next<MemalignFn>("memalign");
        x.alignedAlloc = next<MemalignFn>("aligned_alloc");
        x.posixMemalign = next<PosixMemalignFn>("posix_memalign");
        resolving = false;
        zrvalidate::setAudioThreadHooksInstalled();
        return x;
    }();
    return r;
}

} // namespace

extern "C" {

void* malloc(std::size_t size) {
    if (resolving) return arenaAlloc(size);
    allocation("an allocation (malloc)");
    return real().malloc(size);
}

void free(void* p) {
    if (!p || fromArena(p)) return;
    allocation("a release of memory (free)");
    real().free(p);
}

void* calloc(std::size_t count, std::size_t size) {
    if (resolving) {
        if (size && count > sizeof arena / size) return nullptr;
        return arenaAlloc(count * size); // the arena is zero until used
    }
    allocation("an allocation (calloc)");
    return real().calloc(count, size);
}

void* realloc(void* p, std::size_t size) {
    if (resolving) return arenaAlloc(size);
    allocation("an allocation (realloc)");
    if (fromArena(p)) {
        void* q = real().malloc(size);
        if (q)
            std::memcpy(q, p,
                        std::min<std::size_t>(size, arena + sizeof arena - static_cast<char*>(p)));
        return q;
    }
    return real().realloc(p, size);
}

void* memalign(std::size_t alignment, std::size_t size) {
    allocation("an allocation (memalign)");
    return real().memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    allocation("an allocation (aligned_alloc)");
    return real().alignedAlloc(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    allocation("an allocation (posix_memalign)");
    return real().posixMemalign(out, alignment, size);
}

} // extern "C"

#endif

extern "C" {

int pthread_mutex_lock(pthread_mutex_t* m) {
    static const MutexFn lock = next<MutexFn>("pthread_mutex_lock");
    if (zrvalidate::audioThreadWatchArmed())
        zrvalidate::noteAudioThreadLock("a lock (pthread_mutex_lock)");
    return lock(m);
}

int pthread_mutex_trylock(pthread_mutex_t* m) {
    static const MutexFn trylock = next<MutexFn>("pthread_mutex_trylock");
    if (zrvalidate::audioThreadWatchArmed())
        zrvalidate::noteAudioThreadLock("a lock (pthread_mutex_trylock)");
    return trylock(m);
}

} // extern "C"

// operator new and delete reach malloc and free, but a sanitizer's versions of them do not:
// they are defined here too so that they are seen under any runtime.
void* operator new(std::size_t size) {
    allocation("an allocation (operator new)");
    const bool was = zrvalidate::audioThreadWatchArmed();
    if (was) zrvalidate::disarmAudioThreadWatch(); // one report per allocation
    void* p = std::malloc(size ? size : 1);
    if (was) zrvalidate::armAudioThreadWatch();
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
