// varnel-cli update: every port's update on a thread of its own, the console on the main thread.
#include "cli/Commands.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <memory>
#include <vector>

#include "cli/CliTexts.h"
#include "cli/ConsoleSurface.h"
#include "cli/ExitCodes.h"
#include "station/PortWorker.h"
#include "cli/UnitLookup.h"
#include "cli/UpdateConsole.h"
#include "station/StationRecord.h"
#include "station/UpdateReport.h"
#include "seriallink/LinkClock.h"
#include "seriallink/PortPlatform.h"
#include "seriallink/PortScan.h"
#include "seriallink/TComPort.h"
#include "updatefile/FileNameRules.h"
#include "updatefile/FileSummary.h"
#include "updatefile/FormatCheck.h"

namespace {
// How long a port's thread may take to end once its flow has ended.
constexpr int PortThreadJoinMs = 5000;

QString Text(const char *text)
{
    return QString::fromUtf8(text);
}

// The port's facts and whether it can be had, before anything is sent. Empty when it can;
// else the one-line reason.
QString PortProblem(const QString &name, const QStringList &known)
{
    TComPort port;
    TSystemClock clock;
    TWizardState state;
    TConsoleSurface surface(nullptr, QString());
    TLink link(surface, port, clock, state);
    if (link.ProbePort(name))
        return QString();
    if (port.LastOpenDenied())
        return Text(CliTexts::PortDenied).arg(name);
    const bool exists = known.contains(name) || QFileInfo::exists(PortDeviceLocation(name));
    if (!exists)
        return Text(CliTexts::PortMissing)
            .arg(name, known.isEmpty() ? Text(CliTexts::PortNoneKnown) : known.join(QStringLiteral(", ")));
    std::optional<TPortHolder> holder;
    try {
        holder = port.FindPortHolder(name);
    } catch (...) {
    }
    const QString who = holder ? Text(CliTexts::PortHeldBy)
                                     .arg(QStringLiteral("%1 (pid %2)")
                                              .arg(holder->Program.isEmpty() ? QStringLiteral("a program") : holder->Program)
                                              .arg(holder->Pid))
                               : Text(CliTexts::PortHeld);
    return Text(CliTexts::PortBusy).arg(name, who);
}

QStringList KnownPorts()
{
    TComPort port;
    QStringList names;
    try {
        port.ListSerialPorts(names);
    } catch (...) {
        names.clear();
    }
    return names;
}

// The device a port name leads to, links followed, so that two names of one line are told as one:
// two updates on one line would interleave their bytes and program the unit with neither file.
QString DeviceKey(const QString &name)
{
    const QString location = PortDeviceLocation(name);
    const QString canonical = QFileInfo(location).canonicalFilePath();
    // Where the device is no file (a Windows COM port), its name is compared letter case aside.
    return canonical.isEmpty() ? location.toUpper() : canonical;
}

// The options besides unit, file and ports that a retry takes over.
QStringList RetryOptions(const TCliOptions &options)
{
    QStringList words;
    if (options.Yes)
        words << QStringLiteral("--yes");
    if (options.Restart)
        words << QStringLiteral("--restart") << (*options.Restart ? QStringLiteral("yes") : QStringLiteral("no"));
    if (!options.ReportPath.isEmpty())
        words << QStringLiteral("--report") << QFileInfo(options.ReportPath).absoluteFilePath();
    if (options.BrandChoice)
        words << QStringLiteral("--brand-choice");
    return words;
}
} // namespace

int RunUpdateCommand(const TCliOptions &options, QTextStream &out, QTextStream &err)
{
    const bool canAsk = StdinIsTerminal();
    if (!canAsk && !options.Yes)
        return Fail(err, ExitCode::Usage, Text(CliTexts::NeedYes));

    QString error;
    const TUnitType *found = LookUpUnit(options.Unit, OfferedUnits(options.BrandChoice), error);
    if (!found)
        return Fail(err, ExitCode::UnknownUnit, error);
    const TUnitType unit = *found;
    if (!canAsk && unit.Flow == TUpdateFlowKind::UpdateMode && !options.Restart)
        return Fail(err, ExitCode::Usage, Text(CliTexts::NeedRestart).arg(unit.ShortName));

    // The update file: there, readable, named as the unit's rule wants (a warning only) and
    // valid for the unit's record variant, as the window checks it before the summary page.
    const QFileInfo fileInfo(options.File);
    const QString filePath = fileInfo.absoluteFilePath();
    if (!fileInfo.exists())
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileMissing).arg(options.File));
    if (!fileInfo.isFile())
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileNotAFile).arg(options.File));
    {
        QFile probe(filePath);
        if (!probe.open(QIODevice::ReadOnly))
            return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileUnreadable).arg(options.File, probe.errorString()));
    }
    QString warning;
    if (!CheckUpdateFileName(unit.Code, filePath, warning)) {
        err << Text(CliTexts::WarningPrefix) << Text(CliTexts::NameWarning).arg(warning) << '\n';
        err.flush();
    }
    {
        TWizardState state;
        TConsoleSurface surface(nullptr, filePath);
        if (CheckUpdateFileFormat(surface, state, unit.Variant) <= 0) {
            // What the check showed, then why nothing is sent.
            for (const QJsonValue &message : surface.Messages()) {
                const QJsonObject m = message.toObject();
                const QString title = m.value(QStringLiteral("title")).toString();
                err << (title.isEmpty() ? QString() : title + QStringLiteral(": ")) << m.value(QStringLiteral("text")).toString()
                    << '\n';
            }
            return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileRejected).arg(options.File, unit.ShortName));
        }
    }

    // The report must take lines before any unit is touched.
    if (!options.ReportPath.isEmpty()) {
        QFile report(options.ReportPath);
        if (QFileInfo(options.ReportPath).isDir() || !report.open(QIODevice::WriteOnly | QIODevice::Append))
            return Fail(err, ExitCode::FileProblem,
                        Text(CliTexts::ReportUnwritable)
                            .arg(options.ReportPath,
                                 QFileInfo(options.ReportPath).isDir() ? QStringLiteral("it is a folder") : report.errorString()));
    }

    // Every port one line of its own, there and free.
    QMap<QString, QString> devices;
    for (const QString &port : options.Ports) {
        const QString key = DeviceKey(port);
        if (devices.contains(key))
            return Fail(err, ExitCode::Usage, Text(CliTexts::PortTwice).arg(devices.value(key), port));
        devices.insert(key, port);
    }
    const QStringList known = KnownPorts();
    for (const QString &port : options.Ports) {
        const QString problem = PortProblem(port, known);
        if (!problem.isEmpty())
            return Fail(err, ExitCode::PortNotAvailable, problem);
    }

    // What the report and the progress rows name of each port's adapter.
    std::vector<TPortFacts> facts;
    QList<TUpdateConsole::TPortInfo> infos;
    {
        TComPort describer;
        for (const QString &port : options.Ports) {
            TPortFacts f;
            try {
                f = describer.DescribePort(port);
            } catch (...) {
            }
            facts.push_back(f);
            infos << TUpdateConsole::TPortInfo{port, f.SerialNumber};
        }
    }
    const std::optional<TFileSummary> fileSummary = SummariseUpdateFile(filePath);

    TUpdateConsole::TSettings settings;
    settings.Json = options.Json;
    settings.OutIsTerminal = StdoutIsTerminal();
    settings.Redraw = !options.Json && settings.OutIsTerminal && EnableTerminalEscapes();
    settings.CanAsk = canAsk;
    settings.Yes = options.Yes;
    settings.Restart = options.Restart;
    settings.Width = TerminalWidth();
    TUpdateConsole console(settings, infos, out, err);

    TInterruptWatch watch;
    console.TakeInterrupts = [&watch](bool *terminate) { return watch.TakeInterrupts(terminate); };
    QObject::connect(&watch, &TInterruptWatch::Interrupted, &console, &TUpdateConsole::Interrupt);

    const int portCount = int(options.Ports.size());
    std::vector<std::unique_ptr<TPortWorker>> workers;
    QList<TPortResult> results;
    std::vector<bool> ended(size_t(portCount), false);
    int endedCount = 0;
    bool reportFailed = false;
    QEventLoop loop;

    const auto portEnded = [&](int port, const TPortRun &run) {
        if (port < 0 || port >= portCount || ended[size_t(port)])
            return;
        ended[size_t(port)] = true;
        ++endedCount;
        TPortResult result;
        result.Port = options.Ports[port];
        result.UnitName = unit.ShortName;
        result.Outcome = run.Outcome;
        result.ExitCode = ExitCodeForOutcome(run.Outcome.Kind);
        result.DurationMs = run.DurationMs;
        result.LastStatus = run.LastStatus;
        result.Start = run.Start;
        result.End = run.End;
        results << result;
        console.Ended(port, result);

        if (!options.ReportPath.isEmpty()) {
            TRecordContext context;
            context.Unit = unit;
            context.Port = options.Ports[port];
            context.Adapter = facts[size_t(port)];
            context.FilePath = filePath;
            context.FileSize = fileInfo.size();
            context.File = fileSummary;
            const TUpdateRecord record = MakeUpdateRecord(context, run);
            QString why;
            if (!AppendReportLine(options.ReportPath, ReportLine(record), &why)) {
                reportFailed = true;
                Fail(err, ExitCode::FileProblem, Text(CliTexts::ReportAppendFailed).arg(options.Ports[port], why));
            }
        }
        if (endedCount == portCount)
            loop.quit();
    };

    for (int i = 0; i < portCount; ++i) {
        auto worker = std::make_unique<TPortWorker>(i, options.Ports[i], unit, filePath, console);
        worker->OnEnded = portEnded;
        workers.push_back(std::move(worker));
    }
    console.PostStop = [&workers](int port) {
        if (port >= 0 && port < int(workers.size()))
            workers[size_t(port)]->RequestStop();
    };
    for (int i = 0; i < portCount; ++i) {
        workers[size_t(i)]->start();
        if (!workers[size_t(i)]->isRunning() && workers[size_t(i)]->isFinished() == false) {
            // The thread could not be made: that port's update ends before it began.
            TPortRun run;
            run.Start = run.End = QDateTime::currentDateTimeUtc();
            run.Outcome.Kind = TOutcomeKind::Unexpected;
            Fail(err, ExitCode::Unexpected, Text(CliTexts::ThreadFailed).arg(options.Ports[i]));
            portEnded(i, run);
        }
    }
    if (endedCount < portCount)
        loop.exec();
    // Every flow has ended, and its thread ends right after. One that does not within the bound
    // is stuck in a system call that never returns (a driver): it is reported and left to the
    // end of the process, never waited for.
    bool threadStuck = false;
    for (size_t i = 0; i < workers.size(); ++i) {
        if (workers[i]->wait(QDeadlineTimer(PortThreadJoinMs)))
            continue;
        threadStuck = true;
        Fail(err, ExitCode::Unexpected, Text(CliTexts::ThreadStuck).arg(options.Ports[int(i)]));
        (void)workers[i].release(); // destroying a running thread would end the process at once
    }

    // The summary in the order the ports were named.
    QList<TPortResult> ordered;
    QList<int> codes;
    QStringList failed;
    for (const QString &port : options.Ports) {
        for (const TPortResult &result : results) {
            if (result.Port != port)
                continue;
            ordered << result;
            codes << result.ExitCode;
            if (!result.Outcome.IsCompleted())
                failed << port;
        }
    }
    if (reportFailed)
        codes << ExitCode::FileProblem;
    if (threadStuck)
        codes << ExitCode::Unexpected;
    const int exitCode = WorstExitCode(codes);
    const QString retry = failed.isEmpty() ? QString()
                                           : RetryCommand(QString::number(unit.Code), filePath, failed, RetryOptions(options));
    console.Finish(ordered, exitCode, retry);
    return exitCode;
}
