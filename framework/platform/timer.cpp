// Shared GUI timer state and the platform timer underneath it.
#include "framework/platform/timer.h"
#include "framework/mp_factory.h"

#include <algorithm>
#include <mutex>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace gmpi {
namespace {

struct TimerState {
    int32 interval = 50;
    std::vector<TimerClient*> clients;
    std::uintptr_t timerId = 0;
    int32 runningInterval = 0; // interval of the platform timer that is set, 0 when none
    // Held for a whole tick; recursive because onTimer may start or stop clients.
    std::recursive_mutex lock;
};

TimerState& state() {
    // Created on first use, destroyed when the library is unloaded; every GUI object (every
    // client) has been released by then.
    static TimerState s;
    return s;
}

#if defined(_WIN32)
void CALLBACK timerProc(HWND, UINT, UINT_PTR, DWORD) {
    sharedTimerTick();
}
#endif

void killPlatformTimer() {
    TimerState& s = state();
    if (s.timerId == 0) return;
#if defined(_WIN32)
    KillTimer(nullptr, s.timerId);
#endif
    s.timerId = 0;
    s.runningInterval = 0;
}

void setPlatformTimer() {
    TimerState& s = state();
#if defined(_WIN32)
    s.timerId = SetTimer(nullptr, 0, static_cast<UINT>(s.interval), timerProc);
#else
    s.timerId = 1;
#endif
    s.runningInterval = s.timerId ? s.interval : 0;
}

void removeClient(TimerClient* client) {
    TimerState& s = state();
    const std::lock_guard<std::recursive_mutex> hold(s.lock);
    const auto it = std::find(s.clients.begin(), s.clients.end(), client);
    if (it == s.clients.end()) return;
    s.clients.erase(it);
    if (s.clients.empty()) killPlatformTimer();
}

} // namespace

TimerClient::~TimerClient() {
    removeClient(this);
}

void TimerClient::stopTimer() {
    removeClient(this);
}

void TimerClient::startTimer() {
    TimerState& s = state();
    const std::lock_guard<std::recursive_mutex> hold(s.lock);
    if (std::find(s.clients.begin(), s.clients.end(), this) != s.clients.end()) return;
    s.clients.push_back(this);
    if (s.clients.size() == 1) {
        killPlatformTimer();
        setPlatformTimer();
    }
}

void TimerClient::setTimerInterval(int32 milliseconds) {
    TimerState& s = state();
    const std::lock_guard<std::recursive_mutex> hold(s.lock);
    s.interval = milliseconds;
    killPlatformTimer();
    if (!s.clients.empty()) setPlatformTimer();
}

int32 TimerClient::timerInterval() {
    TimerState& s = state();
    const std::lock_guard<std::recursive_mutex> hold(s.lock);
    return s.interval;
}

void sharedTimerTick() {
    TimerState& s = state();
    const std::lock_guard<std::recursive_mutex> hold(s.lock);
    // A client may start or leave the list from inside onTimer: walk a snapshot and skip
    // clients that have left meanwhile.
    const std::vector<TimerClient*> snapshot = s.clients;
    for (TimerClient* client : snapshot) {
        if (std::find(s.clients.begin(), s.clients.end(), client) == s.clients.end()) continue;
        if (!client->onTimer()) removeClient(client);
    }
}

int32 sharedTimerRunningInterval() {
    TimerState& s = state();
    const std::lock_guard<std::recursive_mutex> hold(s.lock);
    return s.runningInterval;
}

} // namespace gmpi

#if !defined(_WIN32)
MP_EXPORT gmpi::int32 ZrTimerInterval() {
    return gmpi::sharedTimerRunningInterval();
}

MP_EXPORT void ZrTimerTick() {
    if (gmpi::sharedTimerRunningInterval() != 0) gmpi::sharedTimerTick();
}
#endif
