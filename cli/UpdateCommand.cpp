// varnel-cli update: every port's update on a thread of its own, the console on the main thread.
#include "cli/Commands.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "cli/CliTexts.h"
#include "cli/ConsoleSurface.h"
#include "cli/ExitCodes.h"
#include "cli/ProgressText.h"
#include "station/BayPorts.h"
#include "station/DurableFile.h"
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
#include "updatefile/TextLineReader.h"

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
        return Text(CliTexts::PortDenied).arg(PrintableName(name));
    const bool exists = known.contains(name) || QFileInfo::exists(PortDeviceLocation(name));
    if (!exists)
        return Text(CliTexts::PortMissing)
            .arg(PrintableName(name), known.isEmpty() ? Text(CliTexts::PortNoneKnown) : PrintableName(known.join(QStringLiteral(", "))));
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
    return Text(CliTexts::PortBusy).arg(PrintableName(name), PrintableName(who));
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

// The lines that stand before the file's header record, read as the flows read the file.
int LinesBeforeHeader(const QString &path)
{
    TTextLineReader reader;
    if (!reader.Open(path))
        return 0;
    int lines = 0;
    QByteArray line;
    while (!reader.Eof() && reader.ReadLine(line) && !line.startsWith("S0"))
        ++lines;
    return line.startsWith("S0") ? lines : 0;
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
    return RunUpdate(options, TUpdateExtras{}, out, err);
}

int RunUpdate(const TCliOptions &options, const TUpdateExtras &extras, QTextStream &out, QTextStream &err)
{
    // A question must reach a person: the answer is read from standard input, the question shown
    // on standard output (a terminal, no --json), standard error or, when both go to a log, the
    // controlling terminal. With none of them, a question would wait where nobody sees it.
    const bool inIsTerminal = StdinIsTerminal();
    QFile controllingTerminal;
    std::unique_ptr<QTextStream> askTo;
    bool questionShown = (!options.Json && StdoutIsTerminal()) || StderrIsTerminal();
    if (inIsTerminal && !questionShown && OpenControllingTerminal(controllingTerminal)) {
        askTo = std::make_unique<QTextStream>(&controllingTerminal);
        questionShown = true;
    }
    const bool canAsk = inIsTerminal && questionShown;
    const QString noQuestion = Text(inIsTerminal ? CliTexts::NoTerminalShown : CliTexts::NoTerminalIn);
    if (!canAsk && !options.Yes)
        return Fail(err, ExitCode::Usage, Text(CliTexts::NeedYes).arg(noQuestion));

    QString error;
    const TUnitType *found = LookUpUnit(options.Unit, OfferedUnits(options.BrandChoice), error);
    if (!found)
        return Fail(err, ExitCode::UnknownUnit, error);
    const TUnitType unit = *found;
    if (!canAsk && unit.Flow == TUpdateFlowKind::UpdateMode && !options.Restart)
        return Fail(err, ExitCode::Usage, Text(CliTexts::NeedRestart).arg(noQuestion, unit.ShortName));

    // The update file: there, readable, named as the unit's rule wants (a warning only) and
    // valid for the unit's record variant, as the window checks it before the summary page.
    const QFileInfo fileInfo(options.File);
    const QString filePath = fileInfo.absoluteFilePath();
    // What is checked and sent: a job's copy of the file that matched its hash, else the file.
    const QString sendPath = extras.SendPath.isEmpty() ? filePath : extras.SendPath;
    if (!fileInfo.exists())
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileMissing).arg(PrintableName(options.File)));
    if (!fileInfo.isFile())
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileNotAFile).arg(PrintableName(options.File)));
    {
        QFile probe(filePath);
        if (!probe.open(QIODevice::ReadOnly))
            return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileUnreadable).arg(PrintableName(options.File), probe.errorString()));
    }
    QString warning;
    if (!CheckUpdateFileName(unit.Code, filePath, warning)) {
        err << Text(CliTexts::WarningPrefix) << Text(CliTexts::NameWarning).arg(warning) << '\n';
        err.flush();
    }
    int flowRecords = 0; // the records the format check counts: the flows' gauge maximum
    {
        TWizardState state;
        TConsoleSurface surface(nullptr, sendPath);
        flowRecords = CheckUpdateFileFormat(surface, state, unit.Variant);
        if (flowRecords <= 0) {
            // What the check showed, then why nothing is sent.
            for (const QJsonValue &message : surface.Messages()) {
                const QJsonObject m = message.toObject();
                const QString title = m.value(QStringLiteral("title")).toString();
                err << (title.isEmpty() ? QString() : title + QStringLiteral(": ")) << m.value(QStringLiteral("text")).toString()
                    << '\n';
            }
            return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileRejected).arg(PrintableName(options.File), unit.ShortName));
        }
    }

    // The report must take lines before any unit is touched.
    // It is not made here: the first record makes it, and flushes its folder with it.
    if (!options.ReportPath.isEmpty()) {
        QString why;
        if (QFileInfo(options.ReportPath).isDir() || !CanAppendTo(options.ReportPath, &why))
            return Fail(err, ExitCode::FileProblem,
                        Text(CliTexts::ReportUnwritable)
                            .arg(options.ReportPath, QFileInfo(options.ReportPath).isDir() ? QStringLiteral("it is a folder") : why));
    }

    // Every port one line of its own, there and free.
    QMap<QString, QString> devices;
    for (const QString &port : options.Ports) {
        const QString key = PortLineKey(port);
        if (devices.contains(key))
            return Fail(err, ExitCode::Usage, Text(CliTexts::PortTwice).arg(PrintableName(devices.value(key)), PrintableName(port)));
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
    // Every port sends from one copy of the file, taken in the same read that gives the record
    // its size and SHA-256: a file replaced or rewritten during the run changes neither what
    // the units get nor what the report says they got. A job's file comes pinned already.
    QTemporaryDir sentCopyFolder;
    QString sentPath = sendPath;
    QString copyProblem;
    std::optional<TFileSummary> fileSummary;
    if (!extras.SendPath.isEmpty()) {
        fileSummary = SummariseUpdateFile(sentPath);
        copyProblem = QStringLiteral("the checked copy cannot be read");
    } else {
        sentPath = sentCopyFolder.filePath(fileInfo.fileName());
        copyProblem = sentCopyFolder.errorString();
        if (sentCopyFolder.isValid())
            fileSummary = SummariseAndCopyUpdateFile(filePath, sentPath, &copyProblem);
    }
    if (!fileSummary)
        return Fail(err, ExitCode::FileProblem, Text(CliTexts::FileNotCopied).arg(options.File, copyProblem));

    TUpdateConsole::TSettings settings;
    settings.Json = options.Json;
    settings.OutIsTerminal = StdoutIsTerminal();
    settings.Redraw = !options.Json && settings.OutIsTerminal && EnableTerminalEscapes();
    settings.CanAsk = canAsk;
    settings.AskTo = askTo.get();
    settings.Yes = options.Yes;
    settings.Restart = options.Restart;
    settings.Width = TerminalWidth();
    if (unit.Flow == TUpdateFlowKind::UpdateMode) {
        // Header, data records and the lines before the header are acknowledged with "."; the
        // end record, counted among the records, with "!".
        settings.FlowRecords = flowRecords;
        settings.AcknowledgedEnd = qint64(flowRecords) + LinesBeforeHeader(filePath);
    }
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
        // A port that another program took after the check above: who holds it, as the check
        // would have said.
        if (run.Outcome.Kind == TOutcomeKind::PortNotAvailable) {
            const QString problem = PortProblem(options.Ports[port], KnownPorts());
            Fail(err, ExitCode::PortNotAvailable,
                 problem.isEmpty() ? Text(CliTexts::PortTakenAtStart).arg(options.Ports[port]) : problem);
        }

        if (!options.ReportPath.isEmpty()) {
            TRecordContext context;
            context.Unit = unit;
            context.Port = options.Ports[port];
            context.Adapter = facts[size_t(port)];
            context.FilePath = filePath;
            context.FileSize = fileSummary->FileSize;
            context.File = fileSummary;
            TUpdateRecord record = MakeUpdateRecord(context, run);
            record.Bay = extras.Bays.value(port);
            QString why;
            if (!AppendReportLine(options.ReportPath, ReportLine(record), &why)) {
                reportFailed = true;
                console.Error(Text(CliTexts::ReportAppendFailed).arg(PrintableName(options.Ports[port]), why));
            }
        }
        if (endedCount == portCount)
            loop.quit();
    };

    for (int i = 0; i < portCount; ++i) {
        auto worker = std::make_unique<TPortWorker>(i, options.Ports[i], unit, sentPath, console);
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
            console.Error(Text(CliTexts::ThreadFailed).arg(PrintableName(options.Ports[i])));
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
                          : extras.Retry      ? extras.Retry(failed)
                                              : RetryCommand(QString::number(unit.Code), filePath, failed, RetryOptions(options));
    console.Finish(ordered, exitCode, retry, reportFailed);
    return exitCode;
}
