// The audio callback's side of live playback: blocks of interleaved samples copied out into
// the server's per-channel buffers, silence where the queue runs short.
#include "tools/zrhost/play_stream.h"

#include <algorithm>
#include <chrono>

namespace zrhost {

void PlayStream::fill(float* const* outs, int frames) noexcept {
    const auto start = std::chrono::steady_clock::now();
    // Read before looking at the queue: once finished, every block is visible to front().
    const bool finished = finished_.load(std::memory_order_acquire);
    const int channels = queue_.channels();
    int done = 0;
    while (done < frames) {
        const BlockQueue::Block* block = queue_.front();
        if (!block) break;
        const int n = std::min(frames - done, block->frames - offset_);
        const float* from = block->samples.data() + static_cast<std::size_t>(offset_) * channels;
        for (int c = 0; c < channels; ++c) {
            float* to = outs[c] + done;
            for (int i = 0; i < n; ++i)
                to[i] = from[i * channels + c];
        }
        done += n;
        offset_ += n;
        if (offset_ >= block->frames) {
            queue_.pop();
            offset_ = 0;
        }
    }
    if (done < frames) {
        for (int c = 0; c < channels; ++c)
            std::fill(outs[c] + done, outs[c] + frames, 0.0f);
        if (finished)
            drained_.store(true, std::memory_order_release);
        else
            underruns_.store(underruns_.load(std::memory_order_relaxed) + 1,
                             std::memory_order_relaxed);
    }
    frames_.store(frames_.load(std::memory_order_relaxed) + done, std::memory_order_relaxed);
    callbacks_.store(callbacks_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    const std::int64_t took = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
    if (took > worst_.load(std::memory_order_relaxed))
        worst_.store(took, std::memory_order_relaxed);
}

PlayStats PlayStream::stats() const {
    PlayStats s;
    s.frames = frames_.load(std::memory_order_relaxed);
    s.callbacks = callbacks_.load(std::memory_order_relaxed);
    s.underruns = underruns_.load(std::memory_order_relaxed);
    s.worstNanoseconds = worst_.load(std::memory_order_relaxed);
    return s;
}

} // namespace zrhost
