// A bounded single-producer/single-consumer queue of audio blocks for live playback: the render
// thread fills blocks of interleaved samples, the audio callback reads them. Both sides are
// lock-free and wait-free; every block is allocated up front, so neither side allocates.
//
// Threads: exactly one producer thread (writeSlot/publish) and one consumer thread
// (front/pop). Construction and destruction happen while neither runs.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zrhost {

class BlockQueue {
  public:
    struct Block {
        std::vector<float> samples; // blockFrames × channels, interleaved
        int frames = 0;             // how many of them hold audio
    };

    BlockQueue(int channels, int blockFrames, int capacity)
        : channels_(channels), blockFrames_(blockFrames),
          blocks_(static_cast<std::size_t>(capacity < 1 ? 1 : capacity)) {
        for (auto& b : blocks_)
            b.samples.assign(
                static_cast<std::size_t>(channels) * static_cast<std::size_t>(blockFrames), 0.0f);
    }

    int channels() const { return channels_; }
    int blockFrames() const { return blockFrames_; }
    int capacity() const { return static_cast<int>(blocks_.size()); }

    // Producer: the next free block's samples, or null when the queue is full.
    float* writeSlot() {
        const std::uint64_t w = written_.load(std::memory_order_relaxed);
        if (w - read_.load(std::memory_order_acquire) >= blocks_.size()) return nullptr;
        return blocks_[w % blocks_.size()].samples.data();
    }
    // Producer: hands the block from writeSlot() to the consumer with `frames` frames in it.
    void publish(int frames) {
        const std::uint64_t w = written_.load(std::memory_order_relaxed);
        blocks_[w % blocks_.size()].frames = frames;
        written_.store(w + 1, std::memory_order_release);
    }

    // Consumer: the oldest published block, or null when there is none.
    const Block* front() const {
        const std::uint64_t r = read_.load(std::memory_order_relaxed);
        if (r == written_.load(std::memory_order_acquire)) return nullptr;
        return &blocks_[r % blocks_.size()];
    }
    // Consumer: gives the front block back to the producer.
    void pop() {
        read_.store(read_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    // Either side: blocks published and not yet popped (a snapshot).
    int size() const {
        // The read count first: it never passes the write count read after it.
        const std::uint64_t r = read_.load(std::memory_order_acquire);
        return static_cast<int>(written_.load(std::memory_order_acquire) - r);
    }

  private:
    int channels_, blockFrames_;
    std::vector<Block> blocks_;
    // Counters that only grow (64 bits do not wrap in any playing time); each on a cache line
    // of its own so that the two threads do not share one.
    alignas(64) std::atomic<std::uint64_t> written_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
};

} // namespace zrhost
