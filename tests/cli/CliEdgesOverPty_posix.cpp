// Where a run meets the operating system, by the real varnel-cli process on a pseudo-terminal
// against simulated units: the terminal closed mid-update, questions with the output in a log,
// and an error line among the progress rows.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "station/UpdateReport.h"
#include "tests/cli/CliRig.h"
#include "tests/cli/TechnicianTerminal_posix.h"

namespace {

QStringList UpdateArgs(const QString &port, const QStringList &extra)
{
    QStringList args = {QStringLiteral("update"), QStringLiteral("--unit"), QStringLiteral("12"), QStringLiteral("--file"),
                        Sample("T4200170.s19"), QStringLiteral("--port"), port};
    return args + extra;
}

TEST(CliHangUp, ClosingTheTerminalStopsTheUnitAndTheReportKeepsItsLine)
{
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"), {QStringLiteral("--answer-delay"), QStringLiteral("30")}))
        << unit.Error.toStdString();
    TTechnicianTerminal terminal;
    if (!terminal.Ok())
        GTEST_SKIP() << "no pseudo-terminal";
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("station.jsonl"));
    terminal.Start(UpdateArgs(unit.Path, {QStringLiteral("--yes"), QStringLiteral("--restart"), QStringLiteral("no"),
                                          QStringLiteral("--json"), QStringLiteral("--report"), report}));
    ASSERT_TRUE(terminal.AwaitText("\"sent\":5,")) << terminal.Screen.toStdString();

    terminal.Close(); // the window closed, the remote session dropped
    ASSERT_TRUE(terminal.process.waitForFinished(20000)) << "varnel-cli hangs on the closed terminal";
    EXPECT_EQ(terminal.process.exitStatus(), QProcess::NormalExit) << "killed by the hang-up";
    EXPECT_EQ(terminal.process.exitCode(), 6);
    EXPECT_TRUE(unit.Stop().contains("quit: yes")) << "the unit was not told";
    const std::optional<TUpdateRecord> record = ParseReportLine(ReadAll(report).trimmed());
    ASSERT_TRUE(record.has_value()) << ReadAll(report).toStdString();
    EXPECT_EQ(record->Outcome, "stopped");
    EXPECT_EQ(record->Port, unit.Path);
}

// ">log 2>&1" at a keyboard: the question goes to the controlling terminal; without one, the
// update is refused at once instead of waiting on a question nobody sees.
struct TLogRun {
    const char *Name;
    bool Controlling;
    int ExitCode;
};

void PrintTo(const TLogRun &c, std::ostream *os) { *os << c.Name; }

class CliQuestionWithALog : public ::testing::TestWithParam<TLogRun> {};

TEST_P(CliQuestionWithALog, ReachesThePersonOrIsNotAsked)
{
    const TLogRun &c = GetParam();
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"))) << unit.Error.toStdString();
    TTechnicianTerminal terminal;
    if (!terminal.Ok())
        GTEST_SKIP() << "no pseudo-terminal";
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("log"));
    terminal.Start(UpdateArgs(unit.Path, {QStringLiteral("--restart"), QStringLiteral("no")}), {log, c.Controlling});
    if (c.Controlling) {
        ASSERT_TRUE(terminal.AwaitText("Yes or no? [y/n] ")) << "not on the terminal; the log: " << ReadAll(log).toStdString();
        EXPECT_TRUE(terminal.Screen.contains("Begin Update?"));
        terminal.Type("n\n");
    }
    ASSERT_TRUE(terminal.process.waitForFinished(15000)) << "waits on a question; the log: " << ReadAll(log).toStdString();
    EXPECT_EQ(terminal.process.exitCode(), c.ExitCode) << ReadAll(log).toStdString();
    if (!c.Controlling) {
        EXPECT_TRUE(ReadAll(log).contains("give --yes")) << ReadAll(log).toStdString();
        EXPECT_TRUE(unit.Stop().contains("contact requests: 0")) << "the unit was sent something";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CliQuestionWithALog,
                         ::testing::Values(TLogRun{"ControllingTerminal", true, 6}, TLogRun{"NoTerminalAtAll", false, 2}),
                         [](const ::testing::TestParamInfo<TLogRun> &info) { return std::string(info.param.Name); });

TEST(CliErrorLine, StaysOnTheScreenAboveTheProgress)
{
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"))) << unit.Error.toStdString();
    TTechnicianTerminal terminal;
    if (!terminal.Ok())
        GTEST_SKIP() << "no pseudo-terminal";
    // A report that takes lines when the run starts, and has become a folder by the time the
    // port ends: its line cannot be written.
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("report.jsonl"));
    ASSERT_TRUE(QFile(report).open(QIODevice::WriteOnly));
    terminal.Start(UpdateArgs(unit.Path, {QStringLiteral("--yes"), QStringLiteral("--restart"), QStringLiteral("no"),
                                          QStringLiteral("--report"), report}));
    ASSERT_TRUE(terminal.AwaitText("/257 lines")) << terminal.Screen.toStdString();
    ASSERT_TRUE(QFile::remove(report));
    ASSERT_TRUE(QDir().mkdir(report));
    terminal.AwaitText("@never@", 1, 30000); // all it shows, to its end
    ASSERT_TRUE(terminal.process.waitForFinished(10000));
    EXPECT_EQ(terminal.process.exitCode(), 4);
    const QList<QByteArray> screen = ScreenLines(terminal.Screen);
    const auto shows = [&screen](const QByteArray &text) {
        for (const QByteArray &line : screen)
            if (line.contains(text))
                return true;
        return false;
    };
    EXPECT_TRUE(shows("varnel-cli: the report line of " + unit.Path.toUtf8() + " was not written"))
        << "erased by the redraw:\n" << screen.join('\n').toStdString();
    EXPECT_TRUE(shows("257/257 lines")) << screen.join('\n').toStdString();
    EXPECT_TRUE(shows("Every unit completed, but the report misses lines")) << screen.join('\n').toStdString();
}

} // namespace
