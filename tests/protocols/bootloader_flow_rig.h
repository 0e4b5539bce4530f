#pragma once

// A resistor monitor or a communications module on virtual time, wired to the flow that
// updates it, with an update file in a temporary folder and a recording operator surface.

#include <QFile>
#include <QMap>
#include <QPair>
#include <QTemporaryDir>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocols/FlowTexts.h"
#include "protocols/UpdateFlows.h"
#include "tests/support/RecordingSurface.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/UnitFamilies.h"
#include "unitsim/VirtualClock.h"
#include "updatefile/UnitCatalogue.h"

enum class TFlowKind { Monitor, Module };

inline std::string KindName(TFlowKind kind)
{
    return kind == TFlowKind::Monitor ? "Monitor" : "Module";
}

// An S1 record line with a correct count and checksum.
inline QByteArray S1(int address, const QByteArray &data)
{
    const int count = int(data.size()) + 3;
    int sum = count + (address >> 8) + (address & 0xFF);
    QByteArray line = "S1" + QByteArray::number(count, 16).rightJustified(2, '0') +
                      QByteArray::number(address, 16).rightJustified(4, '0');
    for (char b : data) {
        sum += quint8(b);
        line += QByteArray::number(quint8(b), 16).rightJustified(2, '0');
    }
    line += QByteArray::number((~sum) & 0xFF, 16).rightJustified(2, '0');
    return line.toUpper();
}

inline QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

inline const QByteArray HeaderLine = "S00600004844521B";
inline const QByteArray EndLine = "S9030000FC";

// The address -> byte map that a file's S1 lines (from the header to the first S9) describe.
inline QMap<int, quint8> ProgramOf(const QList<QByteArray> &lines)
{
    QMap<int, quint8> map;
    bool header = false;
    for (const QByteArray &line : lines) {
        if (!header) {
            header = line.startsWith("S0");
            continue;
        }
        if (line.startsWith("S9"))
            break;
        if (!line.startsWith("S1"))
            continue;
        const int address = line.mid(4, 4).toInt(nullptr, 16);
        for (int i = 8; i + 2 < line.size(); i += 2)
            map[address + (i - 8) / 2] = quint8(line.mid(i, 2).toInt(nullptr, 16));
    }
    return map;
}

// The in-process port with two more ways to fail: the flow's own open, and purging.
class TFlowTestPort : public TInProcessPort {
public:
    using TInProcessPort::TInProcessPort;
    int FailOpenNumber = 0; // the n-th open raises (0: never)
    bool PurgeFails = false;

    void PurgeQueues(bool input, bool output) override
    {
        if (PurgeFails)
            throw EComPort(CE_PurgeFailed, 5);
        TInProcessPort::PurgeQueues(input, output);
    }

protected:
    void DoOpen() override
    {
        if (++opens_ == FailOpenNumber)
            throw EComPort(CE_OpenFailed, 16);
        TInProcessPort::DoOpen();
    }

private:
    int opens_ = 0;
};

// Records, with each status text, the lines-sent caption at that moment.
class TFlowSurface : public TRecordingSurface {
public:
    using TRecordingSurface::TRecordingSurface;
    void SetStatusText(const QString &text) override
    {
        StatusWithCount.append({text, LinesSent});
        TRecordingSurface::SetStatusText(text);
    }
    QList<QPair<QString, QString>> StatusWithCount;
};

class TFlowRig {
public:
    explicit TFlowRig(TFlowKind kind) : Kind(kind)
    {
        Port.SetUnit(kind == TFlowKind::Monitor ? static_cast<TUnitModel *>(&MonitorUnit) : &ModuleUnit);
        Path = Dir.filePath(QStringLiteral("update.s19"));
        Surface.FileName = Path;
        Surface.OnPump = [this] {
            for (TTrigger &t : triggers_)
                if (!t.Fired && t.When()) {
                    t.Fired = true;
                    t.Then();
                }
        };
    }

    TFaultScript &Script() { return Kind == TFlowKind::Monitor ? MonitorUnit.Script : ModuleUnit.Script; }
    void AddFault(TUnitStage stage, int index, std::optional<QByteArray> answer)
    {
        TFaultRule rule;
        rule.Stage = stage;
        rule.Index = index;
        rule.Answer = std::move(answer);
        Script().Rules.push_back(rule);
    }

    void WriteFile(const QList<QByteArray> &lines)
    {
        Lines = lines;
        QFile f(Path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (const QByteArray &l : lines)
            f.write(l + "\n");
    }

    // A header, count records of two bytes each from 0x1000 on, and the end record.
    void WriteRecords(int count)
    {
        QList<QByteArray> lines{HeaderLine};
        for (int k = 0; k < count; ++k)
            lines << S1(0x1000 + 2 * k, Bytes({(k * 7 + 1) & 0xFF, (k * 13 + 2) & 0xFF}));
        lines << EndLine;
        WriteFile(lines);
    }

    // Runs then once, at the first window-message pass at which when() holds.
    void Once(std::function<bool()> when, std::function<void()> then)
    {
        triggers_.push_back({std::move(when), std::move(then), false});
    }
    void OnceStatus(const QString &status, std::function<void()> then)
    {
        Once([this, status] { return Surface.StatusText() == status; }, std::move(then));
    }
    void OnceLastWrite(const QByteArray &bytes, std::function<void()> then)
    {
        Once([this, bytes] { return !Port.Writes.isEmpty() && Port.Writes.last() == bytes; }, std::move(then));
    }

    // The flow for the first catalogue row of the kind's family; true when it completed.
    bool Run()
    {
        const TUpdateFlowKind flow =
            Kind == TFlowKind::Monitor ? TUpdateFlowKind::ResistorMonitor : TUpdateFlowKind::CommsModule;
        for (const TUnitType &unit : UnitCatalogue())
            if (unit.Flow == flow) {
                Outcome = Kind == TFlowKind::Monitor ? ResistorMonitorFlow(Link, unit) : CommsModuleFlow(Link, unit);
                return Outcome.IsCompleted();
            }
        throw std::logic_error("no unit type in the catalogue for " + KindName(Kind));
    }

    // How the last run ended.
    TUpdateOutcome Outcome;

    // The writes after the bootloader and the contact request.
    QList<QByteArray> RecordWrites() const { return Port.Writes.mid(3); }

    TFlowKind Kind;
    TVirtualClock Clock;
    TMonitorUnit MonitorUnit;
    TModuleUnit ModuleUnit;
    TFlowTestPort Port{Clock};
    TWizardState State;
    TFlowSurface Surface{&Clock};
    TLink Link{Surface, Port, Clock, State};
    QTemporaryDir Dir;
    QString Path;
    QList<QByteArray> Lines;

private:
    struct TTrigger {
        std::function<bool()> When;
        std::function<void()> Then;
        bool Fired;
    };
    std::vector<TTrigger> triggers_;
};

// The timeline pieces every run of the two flows goes through.
namespace Seen {

inline QString Status(const QString &text)
{
    return QStringLiteral("status: ") + text;
}
inline QString Box(const QString &title, const QString &text)
{
    return QStringLiteral("box[%1]: %2").arg(title, text);
}
inline QString Ask(const QString &title, const QString &text, bool yes)
{
    return QStringLiteral("ask[%1]: %2 -> %3").arg(title, text, yes ? "yes" : "no");
}

inline QString BeginQuestion(TFlowKind kind)
{
    return kind == TFlowKind::Monitor
               ? FlowTexts::UpdateModeQuestion
               : QStringLiteral("Please set unit to BOOTLOADER mode now  (see help file for details). Do you want to continue?");
}

inline const QString Checking = QStringLiteral("Checking file format. Please wait.");
inline const QString Preparing = QStringLiteral("Preparing bootloader code.");
inline const QString Sending = QStringLiteral("Sending bootloader code to unit...");
inline const QString BootSent = QStringLiteral("Bootloader file sent. Waiting for unit to begin algorithm...");

// Ready, the confirmed question and the file check.
inline QStringList Started(TFlowKind kind)
{
    return {Status(FlowTexts::Ready), Ask(FlowTexts::BeginTitle, BeginQuestion(kind), true), Status(Checking)};
}

// ... and the bootloader download.
inline QStringList Loaded(TFlowKind kind)
{
    return Started(kind) << Status(Preparing) << Status(Sending) << Status(BootSent);
}

// ... contact made and the record phase begun.
inline QStringList Contacted(TFlowKind kind)
{
    return Loaded(kind) << Status(FlowTexts::Updating);
}

// ... and the first record acknowledged.
inline QStringList FirstRecordDone(TFlowKind kind)
{
    return Contacted(kind) << Status(FlowTexts::Updating);
}

inline QStringList Completed()
{
    return {Status(FlowTexts::UpdateComplete), Box(FlowTexts::UpdateDoneTitle, FlowTexts::UpdateDoneBox)};
}

} // namespace Seen
