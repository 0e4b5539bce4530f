#pragma once

// A bench for the update-mode unit's stages on virtual time: the simulated unit on an in-process
// port, a recording operator surface, and a log of every write with the moment it was made, so a
// scenario can be read back as one timeline of statuses, boxes, questions and bytes sent, each
// with the time until the next thing happened (which shows a status's hold).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "protocols/UpdateFlows.h"
#include "seriallink/LinkPrimitives.h"
#include "tests/support/RecordingSurface.h"
#include "unitsim/FaultScript.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/UnitFamilies.h"
#include "unitsim/VirtualClock.h"
#include "updatefile/UnitCatalogue.h"

// Readable failure messages: texts and bytes printed as text, CR and LF spelled out.
[[maybe_unused]] static void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << QByteArray(bytes).replace("\r", "\\r").replace("\n", "\\n").toStdString() << '"';
}
[[maybe_unused]] static void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace updatemode_rig {

inline TFaultScript ScriptOf(const QStringList &rules)
{
    TFaultScript script;
    for (const QString &text : rules) {
        QString error;
        const auto rule = TFaultScript::ParseRule(text, &error);
        if (!rule)
            throw std::invalid_argument(("bad fault rule " + text + ": " + error).toStdString());
        script.Rules.push_back(*rule);
    }
    return script;
}

// A port whose open and close can be made to raise, for the flow's exception edge.
class TRigPort : public TInProcessPort {
public:
    using TInProcessPort::TInProcessPort;
    std::function<void()> BeforeOpen;  // may raise
    std::function<void()> BeforeClose; // may raise

protected:
    void DoOpen() override
    {
        if (BeforeOpen)
            BeforeOpen();
        TInProcessPort::DoOpen();
    }
    void DoClose() override
    {
        if (BeforeClose)
            BeforeClose();
        TInProcessPort::DoClose();
    }
};

// A recording surface that can also raise from a report box, and notes what the unit had taken
// whenever the status line changes.
class TRigSurface : public TRecordingSurface {
public:
    using TRecordingSurface::TRecordingSurface;
    bool ThrowOnReport = false;
    std::function<void(const QString &)> OnStatus;

    void ReportBox(const QString &text, const QString &title, TBoxIcon icon) override
    {
        TRecordingSurface::ReportBox(text, title, icon);
        if (ThrowOnReport)
            throw std::runtime_error("report box failed");
    }
    std::function<void()> OnLinesSent; // may raise
    void SetLinesSent(const QString &caption) override
    {
        TRecordingSurface::SetLinesSent(caption);
        if (OnLinesSent)
            OnLinesSent();
    }
    void SetStatusText(const QString &text) override
    {
        TRecordingSurface::SetStatusText(text);
        if (OnStatus)
            OnStatus(text);
    }
};

struct TRig {
    struct TWrite {
        qint64 At;
        int SeenBefore; // how many surface events came before it
        QByteArray Bytes;
        bool Failed;
    };

    TVirtualClock Clock;
    TUpdateModeUnit Unit;
    TRigPort Port{Clock, &Unit};
    TWizardState State;
    TRigSurface Surface{&Clock};
    TLink Link{Surface, Port, Clock, State};

    QList<TWrite> Sent;
    // Decides each write's fate like TInProcessPort::WriteFault (-1 raises); unset: written whole.
    std::function<int(const QByteArray &)> Fault;
    qint64 EndedAt = 0;

    explicit TRig(const QStringList &rules = {}) : Unit(ScriptOf(rules))
    {
        Port.SetPort(QStringLiteral("ttyS0"));
        Port.WriteFault = [this](const QByteArray &bytes) {
            const int count = Fault ? Fault(bytes) : int(bytes.size());
            Sent.append({Clock.TickCount(), int(Surface.Seen.size()), bytes, count != bytes.size()});
            return count;
        };
    }

    // How the last run ended.
    TUpdateOutcome Outcome;

    EraseResult RunContactAndErase()
    {
        Port.SetBaudRate(br57600);
        Port.OpenPort();
        const TEraseStage stage = ContactAndErase(Link);
        EndedAt = Clock.TickCount();
        Outcome = stage.Outcome;
        return stage.Result;
    }

    // The flow for the catalogue row of State.SelectedUnit; true when it completed.
    bool RunUpdateModeFlow()
    {
        const TUnitType *unit = FindUnitType(State.SelectedUnit);
        if (!unit)
            throw std::invalid_argument("no unit type " + std::to_string(State.SelectedUnit));
        Outcome = UpdateModeFlow(Link, *unit);
        EndedAt = Clock.TickCount();
        return Outcome.IsCompleted();
    }

    // Statuses, boxes, questions and writes in the order they happened, each followed by the
    // milliseconds until the next one (or until the stage returned):
    //   "status: T (2000)", "box[title]: T (0)", "ask[title]: T -> yes (0)", "send: P (5001)".
    // Lines of the update file are written "send: <line>\r\n" with the CR LF spelled out.
    QStringList Timeline() const
    {
        struct TEntry {
            qint64 At;
            QString Text;
        };
        QList<TEntry> entries;
        int w = 0;
        for (int i = 0; i <= Surface.Seen.size(); ++i) {
            for (; w < Sent.size() && Sent[w].SeenBefore == i; ++w) {
                QString bytes = QString::fromLatin1(Sent[w].Bytes);
                bytes.replace(QStringLiteral("\r"), QStringLiteral("\\r")).replace(QStringLiteral("\n"), QStringLiteral("\\n"));
                entries.append({Sent[w].At, (Sent[w].Failed ? QStringLiteral("send failed: ") : QStringLiteral("send: ")) + bytes});
            }
            if (i == Surface.Seen.size())
                break;
            const TSeen &s = Surface.Seen[i];
            QString text;
            switch (s.What) {
            case TSeen::Status: text = QStringLiteral("status: ") + s.Text; break;
            case TSeen::Report:
                text = QStringLiteral("box[%1%2]: %3")
                           .arg(s.Title, s.Icon == TBoxIcon::Warning ? QStringLiteral(", warning") : QString(), s.Text);
                break;
            case TSeen::Question:
                text = QStringLiteral("ask[%1]: %2 -> %3").arg(s.Title, s.Text, s.Answer ? "yes" : "no");
                break;
            }
            entries.append({s.At, text});
        }
        QStringList out;
        for (int i = 0; i < entries.size(); ++i) {
            const qint64 next = i + 1 < entries.size() ? entries[i + 1].At : EndedAt;
            out << QStringLiteral("%1 (%2)").arg(entries[i].Text).arg(next - entries[i].At);
        }
        return out;
    }

    // The same without the gaps.
    QStringList Events() const
    {
        QStringList out;
        for (QString e : Timeline())
            out << e.left(e.lastIndexOf(QStringLiteral(" (")));
        return out;
    }

    QByteArray LastSent() const { return Sent.isEmpty() ? QByteArray() : Sent.last().Bytes; }
    QString LastShown() const { return Shown().value(Shown().size() - 1); }

    // What the technician saw (statuses, boxes, questions), without the bytes sent.
    QStringList Shown() const
    {
        QStringList out;
        for (const QString &e : Events())
            if (!e.startsWith(QStringLiteral("send")))
                out << e;
        return out;
    }

    // The writes that carried a line of the update file (everything ended by CR LF).
    QList<QByteArray> LineWrites() const
    {
        QList<QByteArray> out;
        for (const TWrite &w : Sent)
            if (w.Bytes.endsWith("\r\n"))
                out << w.Bytes;
        return out;
    }

    // How long the last status stayed before the call returned.
    qint64 FinalHold() const
    {
        for (qsizetype i = Surface.Seen.size() - 1; i >= 0; --i)
            if (Surface.Seen[i].What == TSeen::Status)
                return EndedAt - Surface.Seen[i].At;
        return -1;
    }
};

// How many of this process's file descriptors refer to the file.
inline int OpenHandles(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath().isEmpty() ? QFileInfo(path).absoluteFilePath()
                                                                         : QFileInfo(path).canonicalFilePath();
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)) {
        const QString link = QFile::symLinkTarget(fds.filePath(fd));
        if (link == target || link == target + QStringLiteral(" (deleted)"))
            ++count;
    }
    return count;
}

// ---- update files ----

inline QByteArray Hex(const QByteArray &bytes)
{
    return bytes.toHex().toUpper();
}

// One S-record line: type digit, then byte count, address and data, checksum.
inline QByteArray SRecord(char type, const QByteArray &addressAndData)
{
    const int count = int(addressAndData.size()) + 1;
    int sum = count;
    for (char c : addressAndData)
        sum += quint8(c);
    QByteArray body;
    body.append(char(count));
    body.append(addressAndData);
    body.append(char(~sum & 0xFF));
    return QByteArray("S") + type + Hex(body);
}

inline QByteArray Address(quint32 address, int width)
{
    QByteArray out;
    for (int i = width - 1; i >= 0; --i)
        out.append(char((address >> (8 * i)) & 0xFF));
    return out;
}

// A plausible update file: header, dataRecords data records of 16 bytes, end record.
inline QList<QByteArray> UpdateLines(TRecordVariant variant, int dataRecords)
{
    const int width = variant == TRecordVariant::Addr16 ? 2 : variant == TRecordVariant::Addr24 ? 3 : 4;
    const char dataType = variant == TRecordVariant::Addr16 ? '1' : variant == TRecordVariant::Addr24 ? '2' : '3';
    const char endType = variant == TRecordVariant::Addr16 ? '9' : variant == TRecordVariant::Addr24 ? '8' : '7';
    QList<QByteArray> lines;
    lines << SRecord('0', Address(0, 2) + QByteArray("UPDATE"));
    for (int r = 0; r < dataRecords; ++r) {
        QByteArray data;
        for (int b = 0; b < 16; ++b)
            data.append(char((r * 16 + b) * 7 + 3));
        lines << SRecord(dataType, Address(0x1000 + quint32(r) * 16, width) + data);
    }
    lines << SRecord(endType, Address(0, width));
    return lines;
}

// Writes the lines with the given line end; the last line gets one too when trailingEnd is set.
inline QString WriteFile(const QTemporaryDir &dir, const QString &name, const QList<QByteArray> &lines,
                         const QByteArray &lineEnd = "\n", bool trailingEnd = true)
{
    const QString path = QDir(dir.path()).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write test file");
    for (int i = 0; i < lines.size(); ++i) {
        f.write(lines[i]);
        if (i + 1 < lines.size() || trailingEnd)
            f.write(lineEnd);
    }
    return path;
}

} // namespace updatemode_rig
