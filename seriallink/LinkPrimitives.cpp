#include "seriallink/LinkPrimitives.h"

#include "seriallink/LinkTexts.h"

namespace {
constexpr qint64 MsPerDay = 24LL * 3600 * 1000;
}

void TLink::ProcessPendingMessages()
{
    Surface.ProcessPendingMessages();
}

void TLink::PumpWait(int ms)
{
    try {
        const TWallTime begin = Clock.WallClock();
        const qint64 start = begin.MsSinceMidnight;
        const qint64 end = start + ms;
        if (end <= start)
            return;
        for (;;) {
            const TWallTime t = Clock.WallClock();
            const qint64 now = t.MsSinceMidnight + (t.DayOfMonth != begin.DayOfMonth ? MsPerDay : 0);
            ProcessPendingMessages();
            if (State.StopRequested)
                return;
            if (now >= end)
                return;
            Clock.WaitForActivity(end - now);
        }
    } catch (...) {
    }
}

void TLink::ShowStatus(const QString &text, int seconds)
{
    try {
        Surface.SetStatusText(text);
    } catch (...) {
    }
    if (seconds > 0)
        PumpWait(seconds * 1000);
}

bool TLink::SendChar(int ch)
{
    return SendText(QByteArray(1, char(ch & 0xFF)));
}

bool TLink::SendText(const QByteArray &text)
{
    // A write cut short by the write time-out did not deliver the line or block: only a
    // complete write counts as sent.
    try {
        if (text.isEmpty())
            return false;
        return ComPort.WriteBytes(text) == text.size();
    } catch (...) {
        return false;
    }
}

QByteArray TLink::ReceiveChar(int seconds, bool *timedOut)
{
    if (timedOut)
        *timedOut = false;
    try {
        const qint64 start = Clock.TickCount();
        const qint64 limit = qint64(seconds) * 1000;
        for (;;) {
            QByteArray text;
            if (ComPort.ReadBytes(text, 1) == 1)
                return text.left(1);
            const qint64 elapsed = Clock.TickCount() - start;
            if (elapsed > limit) {
                if (timedOut)
                    *timedOut = true;
                return QByteArrayLiteral("t");
            }
            ProcessPendingMessages();
            if (State.StopRequested) {
                if (Surface.AskYesNo(LinkTexts::StopPromptText, LinkTexts::StopPromptTitle)) {
                    ShowStatus(LinkTexts::UserStopped, 0);
                    return QByteArrayLiteral("s");
                }
                State.StopRequested = false;
                continue;
            }
            // Handling the window's events may have moved a byte from the line into the port's
            // own buffer, where the sleep below cannot see it: it would lie there until the
            // deadline. Look once more before sleeping.
            if (ComPort.ReadBytes(text, 1) == 1)
                return text.left(1);
            // Sleep until a byte, a click or the deadline (one tick past the limit, since the
            // time-out is reached only when strictly exceeded); a port that cannot wake the
            // sleep when a byte comes is looked at again every few milliseconds.
            qint64 sleep = limit - (Clock.TickCount() - start) + 1;
            if (const int poll = ComPort.ReceivePollMs(); poll > 0)
                sleep = qMin<qint64>(sleep, poll);
            Clock.WaitForActivity(sleep);
        }
    } catch (...) {
        PortFailed = true;
        State.StopRequested = true;
        return QByteArrayLiteral("s");
    }
}

bool TLink::ProbePort(const QString &name)
{
    try {
        ComPort.SetPort(name);
        ComPort.OpenPort(TCustomComPort::TOpenPurpose::Probe);
        ComPort.ClosePort();
        return true;
    } catch (...) {
        try {
            ComPort.ClosePort();
        } catch (...) {
        }
        return false;
    }
}

bool TLink::ProbeSelectedPort()
{
    return ProbePort(ComPort.Port());
}
