#pragma once

#include <QList>
#include <QMap>
#include <functional>

#include "seriallink/ComPort.h"
#include "unitsim/UnitModel.h"
#include "unitsim/VirtualClock.h"

// A serial port wired straight to a simulated unit on virtual time. Bytes written reach the
// unit at once; its answers arrive in the receive queue when the virtual clock reaches them.
// Test knobs make opens, writes and reads fail, and list ports by name.
class TInProcessPort : public TCustomComPort, public TUnitLine {
public:
    TInProcessPort(TVirtualClock &clock, TUnitModel *unit = nullptr);

    void SetUnit(TUnitModel *unit);

    int WriteBytes(const QByteArray &text) override;
    int ReadBytes(QByteArray &text, int n) override;
    void PurgeQueues(bool input, bool output) override;
    void ListSerialPorts(QStringList &list) override;

    TPortFacts DescribePort(const QString &name) const override { return Facts.value(name); }
    std::optional<TPortHolder> FindPortHolder(const QString &name) const override;

    void SendToHost(const QByteArray &bytes, qint64 delayMs) override;
    void HangUp(qint64 delayMs) override;

    // --- test knobs ---
    QStringList PortNames;            // what ListSerialPorts lists (sorted on the way out)
    QStringList BusyPorts;            // names whose open fails with code 1 (held elsewhere)
    QStringList DeniedPorts;          // names whose open fails with code 1 (no permission)
    QMap<QString, TPortFacts> Facts;  // what DescribePort tells of a name
    QMap<QString, TPortHolder> Holders; // what FindPortHolder tells of a name
    bool ListFails = false;           // ListSerialPorts raises code 23
    bool ReadFails = false;           // ReadBytes raises code 3
    bool LineCut = false;             // the far end is gone: reads raise code 3, writes code 2
    // Called for each write: return the count to report (fewer than the size cuts the write
    // short), or -1 to raise code 2. Unset: every write succeeds whole.
    std::function<int(const QByteArray &)> WriteFault;

    // --- what happened ---
    QList<QByteArray> Writes;         // each WriteBytes call's bytes, in order
    QList<int> OpenBitRates;          // bit rate of each successful open
    int OpenCount = 0;
    int CloseCount = 0;
    int PurgeCount = 0;
    QByteArray PendingInput() const { return rx_; }

protected:
    bool IsAccessDenial(const EComPort &error) const override;
    void DoOpen() override;
    void DoClose() override;
    void DoApplyBaudRate() override {}

private:
    TVirtualClock &clock_;
    TUnitModel *unit_;
    QByteArray rx_;
};
