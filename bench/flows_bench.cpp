// The three update flows, side by side, on the real serial port (TComPort) and the system clock,
// over a pseudo-terminal whose far end is the simulated unit (TPtyUnit):
//
//  turnaround  host turnaround per exchange of the transfer phase, taken at the unit's side of
//              the line: from the moment the last byte of a unit answer went into the line to
//              the moment the first byte of the host's next command came out of it. The line
//              is not paced, so this is the host's own cost (plus the kernel's two hops).
//  silent      CPU time of the whole process while a flow waits for a unit that never answers,
//              as a share of the wait.
//  line        a full update per family against a unit paced at the flow's bit rate (each byte
//              takes 10 bit times on the wire, both ways), compared with the line-rate limit of
//              the transfer phase: bytes on the wire in both directions x 10 bits / baud.
//
// The transfer phase runs from the first line/byte/record command after contact (update mode:
// after the erase answer) to the unit's end answer. The fixed waits before it (status holds,
// bootloader start) are reported apart.
//
// Usage: flows_bench [--parts turnaround,silent,line] [--families update,monitor,module]
//                    [--kib N] [--silent-seconds N] [--quiet-surface]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <sys/resource.h>

#include "protocols/UpdateFlows.h"
#include "seriallink/TComPort.h"
#include "unitsim/PtyUnit.h"
#include "unitsim/UnitFamilies.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Options

struct TOptions {
    QStringList Parts{"turnaround", "silent", "line"};
    QStringList Families{"update", "monitor", "module"};
    int Kib = 64;
    int SilentSeconds = 12;
    bool Window = true;
};

TOptions ParseOptions(const QStringList &args)
{
    TOptions o;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == "--parts") {
            o.Parts = next.split(',', Qt::SkipEmptyParts);
            ++i;
        } else if (a == "--families") {
            o.Families = next.split(',', Qt::SkipEmptyParts);
            ++i;
        } else if (a == "--kib") {
            o.Kib = std::clamp(next.toInt(), 1, 64);
            ++i;
        } else if (a == "--silent-seconds") {
            o.SilentSeconds = std::max(1, next.toInt());
            ++i;
        } else if (a == "--quiet-surface") {
            o.Window = false;
        } else {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(a));
            std::exit(2);
        }
    }
    return o;
}

// ---------------------------------------------------------------------------------------------
// The operator's side: a small window with the status line, the gauge and the lines-sent label,
// painted on the offscreen platform as the real window would be, so that the gauge and label
// updates and their repaints are part of the cost. Every question is answered Yes.

class TBenchSurface : public TOperatorSurface {
public:
    explicit TBenchSurface(bool window)
    {
        if (!window)
            return;
        window_ = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window_.get());
        gauge_ = new QProgressBar;
        lines_ = new QLabel(QStringLiteral("0"));
        status_ = new QLabel(QStringLiteral("Ready."));
        layout->addWidget(gauge_);
        layout->addWidget(lines_);
        layout->addWidget(status_);
        window_->resize(480, 160);
        window_->show();
        QCoreApplication::processEvents();
    }

    void SetStatusText(const QString &text) override
    {
        text_ = text;
        if (status_)
            status_->setText(text);
    }
    QString StatusText() const override { return text_; }
    void ReportBox(const QString &text, const QString &title, TBoxIcon) override
    {
        Boxes << title + QStringLiteral(": ") + text;
    }
    bool AskYesNo(const QString &, const QString &) override { return true; }
    void SetGaugeMaximum(int maximum) override
    {
        if (gauge_)
            gauge_->setMaximum(maximum);
    }
    void SetGaugePosition(int position) override
    {
        if (gauge_)
            gauge_->setValue(position);
    }
    void SetLinesSent(const QString &caption) override
    {
        LinesSent = caption;
        if (lines_)
            lines_->setText(caption);
    }
    void ProcessPendingMessages() override { QCoreApplication::processEvents(); }
    QString UpdateFileName() const override { return FileName; }
    void SetFileWarning(const QString &) override {}

    QString FileName;
    QString LinesSent;
    QStringList Boxes;

private:
    QString text_ = QStringLiteral("Ready.");
    std::unique_ptr<QWidget> window_;
    QProgressBar *gauge_ = nullptr;
    QLabel *lines_ = nullptr;
    QLabel *status_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Update files: `bytes` data bytes in records of 32, pseudo-random data, valid checksums.

QByteArray Hex(const QByteArray &bytes) { return bytes.toHex().toUpper(); }

QByteArray Record(const char *type, int addressBytes, quint32 address, const QByteArray &data)
{
    QByteArray body;
    body.append(char(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        body.append(char((address >> (8 * i)) & 0xFF));
    body.append(data);
    unsigned sum = 0;
    for (const char c : body)
        sum += quint8(c);
    body.append(char(~sum & 0xFF));
    return QByteArray(type) + Hex(body) + "\r\n";
}

QByteArray MakeUpdateFile(int bytes, bool thirtyTwoBit)
{
    constexpr int PerRecord = 32;
    quint32 seed = 0x2545F491;
    QByteArray file = Record("S0", 2, 0, "FLOWS BENCH");
    for (int offset = 0; offset < bytes; offset += PerRecord) {
        QByteArray data;
        for (int i = 0; i < PerRecord && offset + i < bytes; ++i) {
            seed = seed * 1664525u + 1013904223u;
            data.append(char(seed >> 24));
        }
        file += thirtyTwoBit ? Record("S3", 4, 0x00100000u + quint32(offset), data)
                             : Record("S1", 2, quint32(offset), data);
    }
    file += thirtyTwoBit ? Record("S7", 4, 0x00100000u, {}) : Record("S9", 2, 0, {});
    return file;
}

// ---------------------------------------------------------------------------------------------
// One flow against one simulated unit.

struct TFamily {
    const char *Key;
    const char *Name;
    int UnitType;
    int Baud;
    bool UpdateMode;             // S3 file, "p" opens the transfer phase
    std::function<bool(TLink &)> Flow;
};

const std::vector<TFamily> &Families()
{
    static const std::vector<TFamily> families = {
        {"update", "UpdateModeFlow (type 2)", 2, 57600, true, UpdateModeFlow},
        {"monitor", "ResistorMonitorFlow (type 3)", 3, 19200, false, ResistorMonitorFlow},
        {"module", "CommsModuleFlow (type 4)", 4, 9600, false, CommsModuleFlow},
    };
    return families;
}

std::unique_ptr<TUnitModel> MakeUnit(const TFamily &family, TFaultScript script)
{
    if (family.UpdateMode)
        return std::make_unique<TUpdateModeUnit>(std::move(script));
    if (family.Baud == 19200)
        return std::make_unique<TMonitorUnit>(std::move(script));
    return std::make_unique<TModuleUnit>(std::move(script));
}

// Whether the unit took the whole file, checked against the unit's own record of it.
QString UnitVerdict(const TFamily &family, TUnitModel &unit, int dataBytes, int records)
{
    if (auto *u = dynamic_cast<TUpdateModeUnit *>(&unit))
        return u->Finished && u->Accepted.size() == records + 2 ? QStringLiteral("all lines taken")
                                                                 : QStringLiteral("INCOMPLETE");
    if (auto *u = dynamic_cast<TMonitorUnit *>(&unit))
        return u->Finished && u->BytesAccepted == dataBytes && u->Programmed.size() == dataBytes
                   ? QStringLiteral("all bytes programmed")
                   : QStringLiteral("INCOMPLETE");
    if (auto *u = dynamic_cast<TModuleUnit *>(&unit))
        return u->Finished && u->RecordsAccepted == records ? QStringLiteral("all records taken")
                                                            : QStringLiteral("INCOMPLETE");
    Q_UNUSED(family);
    return QStringLiteral("?");
}

struct TRun {
    bool Ok = false;
    QString FinalStatus;
    QString Verdict;
    double WallS = 0;
    double CpuS = 0;
    std::vector<TPtyUnit::TExchange> Exchanges;
};

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TRun RunFlow(const TFamily &family, const QString &fileName, int dataBytes, int records, int paceBaud,
             TFaultScript script, bool window, int stopAfterMs)
{
    TRun run;
    auto unit = MakeUnit(family, std::move(script));
    TPtyUnit pty(*unit);
    pty.PaceBaud = paceBaud;
    pty.TimeExchanges = true;
    QString error;
    if (!pty.Start(&error)) {
        run.FinalStatus = QStringLiteral("no pseudo-terminal: ") + error;
        return run;
    }

    TComPort port;
    port.SetPort(pty.SlavePath());
    TSystemClock clock;
    TWizardState state;
    state.SelectedUnit = family.UnitType;
    state.UpdateRunning = true;
    state.UpdateActive = true;
    TBenchSurface surface(window);
    surface.FileName = fileName;
    TLink link(surface, port, clock, state);

    // The technician's press of Stop, for the silent-unit runs.
    QTimer stopPress;
    stopPress.setSingleShot(true);
    QObject::connect(&stopPress, &QTimer::timeout, [&state] { state.StopRequested = true; });
    if (stopAfterMs > 0)
        stopPress.start(stopAfterMs);

    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    run.Ok = family.Flow(link);
    run.WallS = double(wall.nsecsElapsed()) / 1e9;
    run.CpuS = CpuSeconds() - cpu0;

    pty.Stop();
    run.FinalStatus = surface.StatusText();
    run.Exchanges = pty.Exchanges();
    run.Verdict = UnitVerdict(family, *unit, dataBytes, records);
    return run;
}

// ---------------------------------------------------------------------------------------------
// The transfer phase in a run's exchanges.

struct TTransfer {
    bool Found = false;
    size_t First = 0;   // the exchange whose answer opens the phase (erase answer / contact answer)
    size_t Last = 0;    // the end answer
    double Seconds = 0; // first byte of the first command in -> last byte of the end answer out
    qint64 HostBytes = 0;
    qint64 UnitBytes = 0;
    std::vector<double> TurnaroundUs; // every answer in the phase but the end answer
};

TTransfer FindTransfer(const TFamily &family, const std::vector<TPtyUnit::TExchange> &ex)
{
    TTransfer t;
    const QByteArray opening = family.UpdateMode ? "p" : ".";
    size_t first = ex.size();
    for (size_t i = 0; i < ex.size(); ++i) {
        if (ex[i].Answer == opening) {
            first = i;
            break;
        }
    }
    size_t last = ex.size();
    for (size_t i = ex.size(); i-- > 0;) {
        if (ex[i].Answer == "!") {
            last = i;
            break;
        }
    }
    if (first >= ex.size() || last >= ex.size() || last <= first || ex[first].NextInNs < 0)
        return t;
    t.Found = true;
    t.First = first;
    t.Last = last;
    t.Seconds = double(ex[last].AnswerOutNs - ex[first].NextInNs) / 1e9;
    t.HostBytes = ex[last].HostBytesThrough - ex[first].HostBytesBeforeNext;
    t.UnitBytes = ex[last].UnitBytesThrough - ex[first].UnitBytesThrough;
    for (size_t i = first + 1; i < last; ++i)
        if (ex[i].NextInNs >= 0) {
            t.TurnaroundUs.push_back(double(ex[i].NextInNs - ex[i].AnswerOutNs) / 1000.0);
            if (qEnvironmentVariableIsSet("FLOWS_BENCH_DEBUG") && t.TurnaroundUs.back() > 100000)
                std::fprintf(stderr, "slow exchange %zu: answer %s next 0x%02x after %.0f us\n", i,
                             ex[i].Answer.toHex().constData(), quint8(ex[i].NextByte), t.TurnaroundUs.back());
        }
    return t;
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

double Sum(const std::vector<double> &v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return s;
}

// ---------------------------------------------------------------------------------------------

struct TFiles {
    QString Path;
    int DataBytes = 0;
    int Records = 0;
};

bool Wanted(const QStringList &list, const char *key) { return list.contains(QString::fromLatin1(key)); }

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const TOptions options = ParseOptions(app.arguments());

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const int dataBytes = options.Kib * 1024;
    const int records = (dataBytes + 31) / 32;
    TFiles s3{dir.filePath("bench32.s19"), dataBytes, records};
    TFiles s1{dir.filePath("bench16.s19"), dataBytes, records};
    for (const auto &[files, wide] : {std::pair{s3, true}, std::pair{s1, false}}) {
        QFile f(files.Path);
        if (!f.open(QIODevice::WriteOnly) || f.write(MakeUpdateFile(dataBytes, wide)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(files.Path));
            return 1;
        }
    }
    const TFiles tiny{dir.filePath("tiny16.s19"), 32, 1};
    {
        QFile f(tiny.Path);
        if (!f.open(QIODevice::WriteOnly) || f.write(MakeUpdateFile(32, false)) < 0)
            return 1;
    }
    const TFiles tiny32{dir.filePath("tiny32.s19"), 32, 1};
    {
        QFile f(tiny32.Path);
        if (!f.open(QIODevice::WriteOnly) || f.write(MakeUpdateFile(32, true)) < 0)
            return 1;
    }

    std::printf("Update flows over a pseudo-terminal: %d KiB of data (%d records of 32 bytes), %s surface\n\n",
                options.Kib, records, options.Window ? "offscreen window" : "quiet");
    bool allOk = true;

    // 1. Host turnaround, unpaced.
    if (Wanted(options.Parts, "turnaround")) {
        std::printf("Host turnaround per exchange of the transfer phase (unit answer out -> host's next command in,\n"
                    "taken at the unit's end of an unpaced pty)\n");
        std::printf("%-30s %9s %10s %10s %10s %10s  %s\n", "flow", "exchanges", "median us", "p99 us", "max us",
                    "flow s", "outcome");
        for (const TFamily &family : Families()) {
            if (!Wanted(options.Families, family.Key))
                continue;
            const TFiles &files = family.UpdateMode ? s3 : s1;
            const TRun run = RunFlow(family, files.Path, files.DataBytes, files.Records, 0, {}, options.Window, 0);
            const TTransfer t = FindTransfer(family, run.Exchanges);
            allOk = allOk && run.Ok && t.Found;
            std::printf("%-30s %9zu %10.1f %10.1f %10.1f %10.2f  %s; %s\n", family.Name, t.TurnaroundUs.size(),
                        Percentile(t.TurnaroundUs, 0.5), Percentile(t.TurnaroundUs, 0.99),
                        t.TurnaroundUs.empty() ? 0.0 : *std::max_element(t.TurnaroundUs.begin(), t.TurnaroundUs.end()),
                        run.WallS, qPrintable(run.FinalStatus), qPrintable(run.Verdict));
        }
        std::printf("\n");
    }

    // 2. CPU while waiting for a silent unit.
    if (Wanted(options.Parts, "silent")) {
        std::printf("CPU of the whole process while a flow waits for a unit that never answers\n");
        std::printf("%-30s %8s %8s %8s  %s\n", "flow", "wall s", "CPU s", "share", "how it ended");
        for (const TFamily &family : Families()) {
            if (!Wanted(options.Families, family.Key))
                continue;
            TFaultScript silent;
            silent.Rules.push_back({TUnitStage::Contact, 0, std::nullopt, -1, 0});
            // The update-mode flow would retry contact for five passes of 10 s: Stop is pressed
            // (and confirmed) after the given seconds. The bootloader flows give up by
            // themselves after their fixed waits and one contact time-out.
            const int stopAfter = family.UpdateMode ? options.SilentSeconds * 1000 : 0;
            const TFiles &files = family.UpdateMode ? tiny32 : tiny;
            const TRun run = RunFlow(family, files.Path, files.DataBytes, files.Records, 0, silent, options.Window,
                                     stopAfter);
            std::printf("%-30s %8.3f %8.4f %7.2f%%  %s\n", family.Name, run.WallS, run.CpuS,
                        100.0 * run.CpuS / run.WallS, qPrintable(run.FinalStatus));
        }
        std::printf("\n");
    }

    // 3. Full update against a line-paced unit, against the line-rate limit.
    if (Wanted(options.Parts, "line")) {
        std::printf("Full update against a unit paced at the flow's bit rate (10 bits per byte, both ways)\n");
        std::printf("%-30s %6s %10s %10s %10s %9s %9s %8s %10s %10s  %s\n", "flow", "baud", "wire bytes",
                    "limit s", "transfer s", "over", "turn. s", "rest s", "before s", "flow s", "outcome");
        for (const TFamily &family : Families()) {
            if (!Wanted(options.Families, family.Key))
                continue;
            const TFiles &files = family.UpdateMode ? s3 : s1;
            const TRun run =
                RunFlow(family, files.Path, files.DataBytes, files.Records, family.Baud, {}, options.Window, 0);
            const TTransfer t = FindTransfer(family, run.Exchanges);
            allOk = allOk && run.Ok && t.Found;
            const qint64 wire = t.HostBytes + t.UnitBytes;
            const double limit = double(wire) * 10.0 / family.Baud;
            const double turnS = Sum(t.TurnaroundUs) / 1e6;
            // Time before the transfer phase: from the flow's start (approximately: its run time
            // less the transfer phase and what follows it) is dominated by the fixed waits.
            const double before = run.Exchanges.empty() ? 0.0 : run.WallS - t.Seconds;
            std::printf("%-30s %6d %10lld %10.3f %10.3f %8.2f%% %9.3f %8.3f %10.2f %10.2f  %s; %s\n", family.Name,
                        family.Baud, (long long)wire, limit, t.Seconds, 100.0 * (t.Seconds / limit - 1.0), turnS,
                        t.Seconds - limit - turnS, before, run.WallS, qPrintable(run.FinalStatus),
                        qPrintable(run.Verdict));
            std::printf("%-30s %6s host->unit %lld bytes, unit->host %lld bytes; turnaround median %.1f us, p99 %.1f us "
                        "over %zu exchanges\n",
                        "", "", (long long)t.HostBytes, (long long)t.UnitBytes, Percentile(t.TurnaroundUs, 0.5),
                        Percentile(t.TurnaroundUs, 0.99), t.TurnaroundUs.size());
        }
        std::printf("\n(over = transfer time above the line-rate limit; turn. = the host's turnarounds summed; rest =\n"
                    "transfer - limit - turn., the simulated line's own wake-ups; before = the flow's run time outside\n"
                    "the transfer phase: fixed waits, bootloader download, file check.)\n");
    }
    return allOk ? 0 : 1;
}
