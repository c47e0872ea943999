// The shared GUI timer: one process-wide periodic tick (50 ms unless a module sets another
// interval) delivered to every registered client in registration order. On Windows it is a
// thread timer without window (SetTimer/KillTimer); elsewhere a software timer that the host
// drives through the exported ZrTimerInterval/ZrTimerTick. Meant for the user-interface
// thread; the client list is locked all the same, so that a host ticking from another thread
// meets a consistent list and a client leaving waits for a tick that is calling it.
#pragma once

#include "framework/mp_interfaces.h"

namespace gmpi {

class TimerClient {
  public:
    TimerClient() = default;
    TimerClient(const TimerClient&) = delete;
    TimerClient& operator=(const TimerClient&) = delete;
    // Leaves the client list if stopTimer() has not (a backstop: by now the derived object is
    // gone, so a derived class calls stopTimer() first in its own destructor).
    virtual ~TimerClient();
    // Called on every tick; returning false leaves the client list.
    virtual bool onTimer() = 0;

    // Joins the client list (once); the first client starts the timer.
    void startTimer();
    // Leaves the client list, waiting for a tick that is calling onTimer on another thread;
    // the timer stops when the list becomes empty. A derived class calls this first in its
    // destructor, so that no tick reaches it half destroyed.
    void stopTimer();
    // Sets the process-wide interval and restarts a running timer with it.
    static void setTimerInterval(int32 milliseconds);
    static int32 timerInterval();
};

// Runs the shared timer procedure once (what the platform timer calls on each tick).
void sharedTimerTick();
// Milliseconds of the platform timer that is set, or 0 when none is.
int32 sharedTimerRunningInterval();

} // namespace gmpi
