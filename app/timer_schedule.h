// The window's timers as a host keeps them when it drives them itself (the
// command line on the real clock, the tests on virtual time): whether each
// runs and when it is next due. Only a change of Enabled or Interval
// restarts an interval; a tick is never entered a second time.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "app/controls.h"

class TimerSchedule {
public:
    struct Entry {
        TTimer* timer = nullptr;  // null once the timer is gone
        bool scheduled = false;
        int interval = 0;
        uint64_t due = 0;
        bool running = false;
        int ticks = 0;
    };

    explicit TimerSchedule(std::function<uint64_t()> clock) : clock_(std::move(clock)) {}
    ~TimerSchedule();
    TimerSchedule(const TimerSchedule&) = delete;
    TimerSchedule& operator=(const TimerSchedule&) = delete;

    void add(TTimer& timer);
    void remove(TTimer& timer);
    // One tick of `timer` unless it is already ticking; the handler may add
    // timers, so entries are looked up again afterwards.
    void runTick(TTimer& timer);

    std::vector<Entry> entries;

private:
    void schedule(TTimer& timer);
    std::function<uint64_t()> clock_;
};
