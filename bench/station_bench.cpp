// A production station's scale: one varnel-cli command updating 1, 4 and 16 simulated units at
// once, each unit a varnel-unitsim process on a pseudo-terminal of its own, paced at the
// family's line rate (10 bits a byte both ways), all units of a row with the same file.
//
// For every row: each unit's update time (from the command's start to the unit's outcome event
// on the JSON stream) against the single-unit time of the same family, the command's CPU time
// (user + system, from the kernel's account of the reaped child) and its peak resident memory
// (VmHWM, sampled while it runs). The units are not children that the measurement reaps: they
// run until the command has been accounted for, and are stopped afterwards.
//
// Usage: station_bench [--families update-mode,monitor,module] [--units 1,4,16] [--kib 64]
//                      [--bin BUILD_DIR]
// The module family is the first brand's: its command carries --brand-choice.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

struct TFamily {
    QString Key;
    QString Unit;     // the unit type the command is given
    QString FileName; // passes that unit's file-name rule
    int Variant;      // make_samples --variant
    int Baud;
};

const std::vector<TFamily> &Families()
{
    static const std::vector<TFamily> families = {
        {"update-mode", "TVR-4200", "T4264K.s19", 32, 57600},
        {"monitor", "TVR-3770", "T377064K.s19", 16, 19200},
        {"module", "KLN-12B", "GRA064K.s19", 16, 9600},
    };
    return families;
}

struct TRow {
    QString Family;
    int Units = 0;
    std::vector<double> Seconds; // per unit, in port order
    int Completed = 0;
    double CpuSeconds = 0;
    qint64 PeakRssKiB = 0;
    double WallSeconds = 0;
    int ExitCode = -1;
    QString Note;
};

double CpuOfReapedChildren()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

qint64 PeakRssKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Starts a simulated unit and returns its port, or an empty string.
QString StartUnit(QProcess &unit, const QString &unitsim, const TFamily &family, const QString &record)
{
    unit.setProgram(unitsim);
    unit.setArguments({"--family", family.Key, "--pace", QString::number(family.Baud), "--record", record});
    unit.start();
    if (!unit.waitForStarted(5000))
        return {};
    QElapsedTimer wait;
    wait.start();
    while (!unit.canReadLine() && wait.elapsed() < 5000)
        unit.waitForReadyRead(100);
    return QString::fromUtf8(unit.readLine()).trimmed();
}

TRow RunRow(const TFamily &family, int units, const QString &bin, const QString &file, const QString &dir)
{
    TRow row;
    row.Family = family.Key;
    row.Units = units;

    std::vector<std::unique_ptr<QProcess>> sims;
    QStringList ports;
    for (int i = 0; i < units; ++i) {
        sims.push_back(std::make_unique<QProcess>());
        const QString port = StartUnit(*sims.back(), bin + "/unitsim/varnel-unitsim", family,
                                       QStringLiteral("%1/record-%2-%3-%4").arg(dir, family.Key).arg(units).arg(i));
        if (port.isEmpty()) {
            row.Note = QStringLiteral("unit %1 did not start").arg(i);
            return row;
        }
        ports << port;
    }

    QStringList args = {"update", "--unit", family.Unit, "--file", file, "--yes", "--restart", "no", "--json"};
    if (family.Key == QLatin1String("module"))
        args << "--brand-choice"; // the communications modules are the first brand's
    for (const QString &p : ports)
        args << "--port" << p;

    const double cpuBefore = CpuOfReapedChildren();
    QProcess cli;
    cli.setProgram(bin + "/cli/varnel-cli");
    cli.setArguments(args);
    QElapsedTimer clock;
    clock.start();
    cli.start();
    cli.waitForStarted(5000);
    const qint64 pid = cli.processId();

    std::map<QString, double> done;
    QByteArray pending;
    while (cli.state() != QProcess::NotRunning) {
        cli.waitForReadyRead(100);
        row.PeakRssKiB = std::max(row.PeakRssKiB, PeakRssKiB(pid));
        pending += cli.readAllStandardOutput();
        int eol;
        while ((eol = pending.indexOf('\n')) >= 0) {
            const QJsonObject event = QJsonDocument::fromJson(pending.left(eol)).object();
            pending.remove(0, eol + 1);
            if (event.value("event").toString() != QLatin1String("outcome"))
                continue;
            const QString port = event.value("port").toString();
            done[port] = clock.elapsed() / 1000.0;
            if (event.value("kind").toString() == QLatin1String("completed"))
                ++row.Completed;
        }
    }
    cli.waitForFinished(-1);
    row.WallSeconds = clock.elapsed() / 1000.0;
    row.CpuSeconds = CpuOfReapedChildren() - cpuBefore;
    row.ExitCode = cli.exitCode();
    if (row.ExitCode != 0)
        row.Note = QString::fromUtf8(cli.readAllStandardError()).trimmed().section('\n', 0, 0);
    for (const QString &p : ports)
        row.Seconds.push_back(done.count(p) ? done[p] : -1.0);

    for (auto &sim : sims) {
        sim->terminate();
        sim->waitForFinished(5000);
    }
    return row;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList families = {"update-mode", "monitor", "module"};
    std::vector<int> counts = {1, 4, 16};
    int kib = 64;
    QString bin = QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); i += 2) {
        if (a[i] == "--families")
            families = a[i + 1].split(',');
        else if (a[i] == "--units") {
            counts.clear();
            for (const QString &n : a[i + 1].split(','))
                counts.push_back(n.toInt());
        } else if (a[i] == "--kib")
            kib = std::clamp(a[i + 1].toInt(), 1, 64);
        else if (a[i] == "--bin")
            bin = QDir(a[i + 1]).absolutePath();
        else {
            std::fprintf(stderr, "station_bench: unknown option %s\n", qPrintable(a[i]));
            return 2;
        }
    }

    QTemporaryDir dir;
    std::printf("| Family | Units | Baud | Completed | Median unit time (s) | Slowest (s) | vs single | CPU (s) | CPU per unit (s) | Peak RSS (MiB) | Note |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    std::fflush(stdout);
    for (const TFamily &family : Families()) {
        if (!families.contains(family.Key))
            continue;
        const QString file = dir.path() + "/" + family.FileName;
        QProcess make;
        make.start(bin + "/samples/make_samples", {"--size", QString::number(kib * 1024), "--variant",
                                                   QString::number(family.Variant), "--out", file});
        if (!make.waitForFinished(60000) || make.exitCode() != 0) {
            std::fprintf(stderr, "station_bench: make_samples failed: %s\n", make.readAllStandardError().constData());
            return 1;
        }
        double single = 0;
        for (int units : counts) {
            const TRow row = RunRow(family, units, bin, file, dir.path());
            const double median = Median(row.Seconds);
            const double slowest = row.Seconds.empty() ? 0 : *std::max_element(row.Seconds.begin(), row.Seconds.end());
            if (units == 1)
                single = median;
            const QString versus = single > 0 ? QStringLiteral("%1 %").arg((slowest / single - 1) * 100, 0, 'f', 1)
                                              : QStringLiteral("-");
            std::printf("| %s | %d | %d | %d/%d | %.2f | %.2f | %s | %.2f | %.3f | %.1f | %s |\n",
                        qPrintable(family.Key), units, family.Baud, row.Completed, units, median, slowest,
                        qPrintable(versus), row.CpuSeconds, units ? row.CpuSeconds / units : 0,
                        row.PeakRssKiB / 1024.0, qPrintable(row.Note));
            std::fflush(stdout);
        }
    }
    return 0;
}
