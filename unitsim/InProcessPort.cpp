#include "unitsim/InProcessPort.h"

#include <cerrno>

TInProcessPort::TInProcessPort(TVirtualClock &clock, TUnitModel *unit) : clock_(clock), unit_(nullptr)
{
    SetUnit(unit);
}

void TInProcessPort::SetUnit(TUnitModel *unit)
{
    unit_ = unit;
    if (unit_)
        unit_->AttachLine(this);
}

std::optional<TPortHolder> TInProcessPort::FindPortHolder(const QString &name) const
{
    const auto found = Holders.constFind(name);
    if (found == Holders.constEnd())
        return std::nullopt;
    return *found;
}

bool TInProcessPort::IsAccessDenial(const EComPort &error) const
{
    return error.WinCode() == EACCES;
}

void TInProcessPort::DoOpen()
{
    if (BusyPorts.contains(Port()))
        throw EComPort(CE_OpenFailed, EBUSY);
    if (DeniedPorts.contains(Port()))
        throw EComPort(CE_OpenFailed, EACCES);
    rx_.clear();
    ++OpenCount;
    OpenBitRates.append(BitsPerSecond());
}

void TInProcessPort::DoClose()
{
    rx_.clear();
    ++CloseCount;
}

int TInProcessPort::WriteBytes(const QByteArray &text)
{
    if (!Connected())
        throw EComPort(CE_WriteFailed, EBADF);
    if (LineCut)
        throw EComPort(CE_WriteFailed, EIO);
    if (text.isEmpty())
        return 0;
    int count = int(text.size());
    if (WriteFault) {
        count = WriteFault(text);
        if (count < 0)
            throw EComPort(CE_WriteFailed, EIO);
        if (count > text.size())
            count = int(text.size());
    }
    const QByteArray sent = text.left(count);
    Writes.append(sent);
    if (unit_ && !sent.isEmpty())
        unit_->FromHost(sent);
    return count;
}

int TInProcessPort::ReadBytes(QByteArray &text, int n)
{
    if (!Connected() || ReadFails)
        throw EComPort(CE_ReadFailed, Connected() ? EIO : EBADF);
    clock_.RunDueEvents();
    // What arrived before the line went is read first.
    if (LineCut && rx_.isEmpty())
        throw EComPort(CE_ReadFailed, EIO);
    const int take = int(qMin<qsizetype>(qMax(n, 0), rx_.size()));
    text = rx_.left(take);
    rx_.remove(0, take);
    return take;
}

void TInProcessPort::PurgeQueues(bool input, bool)
{
    if (!Connected())
        throw EComPort(CE_PurgeFailed, EBADF);
    ++PurgeCount;
    if (input)
        rx_.clear();
}

void TInProcessPort::ListSerialPorts(QStringList &list)
{
    if (ListFails)
        throw EComPort(CE_RegError, ENOENT);
    list = PortNames;
    SortPortNames(list);
}

void TInProcessPort::SendToHost(const QByteArray &bytes, qint64 delayMs)
{
    clock_.ScheduleIn(delayMs, [this, bytes] {
        if (Connected())
            rx_.append(bytes);
    });
}

void TInProcessPort::HangUp(qint64 delayMs)
{
    clock_.ScheduleIn(delayMs, [this] { LineCut = true; });
}
