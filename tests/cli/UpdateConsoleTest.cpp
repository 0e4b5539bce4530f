// The console of an update: what it prints and writes as JSON, how it answers the flows'
// questions once for all ports, and Ctrl-C as the Stop button.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <deque>

#include "cli/ProgressText.h"
#include "cli/UpdateConsole.h"
#include "protocols/FlowTexts.h"
#include "seriallink/LinkTexts.h"

namespace {

const QString &BeginTitle = FlowTexts::BeginTitle;
const QString &RestartTitle = FlowTexts::UpdateModeTexts::RestartTitle;
const QString &StopTitle = LinkTexts::StopPromptTitle;

// One scripted read of the terminal: a line, the end of input or a Ctrl-C.
struct TRead {
    TLineRead How;
    QString Line;
};
TRead Line(const char *text) { return {TLineRead::Line, QString::fromUtf8(text)}; }
const TRead EndOfInput{TLineRead::EndOfInput, {}};
const TRead CtrlC{TLineRead::Interrupted, {}};

struct TConsoleRig {
    QString Out;
    QString Err;
    QTextStream OutStream{&Out};
    QTextStream ErrStream{&Err};
    std::deque<TRead> Script;
    int Reads = 0;
    int PendingInterrupts = 0;
    bool Terminate = false; // the interrupts taken were a request to terminate
    QList<int> Stops; // ports a stop was posted to, in order
    std::unique_ptr<TUpdateConsole> Console;

    TConsoleRig(TUpdateConsole::TSettings settings, int ports, const QStringList &names = {})
    {
        QList<TUpdateConsole::TPortInfo> infos;
        for (int i = 0; i < ports; ++i)
            infos << TUpdateConsole::TPortInfo{i < names.size() ? names[i] : QStringLiteral("ttyV%1").arg(i),
                                               i == 0 ? QStringLiteral("A50285BI") : QString()};
        Console = std::make_unique<TUpdateConsole>(settings, infos, OutStream, ErrStream);
        Console->ReadLine = [this](QString &line) {
            ++Reads;
            if (Script.empty())
                return TLineRead::EndOfInput;
            const TRead read = Script.front();
            Script.pop_front();
            if (read.How == TLineRead::Interrupted)
                ++PendingInterrupts;
            line = read.Line;
            return read.How;
        };
        Console->TakeInterrupts = [this](bool *terminate) {
            if (terminate)
                *terminate = Terminate;
            const int n = PendingInterrupts;
            PendingInterrupts = 0;
            return n;
        };
        Console->PostStop = [this](int port) { Stops << port; };
    }

    // The JSON lines written so far, parsed; a line that is not one object fails the test.
    QList<QJsonObject> Events() const
    {
        QList<QJsonObject> events;
        for (const QString &line : Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
            EXPECT_TRUE(doc.isObject()) << line.toStdString();
            events << doc.object();
        }
        return events;
    }
};

TUpdateConsole::TSettings Terminal()
{
    TUpdateConsole::TSettings s;
    s.CanAsk = true;
    s.OutIsTerminal = true;
    return s;
}

TUpdateConsole::TSettings Json()
{
    TUpdateConsole::TSettings s = Terminal();
    s.Json = true;
    return s;
}

TPortResult Result(const char *port, TOutcomeKind kind, int code, qint64 ms)
{
    TPortResult r;
    r.Port = QString::fromUtf8(port);
    r.UnitName = QStringLiteral("TVR-4200");
    r.Outcome.Kind = kind;
    r.ExitCode = code;
    r.DurationMs = ms;
    return r;
}

// ---------------------------------------------------------------------------------------------
// JSON: every event one object per line, nothing else on standard output.

TEST(UpdateConsoleJson, EveryEventIsOneObjectPerLineWithItsFields)
{
    TConsoleRig rig(Json(), 2);
    TUpdateConsole &c = *rig.Console;
    rig.Script = {Line("y")};
    c.Status(1, QStringLiteral("Update complete.  \"quoted\" "));
    c.Box(0, QStringLiteral("Update Error"), QStringLiteral("Error 'C': line one\nline two"), TBoxIcon::Warning);
    c.GaugeMaximum(0, 258);
    c.LinesSent(0, QStringLiteral("17"));
    c.GaugePosition(0, 17);
    EXPECT_TRUE(c.Ask(1, BeginTitle, FlowTexts::UpdateModeQuestion));
    TPortResult failed = Result("ttyV0", TOutcomeKind::UnitRejected, 7, 12345);
    failed.Outcome.UnitAnswer = QByteArray("C");
    failed.Outcome.Acknowledged = 17;
    failed.Outcome.Retries = 3;
    failed.LastStatus = QStringLiteral("Error 'C' Checksum error occurred.  Try again.");
    c.Ended(0, failed);
    c.Finish({failed, Result("ttyV1", TOutcomeKind::Completed, 0, 2000)}, 7, QStringLiteral("varnel-cli update ..."));

    const QList<QJsonObject> e = rig.Events();
    ASSERT_EQ(e.size(), 8) << rig.Out.toStdString();
    EXPECT_EQ(e[0].value("event").toString(), "status");
    EXPECT_EQ(e[0].value("port").toString(), "ttyV1");
    EXPECT_EQ(e[0].value("text").toString(), QStringLiteral("Update complete.  \"quoted\" ")); // blanks kept
    EXPECT_EQ(e[1].value("event").toString(), "box");
    EXPECT_EQ(e[1].value("title").toString(), "Update Error");
    EXPECT_EQ(e[1].value("text").toString(), QStringLiteral("Error 'C': line one\nline two"));
    EXPECT_EQ(e[1].value("icon").toString(), "warning");
    EXPECT_EQ(e[2].value("event").toString(), "progress");
    EXPECT_EQ(e[2].value("total").toInt(), 258);
    EXPECT_EQ(e[3].value("event").toString(), "progress");
    EXPECT_EQ(e[3].value("sent").toInt(), 17);
    EXPECT_EQ(e[4].value("event").toString(), "question");
    EXPECT_EQ(e[4].value("title").toString(), BeginTitle);
    EXPECT_EQ(e[5].value("event").toString(), "answer");
    EXPECT_EQ(e[5].value("answer").toString(), "yes");
    EXPECT_EQ(e[5].value("by").toString(), "terminal");
    EXPECT_EQ(e[6].value("event").toString(), "outcome");
    EXPECT_EQ(e[6].value("kind").toString(), "unit-rejected");
    EXPECT_EQ(e[6].value("detail").toString(), "unit rejected: 'C'");
    EXPECT_EQ(e[6].value("unitAnswer").toString(), "C");
    EXPECT_EQ(e[6].value("acknowledged").toInt(), 17);
    EXPECT_EQ(e[6].value("retries").toInt(), 3);
    EXPECT_EQ(e[6].value("exitCode").toInt(), 7);
    EXPECT_EQ(e[6].value("durationMs").toInt(), 12345);
    EXPECT_EQ(e[6].value("lastStatus").toString(), failed.LastStatus);
    EXPECT_EQ(e[7].value("event").toString(), "summary");
    EXPECT_EQ(e[7].value("exitCode").toInt(), 7);
    EXPECT_EQ(e[7].value("failed").toArray(), QJsonArray({QStringLiteral("ttyV0")}));
    EXPECT_EQ(e[7].value("ports").toArray().size(), 2);
    EXPECT_EQ(e[7].value("retry").toString(), "varnel-cli update ...");
    // The terminal question went to standard error, not among the events.
    EXPECT_TRUE(rig.Err.contains(FlowTexts::UpdateModeQuestion));
    EXPECT_FALSE(rig.Out.contains(QStringLiteral("[y/n]")));
}

TEST(UpdateConsoleJson, TheUnitsWrongByteIsKeptAsACharacter)
{
    TConsoleRig rig(Json(), 1);
    TPortResult r = Result("ttyV0", TOutcomeKind::UnitRejected, 7, 1);
    r.Outcome.UnitAnswer = QByteArray("\xF0", 1);
    rig.Console->Ended(0, r);
    const QList<QJsonObject> e = rig.Events();
    ASSERT_EQ(e.size(), 1);
    EXPECT_EQ(e[0].value("unitAnswer").toString(), QString(QChar(0xF0)));
    EXPECT_EQ(e[0].value("detail").toString(), "unit rejected: 0xf0");
}

// ---------------------------------------------------------------------------------------------
// Questions: who answers them, and what.

struct TQuestionCase {
    const char *Name;
    int Kind; // 0 Begin, 1 Restart, 2 Stop, 3 another question
    bool Yes;
    int Restart; // -1 not given
    bool CanAsk;
    std::vector<TRead> Script;
    bool Answer;
    const char *By;
    int Reads;
};

class UpdateConsoleQuestion : public ::testing::TestWithParam<TQuestionCase> {};

TEST_P(UpdateConsoleQuestion, IsAnsweredAsTheOptionsAndTheTechnicianSay)
{
    const TQuestionCase &c = GetParam();
    TUpdateConsole::TSettings s = Json();
    s.Yes = c.Yes;
    s.CanAsk = c.CanAsk;
    if (c.Restart >= 0)
        s.Restart = c.Restart == 1;
    TConsoleRig rig(s, 1);
    rig.Script.assign(c.Script.begin(), c.Script.end());
    const QString titles[] = {BeginTitle, RestartTitle, StopTitle, QStringLiteral("Something else?")};
    EXPECT_EQ(rig.Console->Ask(0, titles[c.Kind], QStringLiteral("text")), c.Answer);
    EXPECT_EQ(rig.Reads, c.Reads);
    const QList<QJsonObject> e = rig.Events();
    ASSERT_FALSE(e.isEmpty());
    EXPECT_EQ(e.last().value("event").toString(), "answer");
    EXPECT_EQ(e.last().value("by").toString(), QString::fromUtf8(c.By));
    EXPECT_EQ(e.last().value("answer").toString(), c.Answer ? "yes" : "no");
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateConsoleQuestion,
    ::testing::Values(
        TQuestionCase{"BeginByOption", 0, true, -1, true, {}, true, "--yes", 0},
        TQuestionCase{"BeginYes", 0, false, -1, true, {Line("y")}, true, "terminal", 1},
        TQuestionCase{"BeginNoInCapitals", 0, false, -1, true, {Line(" NO ")}, false, "terminal", 1},
        TQuestionCase{"BeginAskedAgainAfterNonsense", 0, false, -1, true, {Line("sure"), Line(""), Line("yes")}, true,
                      "terminal", 3},
        TQuestionCase{"BeginEndOfInputIsNo", 0, false, -1, true, {Line("maybe")}, false, "end-of-input", 2},
        TQuestionCase{"BeginCtrlCIsNo", 0, false, -1, true, {CtrlC}, false, "ctrl-c", 1},
        TQuestionCase{"BeginWithoutTerminal", 0, false, -1, false, {}, false, "no-terminal", 0},
        TQuestionCase{"RestartByOptionNo", 1, true, 0, true, {}, false, "--restart", 0},
        TQuestionCase{"RestartByOptionYes", 1, false, 1, true, {}, true, "--restart", 0},
        TQuestionCase{"RestartNotTakenFromYes", 1, true, -1, true, {Line("n")}, false, "terminal", 1},
        TQuestionCase{"RestartCtrlCIsNo", 1, false, -1, true, {CtrlC}, false, "ctrl-c", 1},
        TQuestionCase{"StopByYes", 2, true, -1, true, {}, true, "--yes", 0},
        TQuestionCase{"StopNo", 2, false, -1, true, {Line("n")}, false, "terminal", 1},
        TQuestionCase{"StopCtrlCWhileAskedIsYes", 2, false, -1, true, {CtrlC}, true, "ctrl-c", 1},
        TQuestionCase{"StopEndOfInputIsNo", 2, false, -1, true, {}, false, "end-of-input", 1},
        TQuestionCase{"OtherByYes", 3, true, -1, true, {}, true, "--yes", 0},
        TQuestionCase{"OtherOnTerminal", 3, false, -1, true, {Line("y")}, true, "terminal", 1}),
    [](const ::testing::TestParamInfo<TQuestionCase> &info) { return std::string(info.param.Name); });

TEST(UpdateConsoleQuestions, BeginIsAskedOnceForAllPorts)
{
    TConsoleRig rig(Terminal(), 3);
    rig.Script = {Line("what"), Line("y")};
    EXPECT_TRUE(rig.Console->Ask(2, BeginTitle, FlowTexts::UpdateModeQuestion));
    EXPECT_TRUE(rig.Console->Ask(0, BeginTitle, FlowTexts::UpdateModeQuestion));
    EXPECT_TRUE(rig.Console->Ask(1, BeginTitle, FlowTexts::UpdateModeQuestion));
    EXPECT_EQ(rig.Reads, 2);
    // On the terminal the question is broken at blanks to its width.
    EXPECT_EQ(rig.Out.count(WrapToWidth(FlowTexts::UpdateModeQuestion, 80)), 1);
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("Answer for all 3 ports.")));
}

TEST(UpdateConsoleQuestions, AreAskedOnStandardErrorWhenStandardOutputIsNoTerminal)
{
    TUpdateConsole::TSettings s = Terminal();
    s.OutIsTerminal = false; // output piped into a log, the technician at the keyboard
    TConsoleRig rig(s, 1);
    rig.Script = {Line("y")};
    EXPECT_TRUE(rig.Console->Ask(0, BeginTitle, FlowTexts::UpdateModeQuestion));
    EXPECT_TRUE(rig.Err.contains(FlowTexts::UpdateModeQuestion));
    EXPECT_TRUE(rig.Err.contains(QStringLiteral("[y/n]")));
    EXPECT_FALSE(rig.Out.contains(QStringLiteral("[y/n]")));
}

TEST(UpdateConsoleQuestions, ARestartAnsweredNoIsNoForEveryPort)
{
    TConsoleRig rig(Terminal(), 2);
    rig.Script = {Line("n"), Line("y")};
    EXPECT_FALSE(rig.Console->Ask(1, RestartTitle, QStringLiteral("q")));
    EXPECT_FALSE(rig.Console->Ask(0, RestartTitle, QStringLiteral("q")));
    EXPECT_EQ(rig.Reads, 1);
}

TEST(UpdateConsoleQuestions, CtrlCAtTheBeginQuestionStopsTheRunningPorts)
{
    TConsoleRig rig(Terminal(), 2);
    rig.Script = {CtrlC};
    EXPECT_FALSE(rig.Console->Ask(0, BeginTitle, QStringLiteral("q")));
    EXPECT_EQ(rig.Stops, (QList<int>{0, 1}));
    // The other port is given the same No, without asking again.
    EXPECT_FALSE(rig.Console->Ask(1, BeginTitle, QStringLiteral("q")));
    EXPECT_EQ(rig.Reads, 1);
}

// ---------------------------------------------------------------------------------------------
// Ctrl-C: a round of stop requests; one answer for every port that asks in the round.

TEST(UpdateConsoleCtrlC, ReachesEveryRunningPortAndIsAnsweredOncePerRound)
{
    TConsoleRig rig(Terminal(), 3);
    TUpdateConsole &c = *rig.Console;
    c.Ended(2, Result("ttyV2", TOutcomeKind::Completed, 0, 1));
    c.Interrupt(1, false);
    EXPECT_EQ(rig.Stops, (QList<int>{0, 1})); // not the port that has ended
    rig.Script = {Line("n")};
    EXPECT_FALSE(c.Ask(0, StopTitle, LinkTexts::StopPromptText));
    EXPECT_FALSE(c.Ask(1, StopTitle, LinkTexts::StopPromptText));
    EXPECT_EQ(rig.Reads, 1);

    // The next Ctrl-C is a new round, asked again.
    c.Interrupt(1, false);
    EXPECT_EQ(rig.Stops, (QList<int>{0, 1, 0, 1}));
    rig.Script = {Line("y")};
    EXPECT_TRUE(c.Ask(1, StopTitle, LinkTexts::StopPromptText));
    EXPECT_TRUE(c.Ask(0, StopTitle, LinkTexts::StopPromptText));
    EXPECT_EQ(rig.Reads, 2);
}

TEST(UpdateConsoleCtrlC, ASecondCtrlCBeforeTheAnswerStopsWithoutAsking)
{
    for (const bool together : {false, true}) {
        TConsoleRig rig(Terminal(), 2);
        if (together) {
            rig.Console->Interrupt(2, false);
        } else {
            rig.Console->Interrupt(1, false);
            rig.Console->Interrupt(1, false);
        }
        EXPECT_EQ(rig.Stops, (QList<int>{0, 1})) << "one round, posted once";
        EXPECT_TRUE(rig.Console->Ask(0, StopTitle, LinkTexts::StopPromptText));
        EXPECT_TRUE(rig.Console->Ask(1, StopTitle, LinkTexts::StopPromptText));
        EXPECT_EQ(rig.Reads, 0);
    }
}

TEST(UpdateConsoleCtrlC, ATerminationRequestIsAConfirmedStop)
{
    TConsoleRig rig(Terminal(), 2);
    rig.Console->Interrupt(1, true);
    EXPECT_EQ(rig.Stops, (QList<int>{0, 1}));
    EXPECT_TRUE(rig.Console->Ask(1, StopTitle, LinkTexts::StopPromptText));
    EXPECT_EQ(rig.Reads, 0);
}

TEST(UpdateConsoleCtrlC, AStopQuestionOutsideARoundIsAskedAfresh)
{
    // A flow may ask again later (a failed port sets its own stop request): an answer kept from
    // an earlier round must not answer it.
    TConsoleRig rig(Terminal(), 1);
    rig.Console->Interrupt(1, false);
    rig.Script = {Line("n"), Line("y")};
    EXPECT_FALSE(rig.Console->Ask(0, StopTitle, LinkTexts::StopPromptText));
    EXPECT_TRUE(rig.Console->Ask(0, StopTitle, LinkTexts::StopPromptText));
    EXPECT_EQ(rig.Reads, 2);
}

// ---------------------------------------------------------------------------------------------
// Human output.

TEST(UpdateConsolePlain, LinesNameThePortOnlyWhenThereAreSeveral)
{
    for (const int ports : {1, 2}) {
        TConsoleRig rig(Terminal(), ports);
        rig.Console->Status(0, QStringLiteral("Could not establish communication with unit.  Try again."));
        rig.Console->Box(0, QStringLiteral("Erase failure"), QStringLiteral("Error 'E': Flash erase error. "), TBoxIcon::Warning);
        const QString prefix = ports == 1 ? QString() : QStringLiteral("[ttyV0] ");
        EXPECT_EQ(rig.Out, prefix + QStringLiteral("Could not establish communication with unit.  Try again.\n") + prefix
                               + QStringLiteral("Erase failure: Error 'E': Flash erase error. \n"));
    }
}

TEST(UpdateConsolePlain, ProgressIsALineAtEveryTenth)
{
    TConsoleRig rig(Terminal(), 1);
    TUpdateConsole &c = *rig.Console;
    c.GaugeMaximum(0, 100); // the flows' provisional range
    c.GaugePosition(0, 0);
    c.GaugeMaximum(0, 257);
    for (int i = 1; i <= 257; ++i)
        c.GaugePosition(0, i);
    const QStringList lines = rig.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 10) << rig.Out.toStdString();
    EXPECT_EQ(lines.first(), QStringLiteral("progress 10 % (26 of 257 lines)"));
    EXPECT_EQ(lines.last(), QStringLiteral("progress 100 % (257 of 257 lines)"));
    EXPECT_FALSE(rig.Out.contains(QLatin1Char('\x1b')));
}

TEST(UpdateConsoleTerminal, RowsAreRedrawnInPlaceAndFitTheWidth)
{
    TUpdateConsole::TSettings s = Terminal();
    s.Redraw = true;
    s.Width = 60;
    TConsoleRig rig(s, 2);
    TUpdateConsole &c = *rig.Console;
    c.GaugeMaximum(0, 200);
    c.GaugePosition(0, 50);
    c.Redraw();
    c.Status(1, QStringLiteral("Updating the unit... with a long status text that cannot fit the row"));
    // Two rows drawn, then climbed over and cleared before the status line and drawn again.
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("\x1b[2A\r\x1b[J"))) << rig.Out.toStdString();
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("[ttyV1] Updating the unit...")));
    const QStringList lines = rig.Out.split(QLatin1Char('\n'));
    const QString last = lines.at(lines.size() - 2); // the last row
    EXPECT_TRUE(last.startsWith(QStringLiteral("ttyV1"))) << last.toStdString();
    EXPECT_LT(last.size(), 60);
    const QString first = lines.at(lines.size() - 3);
    EXPECT_TRUE(first.contains(QStringLiteral("A50285BI"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("50/200"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral(" 25 %"))) << first.toStdString();
}

TEST(UpdateConsoleTerminal, TheRowsStayAboveTheSummaryOnce)
{
    TUpdateConsole::TSettings s = Terminal();
    s.Redraw = true;
    TConsoleRig rig(s, 2);
    rig.Console->GaugeMaximum(0, 10);
    rig.Console->Redraw();
    rig.Console->Finish({Result("ttyV0", TOutcomeKind::Completed, 0, 1000), Result("ttyV1", TOutcomeKind::Completed, 0, 1000)},
                        0, QString());
    const qsizetype summary = rig.Out.indexOf(QStringLiteral("PORT"));
    ASSERT_GT(summary, 0);
    EXPECT_TRUE(rig.Out.mid(summary).endsWith(QStringLiteral("Every unit completed.\n"))) << rig.Out.toStdString();
    EXPECT_FALSE(rig.Out.mid(summary).contains(QLatin1Char('\x1b')));
}

TEST(UpdateConsoleTerminal, TheSummaryNamesTheFailedPortsAndHowToRetry)
{
    TConsoleRig rig(Terminal(), 2);
    rig.Console->Finish({Result("ttyV0", TOutcomeKind::Completed, 0, 61000),
                         Result("ttyV1", TOutcomeKind::NoAnswer, 8, 5000)},
                        8, QStringLiteral("varnel-cli update --unit 12 --file /f.s19 --port ttyV1"));
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("ttyV0  TVR-4200  completed  1:01"))) << rig.Out.toStdString();
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("ttyV1  TVR-4200  no answer  0:05"))) << rig.Out.toStdString();
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("Failed: ttyV1\n")));
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("  varnel-cli update --unit 12 --file /f.s19 --port ttyV1\n")));
}

// ---------------------------------------------------------------------------------------------
// A request to terminate sticks: no question after it waits for anyone, whatever the options.

struct TTerminatedCase {
    const char *Name;
    int Kind; // 0 Begin, 1 Restart, 2 Stop, 3 another question
    bool DuringQuestion; // the request ended a question that waited; else it came between
    bool Answer;
};

class UpdateConsoleTerminated : public ::testing::TestWithParam<TTerminatedCase> {};

TEST_P(UpdateConsoleTerminated, AnswersEveryLaterQuestionWithoutAsking)
{
    const TTerminatedCase &c = GetParam();
    // Between questions the options would answer them; ending a question, the terminal would.
    TUpdateConsole::TSettings s = Json();
    s.Yes = !c.DuringQuestion;
    if (!c.DuringQuestion)
        s.Restart = true;
    TConsoleRig rig(s, 2);
    if (c.DuringQuestion) {
        rig.Script = {CtrlC};
        rig.Terminate = true;
        EXPECT_FALSE(rig.Console->Ask(0, QStringLiteral("Something else?"), QStringLiteral("text")));
    } else {
        rig.Console->Interrupt(1, true);
    }
    const int reads = rig.Reads;
    const QString titles[] = {BeginTitle, RestartTitle, StopTitle, QStringLiteral("Something else?")};
    EXPECT_EQ(rig.Console->Ask(1, titles[c.Kind], QStringLiteral("text")), c.Answer);
    EXPECT_EQ(rig.Reads, reads) << "asked after the request to terminate";
    EXPECT_EQ(rig.Events().last().value("answer").toString(), c.Answer ? "yes" : "no");
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateConsoleTerminated,
    ::testing::Values(TTerminatedCase{"Begin", 0, false, false}, TTerminatedCase{"Restart", 1, false, false},
                      TTerminatedCase{"Stop", 2, false, true}, TTerminatedCase{"Other", 3, false, false},
                      TTerminatedCase{"BeginAfterAnEndedQuestion", 0, true, false},
                      TTerminatedCase{"RestartAfterAnEndedQuestion", 1, true, false},
                      TTerminatedCase{"StopAfterAnEndedQuestion", 2, true, true}),
    [](const ::testing::TestParamInfo<TTerminatedCase> &info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------
// Names from outside cannot steer the terminal.

TEST(UpdateConsoleTerminal, PortNamesWithControlCharactersAreShownEscaped)
{
    TUpdateConsole::TSettings s = Terminal();
    s.Redraw = true;
    const QString name = QStringLiteral("ttyX\x1b[2J\rfake");
    TConsoleRig rig(s, 2, {name});
    TUpdateConsole &c = *rig.Console;
    c.GaugeMaximum(0, 10);
    c.Redraw();
    c.Status(0, QStringLiteral("Updating the unit..."));
    c.Finish({Result("ttyV1", TOutcomeKind::Completed, 0, 1), Result("x", TOutcomeKind::Stopped, 6, 1)}, 6,
             QStringLiteral("varnel-cli update --port ") + name);
    rig.Console->Ended(0, Result("x", TOutcomeKind::Stopped, 6, 1));
    EXPECT_FALSE(rig.Out.contains(QStringLiteral("\x1b[2J"))) << rig.Out.toStdString();
    EXPECT_FALSE(rig.Out.contains(QStringLiteral("\rfake"))) << rig.Out.toStdString();
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("[ttyX\\x1b[2J\\rfake] Updating the unit..."))) << rig.Out.toStdString();
    EXPECT_TRUE(rig.Out.contains(QStringLiteral("--port ttyX\\x1b[2J\\rfake\n"))) << rig.Out.toStdString();
}

// ---------------------------------------------------------------------------------------------
// A report that misses lines is said at the end, also when every unit completed.

TEST(UpdateConsoleSummary, SaysWhenOnlyTheReportFailed)
{
    const QList<TPortResult> done = {Result("ttyV0", TOutcomeKind::Completed, 0, 1)};
    for (const bool failed : {false, true}) {
        TConsoleRig json(Json(), 1);
        json.Console->Finish(done, failed ? 4 : 0, QString(), failed);
        EXPECT_EQ(json.Events().last().value("reportFailed").toBool(), failed);
        TConsoleRig human(Terminal(), 1);
        human.Console->Finish(done, failed ? 4 : 0, QString(), failed);
        EXPECT_EQ(human.Out.endsWith(QStringLiteral("\nEvery unit completed.\n")), !failed) << human.Out.toStdString();
        EXPECT_EQ(human.Out.contains(QStringLiteral("report misses lines")), failed) << human.Out.toStdString();
    }
}

} // namespace
