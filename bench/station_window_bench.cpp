// The station window against the command line at a production station's scale: 1, 4 and 16
// update-mode units, each a varnel-unitsim process on a pseudo-terminal of its own paced at
// 57600 baud, updated once through varnel-station (headless, on the offscreen platform: the
// real window, its tiles repainted as on a screen) and once through varnel-cli, row after row
// in one run, every unit with the same file.
//
// For every row: each unit's update time (durationMs of its record in the report both front
// ends write) against the single-unit time of the same front end; the CPU time of the front
// end's main thread (the window's thread, or the console's), sampled from
// /proc/PID/task/PID/stat while it runs; the whole process's CPU (user + system of the reaped
// child); its peak resident memory (VmHWM, sampled while it runs).
//
// Usage: station_window_bench [--units 1,4,16] [--kib 64] [--fronts window,cli] [--bin BUILD_DIR]
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

const char *const Unit = "TVR-4200";
const char *const FileName = "T4264K.s19"; // passes the TVR-4200's file-name rule
const int Baud = 57600;

struct TRow {
    QString Front;
    int Units = 0;
    std::vector<double> Seconds; // per unit, from the records
    int Completed = 0;
    double MainThreadCpu = 0;
    double ProcessCpu = 0;
    double WallSeconds = 0;
    qint64 PeakRssKiB = 0;
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

// User + system seconds of the process's main thread (its task id is the process id).
double MainThreadCpu(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/task/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name (which may hold blanks) start after its ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks; // utime, stime
}

QString StartUnit(QProcess &unit, const QString &unitsim)
{
    unit.setProgram(unitsim);
    unit.setArguments({"--family", "update-mode", "--pace", QString::number(Baud)});
    unit.start();
    if (!unit.waitForStarted(5000))
        return {};
    QElapsedTimer wait;
    wait.start();
    while (!unit.canReadLine() && wait.elapsed() < 5000)
        unit.waitForReadyRead(100);
    return QString::fromUtf8(unit.readLine()).trimmed();
}

QString Sha256(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

TRow RunRow(const QString &front, int units, const QString &bin, const QString &file, const QString &dir)
{
    TRow row;
    row.Front = front;
    row.Units = units;
    std::vector<std::unique_ptr<QProcess>> sims;
    QStringList ports;
    for (int i = 0; i < units; ++i) {
        sims.push_back(std::make_unique<QProcess>());
        const QString port = StartUnit(*sims.back(), bin + "/unitsim/varnel-unitsim");
        if (port.isEmpty()) {
            row.Note = QStringLiteral("unit %1 did not start").arg(i);
            return row;
        }
        ports << port;
    }

    const QString report = QStringLiteral("%1/%2-%3.jsonl").arg(dir, front).arg(units);
    QFile::remove(report);
    QProcess process;
    if (front == QLatin1String("window")) {
        QJsonArray bays;
        for (int i = 0; i < units; ++i)
            bays.append(QJsonObject{{"name", QStringLiteral("B%1").arg(i + 1)}, {"port", ports[i]}});
        const QJsonObject job{{"unit", Unit}, {"file", file},       {"sha256", Sha256(file)},
                              {"restart", "no"}, {"report", report}, {"bays", bays}};
        const QString jobPath = QStringLiteral("%1/bench%2.json").arg(dir).arg(units);
        QFile jobFile(jobPath);
        jobFile.open(QIODevice::WriteOnly | QIODevice::Truncate);
        jobFile.write(QJsonDocument(job).toJson());
        jobFile.close();
        process.setProgram(bin + "/app/station/varnel-station");
        process.setArguments({"--headless", "--job", jobPath, "--screenshot",
                              QStringLiteral("%1/station-%2.png").arg(dir).arg(units)});
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(environment);
    } else {
        QStringList args = {"update", "--unit", Unit, "--file", file, "--yes", "--restart", "no", "--report", report};
        for (const QString &p : ports)
            args << "--port" << p;
        process.setProgram(bin + "/cli/varnel-cli");
        process.setArguments(args);
    }

    const double cpuBefore = CpuOfReapedChildren();
    QElapsedTimer clock;
    clock.start();
    process.start();
    process.waitForStarted(5000);
    const qint64 pid = process.processId();
    while (!process.waitForFinished(100)) {
        row.PeakRssKiB = std::max(row.PeakRssKiB, PeakRssKiB(pid));
        const double cpu = MainThreadCpu(pid);
        if (cpu >= 0)
            row.MainThreadCpu = cpu;
        process.readAllStandardOutput();
    }
    row.WallSeconds = clock.elapsed() / 1000.0;
    row.ProcessCpu = CpuOfReapedChildren() - cpuBefore;
    row.ExitCode = process.exitCode();
    if (row.ExitCode != 0)
        row.Note = QString::fromUtf8(process.readAllStandardError()).trimmed().section('\n', -1);

    QFile records(report);
    if (records.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : records.readAll().split('\n')) {
            const QJsonObject record = QJsonDocument::fromJson(line).object();
            if (record.isEmpty())
                continue;
            row.Seconds.push_back(record.value("durationMs").toDouble() / 1000.0);
            if (record.value("outcome").toString() == QLatin1String("completed"))
                ++row.Completed;
        }
    }
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
    std::vector<int> counts = {1, 4, 16};
    QStringList fronts = {"window", "cli"};
    int kib = 64;
    QString bin = QDir(QCoreApplication::applicationDirPath() + "/..").absolutePath();
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); i += 2) {
        if (a[i] == "--units") {
            counts.clear();
            for (const QString &n : a[i + 1].split(','))
                counts.push_back(n.toInt());
        } else if (a[i] == "--fronts")
            fronts = a[i + 1].split(',');
        else if (a[i] == "--kib")
            kib = std::clamp(a[i + 1].toInt(), 1, 64);
        else if (a[i] == "--bin")
            bin = QDir(a[i + 1]).absolutePath();
        else {
            std::fprintf(stderr, "station_window_bench: unknown option %s\n", qPrintable(a[i]));
            return 2;
        }
    }

    QTemporaryDir dir;
    const QString file = dir.path() + "/" + FileName;
    QProcess make;
    make.start(bin + "/samples/make_samples", {"--size", QString::number(kib * 1024), "--variant", "32", "--out", file});
    if (!make.waitForFinished(60000) || make.exitCode() != 0) {
        std::fprintf(stderr, "station_window_bench: make_samples failed: %s\n", make.readAllStandardError().constData());
        return 1;
    }
    std::printf("| Front end | Units | Completed | Median unit time (s) | Slowest (s) | vs alone | Main thread CPU (s) | "
                "Main thread, share of a core | Process CPU (s) | Peak RSS (MiB) | Note |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    std::fflush(stdout);
    // The rows of both front ends alternate, so that a change of the machine's load touches both.
    std::map<QString, double> alone;
    for (int units : counts) {
        for (const QString &front : fronts) {
            const TRow row = RunRow(front, units, bin, file, dir.path());
            const double median = Median(row.Seconds);
            const double slowest = row.Seconds.empty() ? 0 : *std::max_element(row.Seconds.begin(), row.Seconds.end());
            if (units == 1)
                alone[front] = median;
            const double single = alone.count(front) ? alone[front] : 0;
            const QString versus = single > 0 ? QStringLiteral("%1 %").arg((slowest / single - 1) * 100, 0, 'f', 1)
                                              : QStringLiteral("-");
            const double share = row.WallSeconds > 0 ? row.MainThreadCpu / row.WallSeconds * 100 : 0;
            std::printf("| %s | %d | %d/%d | %.2f | %.2f | %s | %.2f | %.1f %% | %.2f | %.1f | %s |\n",
                        qPrintable(front), units, row.Completed, units, median, slowest, qPrintable(versus),
                        row.MainThreadCpu, share, row.ProcessCpu, row.PeakRssKiB / 1024.0, qPrintable(row.Note));
            std::fflush(stdout);
        }
    }
    return 0;
}
