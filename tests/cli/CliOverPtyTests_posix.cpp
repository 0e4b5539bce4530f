// Whole updates by the real varnel-cli process against simulated units (varnel-unitsim) behind
// pseudo-terminals, in real time: every family completed with the unit's memory equal to the
// file, the unit's faults, Ctrl-C, the exit codes, four units at once and a report that
// survives a killed run.
#include "tests/cli/CliRig.h"
#include "tests/cli/TechnicianTerminal_posix.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QSerialPort>
#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "station/UpdateReport.h"
#include "updatefile/FileSummary.h"

namespace {

// The options every unattended run takes.
QStringList Unattended(const char *unit, const QString &file, const QStringList &ports)
{
    QStringList args = {QStringLiteral("update"), QStringLiteral("--unit"), QString::fromUtf8(unit),
                        QStringLiteral("--file"), file, QStringLiteral("--yes"), QStringLiteral("--restart"),
                        QStringLiteral("no"), QStringLiteral("--json"), QStringLiteral("--brand-choice")};
    for (const QString &port : ports)
        args << QStringLiteral("--port") << port;
    return args;
}

// The checks every JSON stream passes: the events of the run's ports only, one outcome per
// port, the summary last with the run's exit code.
void ExpectWellFormedStream(const TCliResult &r, const QStringList &ports)
{
    const QList<QJsonObject> events = r.Events();
    ASSERT_FALSE(events.isEmpty()) << r.Err.toStdString();
    static const QStringList kinds = {"status", "box", "question", "answer", "progress", "outcome", "summary"};
    for (const QJsonObject &e : events) {
        EXPECT_TRUE(kinds.contains(e.value("event").toString())) << e.value("event").toString().toStdString();
        if (e.value("event").toString() != "summary") {
            EXPECT_TRUE(ports.contains(e.value("port").toString())) << e.value("port").toString().toStdString();
        }
    }
    EXPECT_EQ(events.last().value("event").toString(), "summary");
    EXPECT_EQ(events.last().value("exitCode").toInt(), r.ExitCode);
    EXPECT_EQ(EventsOf(events, "outcome").size(), ports.size());
    for (const QJsonObject &p : EventsOf(events, "progress"))
        EXPECT_LE(p.value("sent").toInt(), qMax(p.value("total").toInt(), 0)) << "progress beyond its total";
}

QJsonObject OutcomeOf(const TCliResult &r, const QString &port)
{
    for (const QJsonObject &e : EventsOf(r.Events(), "outcome"))
        if (e.value("port").toString() == port)
            return e;
    return {};
}

// ---------------------------------------------------------------------------------------------
// One completed update per family.

struct TFamilyRun {
    const char *Name;
    const char *Family;
    const char *Unit;
    const char *File;
    const char *BeginText; // a word of the family's Begin question
    int LinesBeforeHeader = 0; // lines put before the sample's header (a copy of it is sent)
};

void PrintTo(const TFamilyRun &c, std::ostream *os) { *os << c.Name; }

class CliUpdateOverPty : public ::testing::TestWithParam<TFamilyRun> {};

TEST_P(CliUpdateOverPty, CompletesAndTheUnitHoldsTheFileByteForByte)
{
    const TFamilyRun &c = GetParam();
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QString::fromLatin1(c.Family))) << unit.Error.toStdString();
    QString file = Sample(c.File);
    QTemporaryDir dir;
    if (c.LinesBeforeHeader > 0) {
        file = dir.filePath(QString::fromLatin1(c.File));
        QFile copy(file);
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        for (int i = 0; i < c.LinesBeforeHeader; ++i)
            copy.write("built by the release script\r\n");
        copy.write(ReadAll(Sample(c.File)));
    }

    const TCliResult r = RunCli(Unattended(c.Unit, file, {unit.Path}));
    unit.Stop();
    ASSERT_FALSE(r.Crashed);
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString() << r.Out.toStdString();
    ExpectWellFormedStream(r, {unit.Path});
    const QByteArray expected = ExpectedRecord(QString::fromLatin1(c.Family), file);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_TRUE(unit.Record() == expected) << "the unit's record differs from " << c.File;

    const QList<QJsonObject> events = r.Events();
    const QJsonObject outcome = OutcomeOf(r, unit.Path);
    EXPECT_EQ(outcome.value("kind").toString(), "completed");
    EXPECT_EQ(outcome.value("exitCode").toInt(), 0);
    EXPECT_GT(outcome.value("acknowledged").toInt(), 0);
    EXPECT_GT(outcome.value("durationMs").toInt(), 0);
    // The Begin question was asked by the flow and answered by --yes.
    const QList<QJsonObject> questions = EventsOf(events, "question");
    ASSERT_FALSE(questions.isEmpty());
    EXPECT_EQ(questions.first().value("title").toString(), "Begin Update?");
    EXPECT_TRUE(questions.first().value("text").toString().contains(QString::fromLatin1(c.BeginText)));
    EXPECT_EQ(EventsOf(events, "answer").first().value("by").toString(), "--yes");
    // The progress reached the end of the gauge.
    const QList<QJsonObject> progress = EventsOf(events, "progress");
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_GE(progress.last().value("sent").toInt(), progress.last().value("total").toInt() - 1);
    EXPECT_EQ(EventsOf(events, "status").last().value("text").toString(), "Update complete.");
}

INSTANTIATE_TEST_SUITE_P(
    Families, CliUpdateOverPty,
    ::testing::Values(TFamilyRun{"UpdateMode", "update-mode", "TVR-4200", "T4200170.s19", "UPDATE mode"},
                      TFamilyRun{"UpdateModeLinesBeforeHeader", "update-mode", "TVR-4200", "T4200170.s19", "UPDATE mode", 3},
                      TFamilyRun{"Monitor", "monitor", "13", "T3770170.s19", "UPDATE mode"},
                      TFamilyRun{"Module", "module", "KLN-12B", "GRA0170.s19", "BOOTLOADER"}),
    [](const ::testing::TestParamInfo<TFamilyRun> &info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------
// What goes wrong at the unit, each with its exit code.

struct TFaultRun {
    const char *Name;
    const char *Family;
    const char *Unit;
    const char *File;
    QStringList UnitOptions;
    int ExitCode;
    const char *Kind;
    const char *UnitAnswer; // "" when none
};

void PrintTo(const TFaultRun &c, std::ostream *os) { *os << c.Name; }

class CliUnitFault : public ::testing::TestWithParam<TFaultRun> {};

TEST_P(CliUnitFault, EndsWithTheOutcomesExitCode)
{
    const TFaultRun &c = GetParam();
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QString::fromLatin1(c.Family), c.UnitOptions)) << unit.Error.toStdString();
    const TCliResult r = RunCli(Unattended(c.Unit, Sample(c.File), {unit.Path}));
    unit.Stop();
    ASSERT_FALSE(r.Crashed);
    EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Out.toStdString() << r.Err.toStdString();
    ExpectWellFormedStream(r, {unit.Path});
    const QJsonObject outcome = OutcomeOf(r, unit.Path);
    EXPECT_EQ(outcome.value("kind").toString(), QString::fromLatin1(c.Kind));
    EXPECT_EQ(outcome.value("unitAnswer").toString(), QString::fromLatin1(c.UnitAnswer));
    EXPECT_EQ(r.Events().last().value("failed").toArray(), QJsonArray({unit.Path}));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CliUnitFault,
    ::testing::Values(
        TFaultRun{"ErrorLetter", "update-mode", "12", "T4200170.s19", {"--fault", "line@3=F*4"}, 7, "unit-rejected", "F"},
        TFaultRun{"ModuleErrorLetter", "module", "4", "GRA0170.s19", {"--fault", "record@2=E"}, 7, "unit-rejected", "E"},
        TFaultRun{"SilentUnit", "monitor", "13", "T3770170.s19", {"--fault", "byte@3=silent"}, 8, "no-answer", ""},
        TFaultRun{"CablePulled", "update-mode", "12", "T4200170.s19", {"--cut-after", "2000"}, 9, "link-failed", ""}),
    [](const ::testing::TestParamInfo<TFaultRun> &info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------
// A port that is held by another program before the start.

TEST(CliPort, AHeldPortIsNotAvailable)
{
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"))) << unit.Error.toStdString();
    QSerialPort holder;
    holder.setPortName(unit.Path);
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    const TCliResult r = RunCli(Unattended("12", Sample("T4200170.s19"), {unit.Path}));
    EXPECT_EQ(r.ExitCode, 5) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("is busy")) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.isEmpty()) << "nothing but events on standard output: " << r.Out.toStdString();
    holder.close();
    EXPECT_TRUE(unit.Stop().contains("contact requests: 0")) << "the unit was sent something";
}

TEST(CliPort, TwoNamesOfOneLineAreRefusedBeforeAnythingIsSent)
{
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"))) << unit.Error.toStdString();
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBench"));
    ASSERT_TRUE(QFile::link(unit.Path, link));
    const TCliResult r = RunCli(Unattended("12", Sample("T4200170.s19"), {unit.Path, link}));
    EXPECT_EQ(r.ExitCode, 2) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("are one and the same line")) << r.Err.toStdString();
    EXPECT_TRUE(unit.Stop().contains("contact requests: 0")) << "the unit was sent something";
}

// ---------------------------------------------------------------------------------------------
// Ctrl-C: the Stop button, answered Yes by --yes; the update-mode unit is told "Q".

TEST(CliCtrlC, StopsTheUpdateAndTheUnitReceivesQ)
{
    TSimUnit unit;
    // Slow answers, so that the update is still running when Ctrl-C comes.
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"), {QStringLiteral("--answer-delay"), QStringLiteral("30")}))
        << unit.Error.toStdString();
    QProcess cli;
    cli.setProgram(CliPath());
    cli.setArguments(Unattended("12", Sample("T4200170.s19"), {unit.Path}));
    cli.start();
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForStarted(5000));
    // Wait for the line phase: a progress event with lines acknowledged.
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains("\"sent\":5,") && t.elapsed() < 20000) {
        cli.waitForReadyRead(100);
        out += cli.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("\"sent\":5,")) << out.toStdString();
    ::kill(pid_t(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(20000));
    TCliResult r;
    r.ExitCode = cli.exitCode();
    r.Out = out + cli.readAllStandardOutput();
    r.Err = cli.readAllStandardError();
    const QString summary = unit.Stop();

    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(r.ExitCode, 6) << r.Err.toStdString();
    ExpectWellFormedStream(r, {unit.Path});
    EXPECT_EQ(OutcomeOf(r, unit.Path).value("kind").toString(), "stopped");
    const QList<QJsonObject> questions = EventsOf(r.Events(), "question");
    ASSERT_FALSE(questions.isEmpty());
    EXPECT_EQ(questions.last().value("title").toString(), "Stop the update?");
    EXPECT_EQ(EventsOf(r.Events(), "answer").last().value("answer").toString(), "yes");
    EXPECT_EQ(EventsOf(r.Events(), "status").last().value("text").toString(), "User has stopped the update.");
    EXPECT_TRUE(summary.contains("quit: yes")) << summary.toStdString();
}

// ---------------------------------------------------------------------------------------------
// A technician at a terminal: varnel-cli on a terminal of its own (a pseudo-terminal in its
// usual, line-by-line mode), Ctrl-C typed as the byte the terminal turns into SIGINT.

TEST(CliTerminal, QuestionsAreAskedOnceForAllPortsAndCtrlCIsTheStopButton)
{
    TSimUnit units[2];
    for (TSimUnit &unit : units)
        ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"), {QStringLiteral("--answer-delay"), QStringLiteral("30")}))
            << unit.Error.toStdString();
    TTechnicianTerminal terminal;
    if (!terminal.Ok())
        GTEST_SKIP() << "no pseudo-terminal";
    terminal.Start({QStringLiteral("update"), QStringLiteral("--unit"), QStringLiteral("TVR-4200"), QStringLiteral("--file"),
                    Sample("T4200170.s19"), QStringLiteral("--port"), units[0].Path, QStringLiteral("--port"),
                    units[1].Path});

    // The Begin question, once for both ports; a wrong answer asks again.
    ASSERT_TRUE(terminal.AwaitText("Answer for all 2 ports. Yes or no? [y/n] ")) << terminal.Screen.toStdString();
    terminal.Type("perhaps\n");
    ASSERT_TRUE(terminal.AwaitText("Please answer y or n: "));
    terminal.Type("y\n");
    ASSERT_TRUE(terminal.AwaitText("[" + units[1].Path.toUtf8() + "] Updating the unit")) << terminal.Screen.toStdString();
    EXPECT_EQ(terminal.Screen.count("Begin Update?"), 1);

    // Ctrl-C, answered No: both go on.
    QThread::msleep(300);
    terminal.Type("\x03");
    ASSERT_TRUE(terminal.AwaitText("Stop the update?")) << terminal.Screen.toStdString();
    ASSERT_TRUE(terminal.AwaitText("Yes or no? [y/n] ", 2));
    terminal.Type("n\n");
    const qsizetype answered = terminal.Screen.size();
    // Progress after the answer shows that both went on; a loaded machine may take a while.
    for (int wait = 0; wait < 40 && !terminal.Screen.mid(answered).contains("/257"); ++wait)
        terminal.AwaitText("@never@", 1, 200);
    EXPECT_TRUE(terminal.Screen.mid(answered).contains("/257")) << "no progress after No";
    EXPECT_EQ(terminal.process.state(), QProcess::Running);

    // Ctrl-C again, and once more while the question waits: stopped without an answer typed.
    terminal.Type("\x03");
    ASSERT_TRUE(terminal.AwaitText("Stop the update?", 2)) << terminal.Screen.toStdString();
    ASSERT_TRUE(terminal.AwaitText("Yes or no? [y/n] ", 3));
    terminal.Type("\x03");
    ASSERT_TRUE(terminal.process.waitForFinished(20000));
    terminal.AwaitText("@never@", 1, 300);
    EXPECT_EQ(terminal.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(terminal.process.exitCode(), 6) << terminal.Screen.toStdString();
    EXPECT_EQ(terminal.Screen.count("Stop the update?\r\nWARNING"), 2) << "asked once per Ctrl-C for both ports";
    EXPECT_TRUE(terminal.Screen.contains("Stop the update? -> yes (ctrl-c)"));
    EXPECT_TRUE(terminal.Screen.contains("Failed: " + units[0].Path.toUtf8() + ", " + units[1].Path.toUtf8()));
    // The "Q" is on the line when varnel-cli ends; a loaded simulated unit may not have read it
    // yet, and its summary is taken when it is told to stop.
    QThread::msleep(1000);
    for (TSimUnit &unit : units) {
        const QString summary = unit.Stop();
        EXPECT_TRUE(summary.contains("quit: yes")) << summary.toStdString();
    }
}

// ---------------------------------------------------------------------------------------------
// An unexpected error: the station has no room left for the port's thread (a stack larger than
// the address space allows). The port's update ends before anything is sent, as unexpected, and
// the report still gets its line.

TEST(CliUnexpected, APortWhoseThreadCannotBeMadeEndsAsUnexpected)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory does not fit a limited address space";
#endif
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"))) << unit.Error.toStdString();
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("station.jsonl"));
    QStringList args = Unattended("12", Sample("T4200170.s19"), {unit.Path});
    args << QStringLiteral("--report") << report;

    QProcess cli;
    cli.setProgram(CliPath());
    cli.setArguments(args);
    cli.setChildProcessModifier([] {
        // Threads take the stack limit as their stack size; the address space cannot hold one.
        const rlimit stack{rlim_t(1) << 30, rlim_t(1) << 30};
        const rlimit space{rlim_t(300) << 20, rlim_t(300) << 20};
        ::setrlimit(RLIMIT_STACK, &stack);
        ::setrlimit(RLIMIT_AS, &space);
    });
    cli.start();
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForFinished(20000));
    TCliResult r;
    r.ExitCode = cli.exitCode();
    r.Out = cli.readAllStandardOutput();
    r.Err = cli.readAllStandardError();
    const QString summary = unit.Stop();

    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(r.ExitCode, 1) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("varnel-cli: the update of " + unit.Path.toUtf8() + " could not be started"))
        << r.Err.toStdString();
    ExpectWellFormedStream(r, {unit.Path});
    EXPECT_EQ(OutcomeOf(r, unit.Path).value("kind").toString(), "unexpected");
    EXPECT_TRUE(summary.contains("contact requests: 0")) << summary.toStdString();
    const std::optional<TUpdateRecord> record = ParseReportLine(ReadAll(report).trimmed());
    ASSERT_TRUE(record.has_value()) << ReadAll(report).toStdString();
    EXPECT_EQ(record->Outcome, "unexpected");
    EXPECT_EQ(record->Port, unit.Path);
}

// ---------------------------------------------------------------------------------------------
// Four units at once, one rejecting a line and one losing its cable; the report.

TEST(CliParallel, FourUnitsTwoCompleteOneRejectsOneLosesItsCable)
{
    TSimUnit units[4];
    ASSERT_TRUE(units[0].Start(QStringLiteral("update-mode"))) << units[0].Error.toStdString();
    ASSERT_TRUE(units[1].Start(QStringLiteral("update-mode"), {QStringLiteral("--fault"), QStringLiteral("line@10=C*4")}));
    ASSERT_TRUE(units[2].Start(QStringLiteral("update-mode"))) << units[2].Error.toStdString();
    ASSERT_TRUE(units[3].Start(QStringLiteral("update-mode"), {QStringLiteral("--cut-after"), QStringLiteral("3000")}));
    QStringList ports;
    for (const TSimUnit &u : units)
        ports << u.Path;
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("station.jsonl"));
    const QString file = Sample("T4200170.s19");

    QStringList args = Unattended("TVR-4200", file, {});
    args << QStringLiteral("--ports") << ports.join(QLatin1Char(',')) << QStringLiteral("--report") << report;
    const TCliResult r = RunCli(args);
    QString summaries[4];
    for (int i = 0; i < 4; ++i)
        summaries[i] = units[i].Stop();

    EXPECT_EQ(r.ExitCode, 9) << "the worst outcome, a link failure, names the code\n" << r.Err.toStdString();
    ExpectWellFormedStream(r, ports);
    const QByteArray expected = ExpectedRecord(QStringLiteral("update-mode"), file);
    EXPECT_TRUE(units[0].Record() == expected);
    EXPECT_TRUE(units[2].Record() == expected);
    EXPECT_EQ(OutcomeOf(r, ports[0]).value("kind").toString(), "completed");
    EXPECT_EQ(OutcomeOf(r, ports[1]).value("kind").toString(), "unit-rejected");
    EXPECT_EQ(OutcomeOf(r, ports[1]).value("unitAnswer").toString(), "C");
    EXPECT_EQ(OutcomeOf(r, ports[2]).value("kind").toString(), "completed");
    EXPECT_EQ(OutcomeOf(r, ports[3]).value("kind").toString(), "link-failed");
    const QJsonObject summary = r.Events().last();
    EXPECT_EQ(summary.value("failed").toArray(), QJsonArray({ports[1], ports[3]}));
    const QString retry = summary.value("retry").toString();
    EXPECT_TRUE(retry.contains("--port " + ports[1] + " --port " + ports[3])) << retry.toStdString();
    EXPECT_FALSE(retry.contains(ports[0])) << retry.toStdString();

    // One complete, correct line per unit.
    const std::optional<TFileSummary> fileSummary = SummariseUpdateFile(file);
    ASSERT_TRUE(fileSummary.has_value());
    const QList<QByteArray> lines = ReadAll(report).split('\n');
    ASSERT_EQ(lines.size(), 5) << ReadAll(report).toStdString(); // four lines and the empty rest
    EXPECT_TRUE(lines.last().isEmpty());
    QMap<QString, TUpdateRecord> byPort;
    for (int i = 0; i < 4; ++i) {
        const std::optional<TUpdateRecord> record = ParseReportLine(lines[i]);
        ASSERT_TRUE(record.has_value()) << lines[i].toStdString();
        byPort.insert(record->Port, *record);
    }
    ASSERT_EQ(byPort.size(), 4);
    const QStringList kinds = {"completed", "unit-rejected", "completed", "link-failed"};
    for (int i = 0; i < 4; ++i) {
        const TUpdateRecord &rec = byPort.value(ports[i]);
        EXPECT_EQ(rec.Outcome, kinds[i]) << ports[i].toStdString();
        EXPECT_EQ(rec.UnitCode, 12);
        EXPECT_EQ(rec.UnitName, "TVR-4200");
        EXPECT_EQ(rec.FilePath, QFileInfo(file).absoluteFilePath());
        EXPECT_EQ(rec.FileSize, QFileInfo(file).size());
        EXPECT_EQ(rec.FileSha256, QString::fromLatin1(fileSummary->Sha256Hex));
        EXPECT_EQ(rec.FileRecords, 256);
        EXPECT_EQ(rec.AcknowledgedUnit, "lines");
        EXPECT_EQ(rec.VarnelVersion, VARNEL_VERSION);
        EXPECT_FALSE(rec.Host.isEmpty());
        EXPECT_TRUE(rec.Start.isValid() && rec.End.isValid() && rec.Start <= rec.End);
        EXPECT_FALSE(rec.LastStatus.isEmpty());
        EXPECT_EQ(rec.Acknowledged, OutcomeOf(r, ports[i]).value("acknowledged").toInt());
    }
    EXPECT_EQ(byPort.value(ports[0]).LastStatus, "Update complete.");
    EXPECT_EQ(byPort.value(ports[1]).UnitError, "C");
    EXPECT_EQ(byPort.value(ports[1]).Acknowledged, 9) << "lines 1 to 9 taken, line 10 refused";
    EXPECT_TRUE(byPort.value(ports[3]).UnitError.isEmpty());
}

// ---------------------------------------------------------------------------------------------
// The report survives a killed run: every line written is whole.

TEST(CliReport, SurvivesASigkillMidRun)
{
    TSimUnit fast1, fast2, slow;
    ASSERT_TRUE(fast1.Start(QStringLiteral("update-mode"))) << fast1.Error.toStdString();
    ASSERT_TRUE(fast2.Start(QStringLiteral("update-mode"))) << fast2.Error.toStdString();
    ASSERT_TRUE(slow.Start(QStringLiteral("update-mode"), {QStringLiteral("--answer-delay"), QStringLiteral("200")}));
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("station.jsonl"));
    QStringList args = Unattended("12", Sample("T4200170.s19"), {fast1.Path, slow.Path, fast2.Path});
    args << QStringLiteral("--report") << report;

    QProcess cli;
    cli.setProgram(CliPath());
    cli.setArguments(args);
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.start();
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    while (ReadAll(report).count('\n') < 2 && t.elapsed() < 25000 && cli.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_EQ(cli.state(), QProcess::Running) << "the slow unit's update ended early";
    cli.kill(); // SIGKILL
    cli.waitForFinished(5000);

    const QByteArray text = ReadAll(report);
    ASSERT_TRUE(text.endsWith('\n')) << "a half line was left";
    const QList<QByteArray> lines = text.left(text.size() - 1).split('\n');
    ASSERT_EQ(lines.size(), 2) << text.toStdString();
    QStringList portsInReport;
    for (const QByteArray &line : lines) {
        const std::optional<TUpdateRecord> record = ParseReportLine(line);
        ASSERT_TRUE(record.has_value()) << line.toStdString();
        EXPECT_EQ(record->Outcome, "completed");
        portsInReport << record->Port;
    }
    portsInReport.sort();
    QStringList fast = {fast1.Path, fast2.Path};
    fast.sort();
    EXPECT_EQ(portsInReport, fast);
}

} // namespace
