// The framework's platform layer under threads: the shared GUI timer ticked on one thread while
// clients come and go on another, and two threads painting with pens and brushes of their own.
// Run under the sanitize preset, a race here is also a report.
#include "framework/platform/gdi.h"
#include "framework/platform/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

// A client that knows when it is ticked after its own destructor began.
class Client final : public gmpi::TimerClient {
  public:
    Client() { startTimer(); }
    ~Client() override {
        stopTimer();
        alive_.store(false);
        // What a real client tears down takes a while: time for a tick to come by.
        for (int i = 0; i < 20; ++i)
            std::this_thread::yield();
    }
    bool onTimer() override {
        if (!alive_.load()) std::abort();
        return true;
    }

  private:
    std::atomic<bool> alive_{true};
};

} // namespace

TEST(FrameworkPlatformThreads, TimerNeverTicksALeavingClient) {
    std::atomic<bool> done{false};
    std::thread ticker([&] {
        while (!done.load())
            gmpi::sharedTimerTick();
    });
    for (int i = 0; i < 5000; ++i)
        Client client;
    done.store(true);
    ticker.join();
    EXPECT_EQ(gmpi::sharedTimerRunningInterval(), 0); // the last client stopped the timer
}

#if !defined(_WIN32)
TEST(FrameworkPlatformThreads, TwoThreadsPaintWithTheirOwnPens) {
    constexpr int kSize = 16;
    const auto paint = [](zrgdi::COLORREF color, std::vector<std::uint32_t>& pixels) {
        MpSoftSurface surface{kSize, kSize, kSize, pixels.data()};
        for (int round = 0; round < 3000; ++round) {
            zrgdi::DeviceContext dc(&surface);
            // Many objects at once, so that the registry grows and shrinks while the other
            // thread looks its own objects up.
            std::vector<zrgdi::HPEN> spare;
            for (int i = 0; i < 32; ++i)
                spare.push_back(zrgdi::CreatePen(zrgdi::kPenSolid, 1, color));
            const zrgdi::HPEN pen = zrgdi::CreatePen(zrgdi::kPenSolid, 1, color);
            const zrgdi::HBRUSH brush = zrgdi::CreateSolidBrush(color);
            const zrgdi::RECT all{0, 0, kSize, kSize};
            zrgdi::FillRect(dc.get(), &all, brush);
            const zrgdi::HGDIOBJ old = zrgdi::SelectObject(dc.get(), pen);
            zrgdi::MoveToEx(dc.get(), 0, 0, nullptr);
            zrgdi::LineTo(dc.get(), kSize, kSize);
            zrgdi::SelectObject(dc.get(), old);
            zrgdi::DeleteObject(pen);
            zrgdi::DeleteObject(brush);
            for (zrgdi::HPEN p : spare)
                zrgdi::DeleteObject(p);
        }
    };
    std::vector<std::uint32_t> a(kSize * kSize), b(kSize * kSize);
    std::thread other([&] { paint(zrgdi::rgb(0, 0, 255), b); });
    paint(zrgdi::rgb(255, 0, 0), a);
    other.join();
    // Each surface holds only its own colour: every call found its own objects.
    for (int i = 0; i < kSize * kSize; ++i) {
        EXPECT_EQ(a[static_cast<std::size_t>(i)], zrgdi::rgb(255, 0, 0));
        EXPECT_EQ(b[static_cast<std::size_t>(i)], zrgdi::rgb(0, 0, 255));
    }
}
#endif
