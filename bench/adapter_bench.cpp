// The resistor-monitor and communications-module flows behind a simulated USB serial adapter,
// side by side in one run: the real serial port (TComPort) and the system clock over a
// pseudo-terminal whose far end is the simulated unit, paced at the flow's bit rate (10 bits per
// byte both ways). Between them the adapter: every host write reaches the line no sooner than
// the next 1 ms USB frame after the previous write's (TUsbAdapterPort), and every byte the unit
// sends is held for the adapter's latency timer before it reaches the host
// (TPtyUnit::AdapterLatencyMs).
//
// Rows, for each flow: latency timer 16 ms (the usual default) and 1 ms (low-latency mode),
// each with the command in one write (the program) and in the writes it took before (the
// monitor's four single bytes, the module's record and its ":" apart); and the bare line-rate
// limit of the transfer's bytes. Every row runs in a process of its own, all at once by default
// (they mostly sleep), so that the whole table takes as long as its slowest row.
//
// Usage: adapter_bench [--kib 1..64] [--families monitor,module] [--timers 16,1] [--jobs N]
// (internal: --row <family>,<timer ms>,<one|split> runs one row and prints its figures)
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "protocols/UpdateFlows.h"
#include "unitsim/PtyUnit.h"
#include "unitsim/UnitFamilies.h"
#include "unitsim/UsbAdapterPort.h"

namespace {

struct TFamily {
    const char *Key;
    const char *Name;
    int UnitType;
    int Baud;
    TUpdateOutcome (*Flow)(TLink &, const TUnitType &);
    const char *SplitName; // how the program wrote a command before it went out in one write
};

const std::vector<TFamily> &Families()
{
    static const std::vector<TFamily> families = {
        {"monitor", "ResistorMonitorFlow", 3, 19200, ResistorMonitorFlow, "4 writes (S, high, low, data)"},
        {"module", "CommsModuleFlow", 4, 9600, CommsModuleFlow, "2 writes (record, then \":\")"},
    };
    return families;
}

const TFamily *FindFamily(const QString &key)
{
    for (const TFamily &f : Families())
        if (key == QLatin1String(f.Key))
            return &f;
    return nullptr;
}

// The writes a command took before it went out whole.
QList<QByteArray> SplitAsBefore(const TFamily &family, const QByteArray &text)
{
    if (family.Baud == 19200 && text.size() == 4 && text[0] == 'S') {
        QList<QByteArray> bytes;
        for (const char c : text)
            bytes << QByteArray(1, c);
        return bytes;
    }
    if (family.Baud == 9600 && text.size() > 1 && text.endsWith(':'))
        return {text.chopped(1), QByteArray(":")};
    return {text};
}

// ---------------------------------------------------------------------------------------------
// The update file: `bytes` data bytes in S1 records of 32, pseudo-random data, from 0x0000 up.

QByteArray Record(const char *type, quint32 address, const QByteArray &data)
{
    QByteArray body;
    body.append(char(2 + data.size() + 1));
    body.append(char((address >> 8) & 0xFF));
    body.append(char(address & 0xFF));
    body.append(data);
    unsigned sum = 0;
    for (const char c : body)
        sum += quint8(c);
    body.append(char(~sum & 0xFF));
    return QByteArray(type) + body.toHex().toUpper() + "\r\n";
}

QByteArray MakeUpdateFile(int bytes)
{
    quint32 seed = 0x2545F491;
    QByteArray file = Record("S0", 0, "ADAPTER BENCH");
    for (int offset = 0; offset < bytes; offset += 32) {
        QByteArray data;
        for (int i = 0; i < 32 && offset + i < bytes; ++i) {
            seed = seed * 1664525u + 1013904223u;
            data.append(char(seed >> 24));
        }
        file += Record("S1", quint32(offset), data);
    }
    return file + Record("S9", 0, {});
}

class TQuietSurface : public TOperatorSurface {
public:
    void SetStatusText(const QString &text) override { text_ = text; }
    QString StatusText() const override { return text_; }
    void ReportBox(const QString &, const QString &, TBoxIcon) override {}
    bool AskYesNo(const QString &, const QString &) override { return true; }
    void SetGaugeMaximum(int) override {}
    void SetGaugePosition(int) override {}
    void SetLinesSent(const QString &) override {}
    void ProcessPendingMessages() override { QCoreApplication::processEvents(); }
    QString UpdateFileName() const override { return FileName; }
    void SetFileWarning(const QString &) override {}

    QString FileName;

private:
    QString text_;
};

// ---------------------------------------------------------------------------------------------
// One row, in this process.

int RunRow(const QString &row, int kib)
{
    const QStringList parts = row.split(',');
    const TFamily *family = parts.size() == 3 ? FindFamily(parts[0]) : nullptr;
    if (!family) {
        std::fprintf(stderr, "bad row %s\n", qPrintable(row));
        return 2;
    }
    const int timerMs = parts[1].toInt();
    const bool split = parts[2] == "split";

    QTemporaryDir dir;
    const QString path = dir.filePath("adapter16.s19");
    const QByteArray contents = MakeUpdateFile(kib * 1024);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return 1;
    file.close();

    std::unique_ptr<TUnitModel> unit;
    if (family->Baud == 19200)
        unit = std::make_unique<TMonitorUnit>(TFaultScript{});
    else
        unit = std::make_unique<TModuleUnit>(TFaultScript{});
    TPtyUnit pty(*unit);
    pty.PaceBaud = family->Baud;
    pty.AdapterLatencyMs = timerMs;
    pty.TimeExchanges = true;
    QString error;
    if (!pty.Start(&error)) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }

    TUsbAdapterPort port;
    if (split)
        port.Split = [family](const QByteArray &text) { return SplitAsBefore(*family, text); };
    port.SetPort(pty.SlavePath());
    TQuietSurface surface;
    surface.FileName = path;
    TSystemClock clock;
    TWizardState state;
    state.SelectedUnit = family->UnitType;
    state.UpdateRunning = state.UpdateActive = true;
    TLink link(surface, port, clock, state);

    const qint64 transfersBefore = port.Transfers();
    const bool ok = family->Flow(link, *FindUnitType(family->UnitType)).IsCompleted();
    pty.Stop();

    // The transfer phase: from the host's first command after the contact answer to the last
    // byte of the end answer; exchange times from one answer's arrival to the next one's.
    const std::vector<TPtyUnit::TExchange> ex = pty.Exchanges();
    size_t first = ex.size(), last = ex.size();
    for (size_t i = 0; i < ex.size() && first == ex.size(); ++i)
        if (ex[i].Answer == ".")
            first = i;
    for (size_t i = ex.size(); i-- > 0 && last == ex.size();)
        if (ex[i].Answer == "!")
            last = i;
    bool holds = false;
    if (auto *m = dynamic_cast<TMonitorUnit *>(unit.get()))
        holds = m->Finished && m->DataCommands == kib * 1024;
    else if (auto *m = dynamic_cast<TModuleUnit *>(unit.get()))
        holds = m->Finished && m->RecordsAccepted == (kib * 1024 + 31) / 32;
    if (!ok || !holds || first >= ex.size() || last >= ex.size() || last <= first || ex[first].NextInNs < 0) {
        std::printf("ROW %s FAILED %s\n", qPrintable(row), qPrintable(surface.StatusText()));
        return 1;
    }
    std::vector<double> exchangeMs;
    for (size_t i = first + 1; i <= last; ++i)
        exchangeMs.push_back(double(ex[i].AnswerOutNs - ex[i - 1].AnswerOutNs) / 1e6);
    std::sort(exchangeMs.begin(), exchangeMs.end());
    const double transferS = double(ex[last].AnswerOutNs - ex[first].NextInNs) / 1e9;
    const qint64 wire = (ex[last].HostBytesThrough - ex[first].HostBytesBeforeNext) +
                        (ex[last].UnitBytesThrough - ex[first].UnitBytesThrough);
    std::printf("ROW %s %.3f %zu %lld %lld %.3f %.3f %.3f\n", qPrintable(row), transferS, exchangeMs.size(),
                (long long)wire, (long long)(port.Transfers() - transfersBefore), exchangeMs[exchangeMs.size() / 2],
                exchangeMs[exchangeMs.size() / 100], exchangeMs[(exchangeMs.size() - 1) * 99 / 100]);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The table: every row in a process of its own.

struct TRowResult {
    bool Ok = false;
    double TransferS = 0;
    qint64 Exchanges = 0;
    qint64 WireBytes = 0;
    qint64 Transfers = 0;
    double MedianMs = 0, P1Ms = 0, P99Ms = 0;
    QString Failure;
};

TRowResult ParseRow(const QByteArray &output)
{
    TRowResult r;
    for (const QByteArray &line : output.split('\n')) {
        if (!line.startsWith("ROW "))
            continue;
        const QList<QByteArray> f = line.split(' ');
        if (f.size() >= 3 && f[2] == "FAILED") {
            r.Failure = QString::fromUtf8(line.mid(line.indexOf("FAILED")));
            return r;
        }
        if (f.size() < 9)
            continue;
        r.TransferS = f[2].toDouble();
        r.Exchanges = f[3].toLongLong();
        r.WireBytes = f[4].toLongLong();
        r.Transfers = f[5].toLongLong();
        r.MedianMs = f[6].toDouble();
        r.P1Ms = f[7].toDouble();
        r.P99Ms = f[8].toDouble();
        r.Ok = true;
    }
    if (!r.Ok && r.Failure.isEmpty())
        r.Failure = QStringLiteral("no result");
    return r;
}

[[noreturn]] void Usage(const QString &bad)
{
    std::fprintf(stderr,
                 "unknown or incomplete option %s\n"
                 "usage: adapter_bench [--kib 1..64] [--families monitor,module] [--timers 16,1] [--jobs N]\n",
                 qPrintable(bad));
    std::exit(2);
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    int kib = 64;
    QStringList families{"monitor", "module"};
    QList<int> timers{16, 1};
    int jobs = 0; // all at once
    QString row;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            Usage(args[i]);
        const QString &a = args[i];
        const QString value = args[++i];
        if (a == "--kib")
            kib = std::clamp(value.toInt(), 1, 64);
        else if (a == "--families")
            families = value.split(',', Qt::SkipEmptyParts);
        else if (a == "--timers") {
            timers.clear();
            for (const QString &t : value.split(',', Qt::SkipEmptyParts))
                timers << std::max(1, t.toInt());
        } else if (a == "--jobs")
            jobs = std::max(1, value.toInt());
        else if (a == "--row")
            row = value;
        else
            Usage(a + " " + value);
    }
    if (!row.isEmpty())
        return RunRow(row, kib);

    struct TPlanned {
        const TFamily *Family;
        int TimerMs;
        bool Split;
        QString Row;
        std::unique_ptr<QProcess> Process;
        TRowResult Result;
    };
    std::vector<TPlanned> plan;
    for (const QString &key : families) {
        const TFamily *family = FindFamily(key);
        if (!family)
            Usage(QStringLiteral("--families ") + key);
        for (const int timer : timers)
            for (const bool split : {true, false})
                plan.push_back({family, timer, split,
                                QStringLiteral("%1,%2,%3").arg(key).arg(timer).arg(split ? "split" : "one"), nullptr,
                                {}});
    }
    if (jobs == 0)
        jobs = int(plan.size());

    std::printf("Monitor and module flows behind a simulated USB adapter: %d KiB of data in S1 records of 32 bytes,\n"
                "unit paced at the flow's bit rate; %zu rows, %d at a time\n\n",
                kib, plan.size(), jobs);
    size_t next = 0, done = 0;
    std::vector<TPlanned *> running;
    while (done < plan.size()) {
        while (int(running.size()) < jobs && next < plan.size()) {
            TPlanned &p = plan[next++];
            p.Process = std::make_unique<QProcess>();
            p.Process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.Process->start(QCoreApplication::applicationFilePath(),
                             {QStringLiteral("--row"), p.Row, QStringLiteral("--kib"), QString::number(kib)});
            running.push_back(&p);
        }
        for (auto it = running.begin(); it != running.end();) {
            TPlanned &p = **it;
            if (p.Process->waitForFinished(200)) {
                p.Result = ParseRow(p.Process->readAllStandardOutput());
                std::fprintf(stderr, "  row %s done\n", qPrintable(p.Row));
                ++done;
                it = running.erase(it);
            } else {
                ++it;
            }
        }
    }

    bool allOk = true;
    std::printf("%-20s %-30s %6s %10s %11s %10s %9s %9s %8s %7s\n", "flow", "writes per command", "timer",
                "transfer s", "x line rate", "exchanges", "transfers", "median ms", "p1 ms", "p99 ms");
    for (const QString &key : families) {
        const TFamily *family = FindFamily(key);
        double limitS = 0;
        for (TPlanned &p : plan) {
            if (p.Family != family)
                continue;
            const TRowResult &r = p.Result;
            if (!r.Ok) {
                allOk = false;
                std::printf("%-20s %-30s %4d ms  %s\n", family->Name,
                            p.Split ? family->SplitName : "1 write (now)", p.TimerMs, qPrintable(r.Failure));
                continue;
            }
            limitS = double(r.WireBytes) * 10.0 / family->Baud;
            std::printf("%-20s %-30s %3d ms %10.2f %10.2fx %10lld %9lld %9.3f %8.3f %7.3f\n", family->Name,
                        p.Split ? family->SplitName : "1 write (now)", p.TimerMs, r.TransferS, r.TransferS / limitS,
                        (long long)r.Exchanges, (long long)r.Transfers, r.MedianMs, r.P1Ms, r.P99Ms);
        }
        if (limitS > 0)
            std::printf("%-20s %-30s %6s %10.2f %10.2fx   (wire bytes both ways x 10 bits / %d baud)\n", family->Name,
                        "line-rate limit", "-", limitS, 1.0, family->Baud);
    }
    std::printf("\ntransfer: host's first command after contact -> last byte of the end answer at the host.\n"
                "median/p1/p99 ms: time from one answer reaching the host to the next. transfers: host writes\n"
                "through the adapter during the whole flow (bootloader and contact included).\n");
    return allOk ? 0 : 1;
}
