#include "seriallink/LinkClock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
QElapsedTimer &Ticks()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}
} // namespace

TSystemClock::TSystemClock()
{
    Ticks();
}

qint64 TSystemClock::TickCount()
{
    return Ticks().elapsed();
}

TWallTime TSystemClock::WallClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    TWallTime t;
    t.MsSinceMidnight = now.time().msecsSinceStartOfDay();
    t.DayOfMonth = now.date().day();
    return t;
}

void TSystemClock::WaitForActivity(qint64 maxMs)
{
    if (maxMs <= 0)
        return;
    // Sleep in the event loop: window input, the serial port's read notifier or the deadline
    // timer wakes it. Whatever woke it is handled here, as a pass of ProcessPendingMessages
    // would.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(int(qMin<qint64>(maxMs, 24LL * 3600 * 1000)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
