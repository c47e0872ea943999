// The shared GUI timer on Windows is a thread timer without window (SetTimer/KillTimer): its
// ticks arrive as WM_TIMER messages of the user-interface thread, so they run only while that
// thread pumps messages. Driven through the test module library's GUI probe, whose pin 6
// commands the timer (1 start, 2 interval 20 ms, 3 stop after the next tick, 4 interval 50 ms)
// and whose pin 7 counts ticks.
#include <windows.h>

#include "host/gui_module.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr gmpi::int32 kCommandPin = 6;
constexpr gmpi::int32 kTicksPin = 7;

// Pumps the thread's messages for about `milliseconds` of wall time.
void pumpMessages(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    MSG message;
    while (GetTickCount64() < end) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Drops messages already queued, without running them.
void discardMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

class SystemTimer : public ::testing::Test {
  protected:
    std::unique_ptr<zrhost::ModuleLibrary> library =
        zrhost::ModuleLibrary::load(ZR_TEST_MODULE_LIBRARY_PATH);
    zrhost::HostContext context;

    std::size_t ticks(const zrhost::GuiModule& probe) const {
        return probe.intsSent(kTicksPin).size();
    }
};

TEST_F(SystemTimer, TicksOnlyWhileMessagesArePumpedAndStopsWithItsLastClient) {
    zrhost::GuiModule probe(*library, u"ZR Test Gui Probe", context);
    ASSERT_TRUE(probe.valid());
    ASSERT_EQ(probe.deliverInt(kCommandPin, 1), gmpi::ResultOk);

    // No message loop, no tick: the timer is the system's, not a thread of the library.
    Sleep(200);
    EXPECT_EQ(ticks(probe), 0u);

    // About six intervals of 50 ms; generous bounds for a loaded machine.
    pumpMessages(300);
    const std::size_t at50 = ticks(probe);
    EXPECT_GE(at50, 2u);
    EXPECT_LE(at50, 8u);
    // Ticks count up one by one from 1.
    const std::vector<gmpi::int32> sent = probe.intsSent(kTicksPin);
    for (std::size_t i = 0; i < sent.size(); ++i)
        EXPECT_EQ(sent[i], static_cast<gmpi::int32>(i + 1));

    // Stop after the next tick: exactly one more arrives, then the timer is gone.
    ASSERT_EQ(probe.deliverInt(kCommandPin, 3), gmpi::ResultOk);
    pumpMessages(300);
    EXPECT_EQ(ticks(probe), at50 + 1);
    pumpMessages(200);
    EXPECT_EQ(ticks(probe), at50 + 1);
}

TEST_F(SystemTimer, NewIntervalRestartsTheRunningTimer) {
    zrhost::GuiModule probe(*library, u"ZR Test Gui Probe", context);
    ASSERT_TRUE(probe.valid());
    ASSERT_EQ(probe.deliverInt(kCommandPin, 1), gmpi::ResultOk);
    ASSERT_EQ(probe.deliverInt(kCommandPin, 2), gmpi::ResultOk); // 20 ms
    pumpMessages(600);
    // Thirty intervals of 20 ms at best; the system's timer granularity (about 16 ms) may
    // stretch each to 32 ms (18 ticks). Clearly more than 50 ms ticks would give (12).
    EXPECT_GE(ticks(probe), 14u);
    EXPECT_LE(ticks(probe), 31u);
    ASSERT_EQ(probe.deliverInt(kCommandPin, 4), gmpi::ResultOk); // back to 50 ms
}

TEST_F(SystemTimer, DestroyingTheLastClientKillsTheTimer) {
    {
        zrhost::GuiModule probe(*library, u"ZR Test Gui Probe", context);
        ASSERT_TRUE(probe.valid());
        ASSERT_EQ(probe.deliverInt(kCommandPin, 1), gmpi::ResultOk);
        pumpMessages(120);
        EXPECT_GE(ticks(probe), 1u);
    }
    // A timer left running would keep posting WM_TIMER for a procedure with no clients.
    discardMessages();
    pumpMessages(150);
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    Sleep(120);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
}

} // namespace
