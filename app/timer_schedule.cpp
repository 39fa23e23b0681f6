#include "app/timer_schedule.h"

TimerSchedule::~TimerSchedule() {
    for (auto& e : entries)
        if (e.timer) {
            e.timer->onSchedule = nullptr;
            e.timer->onRelease = nullptr;
        }
}

void TimerSchedule::add(TTimer& timer) {
    entries.push_back({&timer});
    timer.onSchedule = [this](TTimer& t) { schedule(t); };
    timer.onRelease = [this](TTimer& t) { remove(t); };
    schedule(timer);
}

void TimerSchedule::remove(TTimer& timer) {
    timer.onSchedule = nullptr;
    timer.onRelease = nullptr;
    for (auto& e : entries)
        if (e.timer == &timer) e.timer = nullptr;
}

void TimerSchedule::schedule(TTimer& timer) {
    for (auto& e : entries) {
        if (e.timer != &timer) continue;
        bool active = timer.Enabled && timer.Interval > 0;
        if (active && (!e.scheduled || e.interval != timer.Interval)) {
            e.scheduled = true;
            e.interval = timer.Interval;
            e.due = clock_() + static_cast<uint64_t>(e.interval);
        } else if (!active) {
            e.scheduled = false;
        }
    }
}

void TimerSchedule::runTick(TTimer& timer) {
    for (auto& e : entries) {
        if (e.timer != &timer) continue;
        if (e.running) return;
        e.running = true;
        ++e.ticks;
        break;
    }
    if (timer.OnTimer) timer.OnTimer();
    for (auto& e : entries)
        if (e.timer == &timer) e.running = false;
}
