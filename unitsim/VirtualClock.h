#pragma once

#include <functional>
#include <map>

#include "seriallink/LinkClock.h"

// A clock on virtual time. Waiting jumps straight to the next scheduled event (a byte from the
// simulated unit, a scripted button press) or to the deadline, so a scenario with a minute of
// protocol waits runs in microseconds. Events run inside WaitForActivity, in time order.
class TVirtualClock : public TLinkClock {
public:
    // Virtual time starts at tick 0, at the given time of day and day of month.
    explicit TVirtualClock(qint64 startMsSinceMidnight = 9 * 3600 * 1000, int dayOfMonth = 8);

    qint64 TickCount() override { return now_; }
    TWallTime WallClock() override;
    void WaitForActivity(qint64 maxMs) override;

    // Runs fn when virtual time reaches atTick (at once on the next wait when it is past).
    void ScheduleAt(qint64 atTick, std::function<void()> fn);
    void ScheduleIn(qint64 delayMs, std::function<void()> fn) { ScheduleAt(now_ + delayMs, std::move(fn)); }

    // Runs every event that is due now.
    void RunDueEvents();

    // Moves time forward by ms, running the events on the way.
    void Advance(qint64 ms);

    bool HasPendingEvents() const { return !events_.empty(); }

private:
    qint64 now_ = 0;
    qint64 startMs_;
    int startDay_;
    std::multimap<qint64, std::function<void()>> events_;
};
