#pragma once

#include <QtGlobal>

// Local wall-clock time as the waits read it: milliseconds since midnight and the day of month.
struct TWallTime {
    qint64 MsSinceMidnight = 0;
    int DayOfMonth = 1;
};

// The clocks of the link waits. The real clock reads the system; tests use a virtual clock on
// which a scenario with a minute of protocol waits runs in milliseconds.
class TLinkClock {
public:
    virtual ~TLinkClock() = default;

    // Monotonic millisecond tick counter (receive time-outs).
    virtual qint64 TickCount() = 0;

    // Local time of day with day of month (timed waits).
    virtual TWallTime WallClock() = 0;

    // Blocks until something may have changed (window input, a byte from the serial port, a
    // timer) or until maxMs milliseconds have passed, whichever comes first. maxMs <= 0 returns
    // at once. The waits call it between their polls so that they do not spin.
    virtual void WaitForActivity(qint64 maxMs) = 0;
};

// The system's clocks; WaitForActivity sleeps in the event loop until an event arrives or the
// deadline timer fires.
class TSystemClock : public TLinkClock {
public:
    TSystemClock();
    qint64 TickCount() override;
    TWallTime WallClock() override;
    void WaitForActivity(qint64 maxMs) override;
};
