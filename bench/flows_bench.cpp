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
//                    [--surface window|quiet] [--kib 1..64] [--silent-seconds N] [--profile]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <sys/resource.h>

#include "app/MainForm.h"
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
    QStringList Surfaces{"window", "quiet"}; // turnaround: each; silent and line: the first
    int Kib = 64;
    int SilentSeconds = 12;
    bool Profile = false;
};

[[noreturn]] void Usage(const QString &bad)
{
    std::fprintf(stderr,
                 "unknown or incomplete option %s\n"
                 "usage: flows_bench [--parts turnaround,silent,line] [--families update,monitor,module]\n"
                 "                   [--surface window|quiet] [--kib 1..64] [--silent-seconds N] [--profile]\n",
                 qPrintable(bad));
    std::exit(2);
}

TOptions ParseOptions(const QStringList &args)
{
    TOptions o;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        const QString value = hasValue ? args[i + 1] : QString();
        if (a == "--profile") {
            o.Profile = true;
            continue;
        }
        if (!hasValue)
            Usage(a);
        ++i;
        if (a == "--parts")
            o.Parts = value.split(',', Qt::SkipEmptyParts);
        else if (a == "--families")
            o.Families = value.split(',', Qt::SkipEmptyParts);
        else if (a == "--surface" && (value == "window" || value == "quiet"))
            o.Surfaces = QStringList{value};
        else if (a == "--kib")
            o.Kib = std::clamp(value.toInt(), 1, 64);
        else if (a == "--silent-seconds")
            o.SilentSeconds = std::max(1, value.toInt());
        else
            Usage(a + " " + value);
    }
    return o;
}

// ---------------------------------------------------------------------------------------------
// The operator's side. "window": the program's own main window (TMainF) on the update page,
// painted on the offscreen platform, with its message boxes answered Yes/OK, so that the gauge,
// label and status-line updates and their repaints cost what they cost in the program.
// "quiet": no widgets; pending events are handled, nothing is shown. Both can note when the
// flow sets the gauge and handles the window's events, for the --profile breakdown.

struct TMarks {
    bool On = false;
    struct TMark {
        char Kind; // G: gauge position set, L: lines-sent label set, p/P: event handling begins/ends
        qint64 Ns;
    };
    std::vector<TMark> List;
    void Mark(char kind)
    {
        if (On)
            List.push_back({kind, TPtyUnit::NowNs()});
    }
};

class TQuietSurface : public TOperatorSurface {
public:
    explicit TQuietSurface(TMarks &marks) : marks_(marks) {}
    void SetStatusText(const QString &text) override { text_ = text; }
    QString StatusText() const override { return text_; }
    void ReportBox(const QString &, const QString &, TBoxIcon) override {}
    bool AskYesNo(const QString &, const QString &) override { return true; }
    void SetGaugeMaximum(int) override {}
    void SetGaugePosition(int) override { marks_.Mark('G'); }
    void SetLinesSent(const QString &) override { marks_.Mark('L'); }
    void ProcessPendingMessages() override
    {
        marks_.Mark('p');
        QCoreApplication::processEvents();
        marks_.Mark('P');
    }
    QString UpdateFileName() const override { return FileName; }
    void SetFileWarning(const QString &) override {}

    QString FileName;

private:
    TMarks &marks_;
    QString text_ = QStringLiteral("Ready.");
};

class TBenchMainF : public TMainF {
public:
    TBenchMainF(TCustomComPort *port, TLinkClock *clock, TMarks &marks)
        : TMainF(false, port, clock), marks_(marks) {}
    void SetGaugePosition(int position) override
    {
        marks_.Mark('G');
        TMainF::SetGaugePosition(position);
    }
    void SetLinesSent(const QString &caption) override
    {
        TMainF::SetLinesSent(caption);
        marks_.Mark('L');
    }
    void ProcessPendingMessages() override
    {
        marks_.Mark('p');
        TMainF::ProcessPendingMessages();
        marks_.Mark('P');
    }
    void TerminateApplication() override {}

protected:
    int RunBox(QMessageBox &box) override
    {
        return box.standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok;
    }

private:
    TMarks &marks_;
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
    std::function<TUpdateOutcome(TLink &, const TUnitType &)> Flow;
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

// Whether the unit took the whole file as it is, checked against the unit's own record of it.
QString UnitVerdict(TUnitModel &unit, const QByteArray &file)
{
    QList<QByteArray> lines = file.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    QList<QByteArray> dataLines;
    for (const QByteArray &line : lines)
        if (line.startsWith("S1"))
            dataLines << line;

    bool ok = false;
    if (auto *u = dynamic_cast<TUpdateModeUnit *>(&unit)) {
        ok = u->Finished && u->Accepted == lines && u->Lines.size() == lines.size();
    } else if (auto *u = dynamic_cast<TModuleUnit *>(&unit)) {
        QList<QByteArray> expected;
        for (const QByteArray &line : dataLines)
            expected << line;
        ok = u->Finished && u->Records == expected && u->RecordsAccepted == expected.size();
    } else if (auto *u = dynamic_cast<TMonitorUnit *>(&unit)) {
        QMap<int, quint8> expected;
        for (const QByteArray &line : dataLines) {
            const QByteArray bytes = QByteArray::fromHex(line.mid(2));
            const int address = (quint8(bytes[1]) << 8) | quint8(bytes[2]);
            for (int i = 3; i < bytes.size() - 1; ++i)
                expected[address + i - 3] = quint8(bytes[i]);
        }
        ok = u->Finished && u->Programmed == expected && u->DataCommands == expected.size();
    }
    return ok ? QStringLiteral("unit holds the file") : QStringLiteral("UNIT DOES NOT HOLD THE FILE");
}

struct TRun {
    bool Ok = false;
    QString Profile;
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

// ---------------------------------------------------------------------------------------------
// The transfer phase in a run's exchanges.

struct TTransfer {
    bool Found = false;
    size_t First = 0;   // the exchange whose answer opens the phase (erase answer / contact answer)
    size_t Last = 0;    // the end answer
    double Seconds = 0; // first byte of the first command in -> last byte of the end answer out
    std::vector<double> LatenessUs; // per exchange: answer out later than the wire allows
    qint64 HostBytes = 0;
    qint64 UnitBytes = 0;
    std::vector<double> TurnaroundUs; // every answer in the phase but the end answer
};

TTransfer FindTransfer(const TFamily &family, const std::vector<TPtyUnit::TExchange> &ex, int baud)
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
    for (size_t i = first + 1; i <= last; ++i) {
        const qint64 bytes = ex[i].HostBytesThrough - ex[i - 1].HostBytesBeforeNext + ex[i].Answer.size();
        const double wireNs = baud > 0 ? double(bytes) * 1e10 / baud : 0.0;
        t.LatenessUs.push_back((double(ex[i].AnswerOutNs - ex[i - 1].NextInNs) - wireNs) / 1000.0);
    }
    for (size_t i = first + 1; i < last; ++i)
        if (ex[i].NextInNs >= 0)
            t.TurnaroundUs.push_back(double(ex[i].NextInNs - ex[i].AnswerOutNs) / 1000.0);
    return t;
}

// The real port, noting when a byte is taken, and when a purge and a write begin and end.
class TMarkedPort : public TComPort {
public:
    explicit TMarkedPort(TMarks &marks) : marks_(marks) {}
    int ReadBytes(QByteArray &text, int n) override
    {
        const int got = TComPort::ReadBytes(text, n);
        if (got > 0)
            marks_.Mark('R');
        return got;
    }
    void PurgeQueues(bool input, bool output) override
    {
        marks_.Mark('u');
        TComPort::PurgeQueues(input, output);
        marks_.Mark('U');
    }
    int WriteBytes(const QByteArray &text) override
    {
        marks_.Mark('w');
        const int written = TComPort::WriteBytes(text);
        marks_.Mark('W');
        return written;
    }

private:
    TMarks &marks_;
};

// Where the host's time goes between a unit answer and the next command: for every exchange of
// the transfer phase, the steps the marks show, in order, with the median and 90th percentile
// of each step. Exchanges that end a record (the gauge is set) and those within a record (the
// monitor's bytes) are told apart.
QString Profile(const std::vector<TPtyUnit::TExchange> &exchanges, size_t first, size_t last, const TMarks &marks)
{
    struct TStep {
        QString Name;
        std::vector<double> Us;
    };
    std::vector<TStep> steps[2]; // [0] within a record, [1] ending a record
    size_t m = 0;
    for (size_t i = first + 1; i < last; ++i) {
        const auto &e = exchanges[i];
        if (e.NextInNs < 0)
            continue;
        while (m < marks.List.size() && marks.List[m].Ns < e.AnswerOutNs)
            ++m;
        std::map<char, qint64> at;
        for (size_t k = m; k < marks.List.size() && marks.List[k].Ns < e.NextInNs; ++k) {
            const auto &mark = marks.List[k];
            if (mark.Kind == 'P') {
                if (!at.count('u'))
                    at['P'] = mark.Ns; // the last event handling before the purge
            } else if (!at.count(mark.Kind)) {
                at[mark.Kind] = mark.Ns;
            }
        }
        static const std::pair<char, const char *> order[] = {
            {'R', "answer byte taken"}, {'G', "gauge set"},   {'L', "label set"},   {'P', "window events handled"},
            {'u', "purge begins"},      {'U', "purge done"}, {'w', "write begins"}, {'W', "write done"}};
        std::vector<std::pair<QString, qint64>> points{{"answer out", e.AnswerOutNs}};
        for (const auto &[kind, name] : order)
            if (at.count(kind) && at[kind] >= points.back().second)
                points.push_back({name, at[kind]});
        points.push_back({"command in", e.NextInNs});
        auto &list = steps[at.count('G') ? 1 : 0];
        for (size_t k = 1; k < points.size(); ++k) {
            const QString name = points[k - 1].first + " -> " + points[k].first;
            auto it = std::find_if(list.begin(), list.end(), [&](const TStep &st) { return st.Name == name; });
            if (it == list.end()) {
                list.push_back({name, {}});
                it = list.end() - 1;
            }
            it->Us.push_back(double(points[k].second - points[k - 1].second) / 1000.0);
        }
    }
    QString out;
    const char *titles[2] = {"exchanges within a record", "exchanges that end a record"};
    for (int c = 0; c < 2; ++c) {
        if (steps[c].empty())
            continue;
        out += QString::asprintf("    %s: step, median us, p90 us, count\n", titles[c]);
        for (TStep &st : steps[c]) {
            std::sort(st.Us.begin(), st.Us.end());
            out += QString::asprintf("      %-52s %8.1f %8.1f %7zu\n", qPrintable(st.Name), st.Us[st.Us.size() / 2],
                                     st.Us[(st.Us.size() - 1) * 9 / 10], st.Us.size());
        }
    }
    return out;
}

TRun RunFlow(const TFamily &family, const QString &fileName, int paceBaud,
             TFaultScript script, bool window, int stopAfterMs, bool profile)
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

    TMarks marks;
    marks.On = profile;
    TMarkedPort port(marks);
    port.SetPort(pty.SlavePath());
    TSystemClock clock;
    std::unique_ptr<TBenchMainF> mainWindow;
    std::unique_ptr<TQuietSurface> quiet;
    std::unique_ptr<TWizardState> quietState;
    std::unique_ptr<TLink> quietLink;
    TLink *link = nullptr;
    if (window) {
        mainWindow = std::make_unique<TBenchMainF>(&port, &clock, marks);
        mainWindow->show();
        mainWindow->ShowPagePanel(5);
        mainWindow->SetDialogFileName(fileName);
        QCoreApplication::processEvents();
        link = &mainWindow->Link();
    } else {
        quiet = std::make_unique<TQuietSurface>(marks);
        quiet->FileName = fileName;
        quietState = std::make_unique<TWizardState>();
        quietLink = std::make_unique<TLink>(*quiet, port, clock, *quietState);
        link = quietLink.get();
    }
    TWizardState &state = link->State;
    state.SelectedUnit = family.UnitType;
    state.UpdateRunning = true;
    state.UpdateActive = true;

    // The technician's press of Stop, for the silent-unit runs.
    QTimer stopPress;
    stopPress.setSingleShot(true);
    QObject::connect(&stopPress, &QTimer::timeout, [&state] { state.StopRequested = true; });
    if (stopAfterMs > 0)
        stopPress.start(stopAfterMs);

    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    run.Ok = family.Flow(*link, *FindUnitType(family.UnitType)).IsCompleted();
    run.WallS = double(wall.nsecsElapsed()) / 1e9;
    run.CpuS = CpuSeconds() - cpu0;

    pty.Stop();
    run.FinalStatus = link->Surface.StatusText();
    run.Exchanges = pty.Exchanges();
    QFile file(fileName);
    run.Verdict = file.open(QIODevice::ReadOnly) ? UnitVerdict(*unit, file.readAll()) : QStringLiteral("?");
    if (profile) {
        const TTransfer t = FindTransfer(family, run.Exchanges, 0);
        if (t.Found)
            run.Profile = Profile(run.Exchanges, t.First, t.Last, marks);
    }
    return run;
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
};

// Qt's offscreen platform warns about window features it lacks; nothing else is dropped.
void QuietOffscreenWarnings(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtWarningMsg && (text.contains("propagateSizeHints") || text.contains("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool WriteFile(const QString &path, const QByteArray &contents)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(contents) == contents.size();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietOffscreenWarnings);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // rows appear as they are measured, also into a file
    QApplication app(argc, argv);
    const TOptions options = ParseOptions(app.arguments());

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const int dataBytes = options.Kib * 1024;
    const int records = (dataBytes + 31) / 32;
    const TFiles wide{dir.filePath("bench32.s19")};   // S3 records
    const TFiles narrow{dir.filePath("bench16.s19")}; // S1 records
    const TFiles tinyWide{dir.filePath("tiny32.s19")};
    const TFiles tinyNarrow{dir.filePath("tiny16.s19")};
    if (!WriteFile(wide.Path, MakeUpdateFile(dataBytes, true)) || !WriteFile(narrow.Path, MakeUpdateFile(dataBytes, false))
        || !WriteFile(tinyWide.Path, MakeUpdateFile(32, true)) || !WriteFile(tinyNarrow.Path, MakeUpdateFile(32, false))) {
        std::fprintf(stderr, "cannot write the update files\n");
        return 1;
    }
    const bool window = options.Surfaces.first() == "window";

    std::printf("Update flows over a pseudo-terminal: %d KiB of data in %d records of 32 bytes\n\n", options.Kib,
                records);
    bool allOk = true;

    // 1. Host turnaround, unpaced.
    if (options.Parts.contains("turnaround")) {
        std::printf("Host turnaround per exchange of the transfer phase: unit answer out -> host's next command in,\n"
                    "taken at the unit's end of an unpaced pty\n");
        std::printf("%-28s %-7s %9s %10s %9s %10s %8s  %s\n", "flow", "surface", "exchanges", "median us", "p99 us",
                    "max us", "flow s", "outcome");
        for (const TFamily &family : Families()) {
            if (!options.Families.contains(family.Key))
                continue;
            for (const QString &surface : options.Surfaces) {
                const TFiles &files = family.UpdateMode ? wide : narrow;
                const TRun run = RunFlow(family, files.Path, 0, {},
                                         surface == "window", 0, options.Profile);
                const TTransfer t = FindTransfer(family, run.Exchanges, 0);
                allOk = allOk && run.Ok && t.Found;
                std::printf("%-28s %-7s %9zu %10.1f %9.1f %10.1f %8.2f  %s; %s\n", family.Name, qPrintable(surface),
                            t.TurnaroundUs.size(), Percentile(t.TurnaroundUs, 0.5), Percentile(t.TurnaroundUs, 0.99),
                            t.TurnaroundUs.empty() ? 0.0 : *std::max_element(t.TurnaroundUs.begin(), t.TurnaroundUs.end()),
                            run.WallS, qPrintable(run.FinalStatus), qPrintable(run.Verdict));
                std::printf("%s", qPrintable(run.Profile));
            }
        }
        std::printf("\n");
    }

    // 2. CPU while waiting for a silent unit.
    if (options.Parts.contains("silent")) {
        std::printf("CPU of the whole process while a flow waits for a unit that never answers (%s surface)\n",
                    window ? "window" : "quiet");
        std::printf("%-28s %8s %8s %8s  %s\n", "flow", "wall s", "CPU s", "share", "how it ended");
        for (const TFamily &family : Families()) {
            if (!options.Families.contains(family.Key))
                continue;
            TFaultScript silent;
            silent.Rules.push_back({TUnitStage::Contact, 0, std::nullopt, -1, 0});
            // The update-mode flow would retry contact for five passes of 10 s: Stop is pressed
            // (and confirmed) after the given seconds. The bootloader flows give up by
            // themselves after their fixed waits and one contact time-out.
            const int stopAfter = family.UpdateMode ? options.SilentSeconds * 1000 : 0;
            const TFiles &files = family.UpdateMode ? tinyWide : tinyNarrow;
            const TRun run = RunFlow(family, files.Path, 0, silent, window, stopAfter,
                                     false);
            std::printf("%-28s %8.3f %8.4f %7.2f%%  %s\n", family.Name, run.WallS, run.CpuS,
                        100.0 * run.CpuS / run.WallS, qPrintable(run.FinalStatus));
        }
        std::printf("\n");
    }

    // 3. Full update against a line-paced unit, against the line-rate limit.
    if (options.Parts.contains("line")) {
        std::printf("Full update against a unit paced at the flow's bit rate, 10 bits per byte both ways (%s surface)\n",
                    window ? "window" : "quiet");
        std::printf("%-28s %5s %10s %9s %10s %7s %7s %7s %8s %8s  %s\n", "flow", "baud", "wire bytes", "limit s",
                    "transfer s", "over", "host", "line", "other s", "flow s", "outcome");
        std::vector<QString> details;
        for (const TFamily &family : Families()) {
            if (!options.Families.contains(family.Key))
                continue;
            const TFiles &files = family.UpdateMode ? wide : narrow;
            const TRun run = RunFlow(family, files.Path, family.Baud, {}, window, 0,
                                     options.Profile);
            const TTransfer t = FindTransfer(family, run.Exchanges, family.Baud);
            allOk = allOk && run.Ok && t.Found;
            const qint64 wire = t.HostBytes + t.UnitBytes;
            const double limit = double(wire) * 10.0 / family.Baud;
            const double hostS = Sum(t.TurnaroundUs) / 1e6;
            const double lineS = t.Seconds - limit - hostS;
            std::printf("%-28s %5d %10lld %9.3f %10.3f %6.2f%% %6.2f%% %6.2f%% %8.2f %8.2f  %s; %s\n", family.Name,
                        family.Baud, (long long)wire, limit, t.Seconds, 100.0 * (t.Seconds / limit - 1.0),
                        100.0 * hostS / limit, 100.0 * lineS / limit, run.WallS - t.Seconds, run.WallS,
                        qPrintable(run.FinalStatus), qPrintable(run.Verdict));
            std::printf("%s", qPrintable(run.Profile));
            details.push_back(QString::asprintf(
                "%-28s host->unit %lld bytes, unit->host %lld bytes in %zu exchanges; host turnaround median %.1f us, "
                "p99 %.1f us; line lateness median %.1f us",
                family.Name, (long long)t.HostBytes, (long long)t.UnitBytes, t.LatenessUs.size(),
                Percentile(t.TurnaroundUs, 0.5), Percentile(t.TurnaroundUs, 0.99), Percentile(t.LatenessUs, 0.5)));
        }
        for (const QString &d : details)
            std::printf("%s\n", qPrintable(d));
        std::printf("over: transfer time above the limit. host: the host's turnarounds, summed. line: the rest, the\n"
                    "simulated line's own lateness (its thread wakes a little after each byte is due). other: the\n"
                    "flow's time outside the transfer phase (fixed waits, bootloader download, file check, closing).\n");
    }
    return allOk ? 0 : 1;
}
