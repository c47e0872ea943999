// Live playback's hand-over between the render thread and the audio callback: the render thread
// fills a BlockQueue, the callback copies from it into the audio server's per-channel buffers
// and keeps count of what it delivered, of underruns and of its own worst running time.
//
// Threads: one render thread (queue().writeSlot/publish, finish), one audio thread (fill); the
// counters may be read from any thread.
#pragma once

#include "tools/zrhost/block_queue.h"

#include <atomic>
#include <cstdint>

namespace zrhost {

struct PlayStats {
    std::int64_t frames = 0;    // frames of the patch delivered
    std::int64_t callbacks = 0; // calls of fill
    std::int64_t underruns = 0; // calls that found the queue short before the patch ended
    std::int64_t worstNanoseconds = 0;
};

class PlayStream {
  public:
    PlayStream(int channels, int blockFrames, int capacity)
        : queue_(channels, blockFrames, capacity) {}

    BlockQueue& queue() { return queue_; }
    int channels() const { return queue_.channels(); }

    // Render thread: every block has been published.
    void finish() { finished_.store(true, std::memory_order_release); }
    bool finished() const { return finished_.load(std::memory_order_acquire); }

    // Audio thread: writes `frames` frames into each of channels() buffers `outs`, from the
    // queue, then silence. Silence before finish() is an underrun; after it, the end.
    // No allocation, no locks, no system calls.
    void fill(float* const* outs, int frames) noexcept;

    // The patch has ended and every frame of it has been delivered.
    bool drained() const { return drained_.load(std::memory_order_acquire); }
    PlayStats stats() const;

  private:
    BlockQueue queue_;
    int offset_ = 0; // frames of the front block already delivered (audio thread only)
    std::atomic<bool> finished_{false}, drained_{false};
    // Written by the audio thread alone; atomics so that other threads may read them.
    std::atomic<std::int64_t> frames_{0}, callbacks_{0}, underruns_{0}, worst_{0};
};

} // namespace zrhost
