// Loading a module library and reaching its factory.
//
// A module library is reached only through its exported `MP_GetFactory`; off Windows it may
// also export the software GUI timer (`ZrTimerInterval`, `ZrTimerTick`) and the module catalog
// (`ZrModuleDescriptions`), which are looked up here when present.
//
// Threads: load and unload on one thread. `factory()` may be used from any thread (the factory
// is read-only after load). The timer helpers belong to the user-interface thread.
// Ownership: the ModuleLibrary owns the loaded library; every module created from it must be
// released before the ModuleLibrary is destroyed.
#pragma once

#include "framework/mp_interfaces.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace zrhost {

// Thrown when a library cannot be loaded or lacks a working MP_GetFactory.
class LoadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ModuleLibrary {
  public:
    // Loads the library at `path` (UTF-8), calls MP_GetFactory and asks the returned object for
    // IMpFactory. Throws LoadError with a readable message naming the path on any failure.
    static std::unique_ptr<ModuleLibrary> load(const std::string& path);
    // The library at `path`, loaded on first use and kept until the process ends: one load
    // shared by every test or benchmark of a program. One thread at a time.
    static ModuleLibrary& shared(const std::string& path);

    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    const std::string& path() const { return path_; }

    // The library's factory; valid while this object lives.
    gmpi::IMpFactory* factory() const { return factory_; }

    // Optional exports; null when the library does not have them (always null on Windows).
    ZrTimerIntervalFn timerIntervalFn() const { return timerInterval_; }
    ZrTimerTickFn timerTickFn() const { return timerTick_; }
    ZrModuleDescriptionsFn moduleDescriptionsFn() const { return descriptions_; }

    // GUI timer driving (user-interface thread). Interval of the timer that is set, in
    // milliseconds; 0 when none is set or the library has no software timer.
    gmpi::int32 timerInterval() const;
    // Delivers one tick when a timer is set; returns whether a tick was delivered.
    bool timerTick() const;
    // Lets `milliseconds` of wall time pass on the software timer: delivers one tick each time a
    // whole interval has elapsed, re-reading the interval after every tick (modules may change
    // or stop it). Elapsed time that does not fill an interval carries over to the next call
    // and is dropped when no timer is set. Returns the number of ticks delivered.
    int advanceTimer(int milliseconds);

    // The module catalog text (UTF-8 XML), or null when the library does not export it.
    const char* moduleDescriptions() const;

  private:
    ModuleLibrary() = default;

    std::string path_;
    void* handle_ = nullptr;
    gmpi::IMpFactory* factory_ = nullptr;
    ZrTimerIntervalFn timerInterval_ = nullptr;
    ZrTimerTickFn timerTick_ = nullptr;
    ZrModuleDescriptionsFn descriptions_ = nullptr;
    int timerCarry_ = 0;
};

} // namespace zrhost
