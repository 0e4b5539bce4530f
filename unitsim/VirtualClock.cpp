#include "unitsim/VirtualClock.h"

TVirtualClock::TVirtualClock(qint64 startMsSinceMidnight, int dayOfMonth)
    : startMs_(startMsSinceMidnight), startDay_(dayOfMonth)
{
}

TWallTime TVirtualClock::WallClock()
{
    constexpr qint64 day = 24LL * 3600 * 1000;
    const qint64 total = startMs_ + now_;
    TWallTime t;
    t.MsSinceMidnight = total % day;
    t.DayOfMonth = int((startDay_ - 1 + total / day) % 31) + 1;
    return t;
}

void TVirtualClock::ScheduleAt(qint64 atTick, std::function<void()> fn)
{
    events_.emplace(atTick, std::move(fn));
}

void TVirtualClock::RunDueEvents()
{
    while (!events_.empty() && events_.begin()->first <= now_) {
        auto fn = std::move(events_.begin()->second);
        events_.erase(events_.begin());
        fn();
    }
}

void TVirtualClock::WaitForActivity(qint64 maxMs)
{
    RunDueEvents();
    if (maxMs <= 0)
        return;
    const qint64 deadline = now_ + maxMs;
    if (!events_.empty() && events_.begin()->first <= deadline) {
        if (events_.begin()->first > now_)
            now_ = events_.begin()->first;
        RunDueEvents();
    } else {
        now_ = deadline;
    }
}

void TVirtualClock::Advance(qint64 ms)
{
    const qint64 deadline = now_ + ms;
    while (!events_.empty() && events_.begin()->first <= deadline) {
        if (events_.begin()->first > now_)
            now_ = events_.begin()->first;
        RunDueEvents();
    }
    now_ = deadline;
}
