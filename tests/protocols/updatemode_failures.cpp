// The update-mode flow's ways of failing, one row each: what the technician is shown at the end,
// what reached the unit, and that the port and the update file are closed again.

#include <gtest/gtest.h>

#include <QFile>

#include "tests/protocols/expected_outcome.h"
#include "tests/protocols/updatemode_rig.h"

using namespace updatemode_rig;

namespace {

const QString Ready = "status: Ready.";
const QString Updating = "status: Updating the unit";
const QString UserStopped = "status: User has stopped the update.";
const QString BeginQuestion = "ask[Begin Update?]: Please set the unit to UPDATE mode (see help file for details). The flash memory will be ERASED and UPDATED.  Do you want to continue?";
const QString StopPromptYes = "ask[Stop the update?]: WARNING: You have paused the programming procedure. If you stop this procedure, the unit will not properly operate until the programming procedure is complete!  Select YES to stop programming, or NO to continue. -> yes";
const QString PortGoneBox = "box[COM Port Error, warning]: The selected COM port is no longer available. Please select a different COM port and try again.";
const QString FileGoneBox = "box[File Error, warning]: The selected update file no longer exists. Please select a different file and try again.";
const QString UnreadableStatus = "status: The selected update file could not be read.  Update stopped.";
const QString UnreadableBox = "box[File Error, warning]: The selected update file could not be read. The file may be opened by a different application or may no longer exist.";
const QString FormatInvalid = "status: Update file format was not valid. Update stopped.";
const QString SendFailed = "status: Could not successfully send data using selected COM port.  Please try again.";
const QString EofBox = "box[Update Error, warning]: The end of file (EOF) has been reached without a correct delimiter from the unit. Please try again, or consult the help file. ";
const QString EofStatus = "status: Unexpected EOF reached with incorrect response from unit.  Try again.";
const QString Unexpected = "status: Could not continue with the update due to an unexpected error.";

constexpr int DataRecords = 5; // header, 5 data records, end record: 7 lines

struct TFailureCase {
    const char *Name;
    QStringList Rules;
    // The last things shown, in order.
    QStringList ShownTail;
    TExpectedOutcome Ends;
    std::function<void(TRig &, const QString &path)> Setup = {};
    qint64 FinalHold = 0;         // ms the last status stays before the flow returns
    QByteArray LastSent = {};     // the last bytes written, when it matters ("Q")
    int Acknowledged = -1;        // LabelSREClines and the outcome's count at the end; -1: not checked
    int Opens = 2;                // successful opens: the probe's, then the flow's own
};

void PrintTo(const TFailureCase &c, std::ostream *os) { *os << c.Name; }

// Presses Stop once, when the given number of file lines has been written.
void PressStopAfterLines(TRig &rig, int lines)
{
    auto pressed = std::make_shared<bool>(false);
    rig.Surface.OnPump = [&rig, lines, pressed] {
        if (!*pressed && rig.LineWrites().size() == lines) {
            *pressed = true;
            rig.State.StopRequested = true;
        }
    };
}

const TFailureCase FailureCases[] = {
    {"PortNoLongerAvailable", {}, {Ready, PortGoneBox}, Ends::PortNotAvailable(),
     [](TRig &rig, const QString &) { rig.Port.BusyPorts << QStringLiteral("ttyS0"); }, 0, {}, -1, 0},
    {"FileNoLongerExists", {}, {Ready, FileGoneBox}, Ends::File(TFileProblem::Gone),
     [](TRig &, const QString &path) { QFile::remove(path); }},
    {"NoToBeginUpdate", {}, {Ready, BeginQuestion + " -> no", UserStopped}, Ends::Stopped(),
     [](TRig &rig, const QString &) { rig.Surface.Answers = {false}; }},
    {"FormatNotValid", {}, {FormatInvalid}, Ends::File(TFileProblem::NotValid),
     [](TRig &, const QString &path) {
         QFile f(path);
         f.open(QIODevice::WriteOnly | QIODevice::Truncate);
         f.write("this is not an update file\n");
     }},
    {"FormatCheckStopped", {}, {UserStopped}, Ends::Stopped(),
     [](TRig &rig, const QString &) {
         rig.Surface.OnQuestion = [&rig](const QString &) { rig.State.StopRequested = true; };
     }},
    {"EraseFailed", {"erase=E"},
     {"box[Erase failure, warning]: Error 'E': Flash erase error. Unit will not properly operate until the programming procedure is complete! ",
      "status: The flash memory could not be erased.  Try again."},
     Ends::Rejected("E"), {}, 1000},
    {"FileGoneBeforeSending", {}, {Updating, UnreadableStatus, UnreadableBox}, Ends::File(TFileProblem::Unreadable),
     [](TRig &rig, const QString &path) { rig.Clock.ScheduleAt(1000, [path] { QFile::remove(path); }); }},
    // The file changes under the flow: a line far longer than any S-record must not go out cut short.
    {"LineTooLongToBeRead", {}, {Updating, UnreadableStatus, UnreadableBox}, Ends::File(TFileProblem::Unreadable),
     [](TRig &rig, const QString &path) {
         rig.Clock.ScheduleAt(1000, [path] {
             QFile f(path);
             f.open(QIODevice::WriteOnly | QIODevice::Truncate);
             f.write(UpdateLines(TRecordVariant::Addr32, 1).first() + "\n");
             f.write(QByteArray(100 * 1024, 'A') + "\n");
         });
     },
     0, {}, 1},
    {"LineCannotBeWritten", {}, {Updating, SendFailed}, Ends::LinkFailed(),
     [](TRig &rig, const QString &) {
         rig.Fault = [](const QByteArray &b) { return b.endsWith("\r\n") ? -1 : int(b.size()); };
     },
     1000},
    {"StopConfirmedAtTheFlowsPrompt", {}, {StopPromptYes, UserStopped}, Ends::Stopped(),
     [](TRig &rig, const QString &) { PressStopAfterLines(rig, 3); }, 0, "Q", 4},
    {"StopConfirmedWhileWaitingForAnAnswer", {}, {StopPromptYes, UserStopped, UserStopped}, Ends::Stopped(),
     [](TRig &rig, const QString &) {
         rig.Unit.Script.AnswerDelayMs = 50;
         PressStopAfterLines(rig, 3);
     },
     0, "Q", 2},
    // The unit's own "s" reads as a stop on the screen, but nobody stopped: the unit answered "s".
    {"UnitSendsStopByte", {"line@3=s"}, {Updating, UserStopped}, Ends::Rejected("s"), {}, 0, "Q", 2},
    // A pulled cable: the receive fails, which the screen tells like a stop.
    {"PortFailsWhileWaitingForAnAnswer", {}, {Updating, UserStopped}, Ends::LinkFailed(),
     [](TRig &rig, const QString &) {
         rig.Unit.Script.AnswerDelayMs = 50;
         auto pulled = std::make_shared<bool>(false);
         rig.Surface.OnPump = [&rig, pulled] {
             if (!*pulled && rig.LineWrites().size() == 3) {
                 *pulled = true;
                 rig.Port.ReadFails = true;
             }
         };
     },
     0, "Q", 2},
    // The unit took the end record with "." instead of "!".
    {"EndOfFileBeforeEndRecordTaken", {"line@7=.*1"}, {EofBox, EofStatus}, Ends::Rejected("."),
     [](TRig &, const QString &path) {
         // Same file without the last line end: the file ends with the end record.
         QFile f(path);
         f.open(QIODevice::ReadWrite);
         f.resize(f.size() - 1);
     },
     0, {}, 7},
    // The port taken between the probe and the flow's open: not available, as the probe's refusal.
    {"ExceptionWhenTheFlowOpensThePort", {}, {Ready, Unexpected}, Ends::PortNotAvailable(),
     [](TRig &rig, const QString &) {
         auto opens = std::make_shared<int>(0);
         rig.Port.BeforeOpen = [opens] {
             if (++*opens == 2)
                 throw EComPort(CE_OpenFailed, 16);
         };
     },
     0, {}, -1, 1},
    {"ExceptionDuringTheLinePhase", {}, {Updating, Unexpected}, Ends::Unexpected(),
     [](TRig &rig, const QString &) {
         rig.Surface.OnLinesSent = [] { throw std::runtime_error("label gone"); };
     },
     0, {}, 1},
};

class UpdateModeFlowFailure : public ::testing::TestWithParam<TFailureCase> {};

TEST_P(UpdateModeFlowFailure, ReportsItAndClosesPortAndFile)
{
    const TFailureCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "T42update.s19", UpdateLines(TRecordVariant::Addr32, DataRecords));
    TRig rig(c.Rules);
    rig.State.SelectedUnit = 2;
    rig.Surface.FileName = path;
    if (c.Setup)
        c.Setup(rig, path);

    EXPECT_FALSE(rig.RunUpdateModeFlow());

    const QStringList shown = rig.Shown();
    ASSERT_GE(shown.size(), c.ShownTail.size()) << shown.join('\n').toStdString();
    EXPECT_EQ(shown.mid(shown.size() - c.ShownTail.size()), c.ShownTail) << shown.join('\n').toStdString();
    EXPECT_EQ(rig.FinalHold(), c.FinalHold);
    if (!c.LastSent.isEmpty()) {
        EXPECT_EQ(rig.LastSent(), c.LastSent);
    }
    EXPECT_TRUE(EndedAs(rig.Outcome, c.Ends));
    if (c.Acknowledged >= 0) {
        EXPECT_EQ(rig.Surface.LinesSent, QString::number(c.Acknowledged));
        EXPECT_EQ(rig.Outcome.Acknowledged, c.Acknowledged);
    }
    EXPECT_FALSE(rig.Unit.Finished);

    EXPECT_FALSE(rig.Port.Connected());
    EXPECT_EQ(rig.Port.OpenCount, rig.Port.CloseCount);
    EXPECT_EQ(rig.Port.OpenCount, c.Opens);
    EXPECT_EQ(OpenHandles(path), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateModeFlowFailure, ::testing::ValuesIn(FailureCases),
                         [](const auto &info) { return std::string(info.param.Name); });

// The unit's last answer to a line it would not take, after four attempts.
struct TFinalAnswerCase {
    const char *Rule;
    QStringList ShownTail;
    TExpectedOutcome Ends;
};

void PrintTo(const TFinalAnswerCase &c, std::ostream *os) { *os << c.Rule; }

class UpdateModeFinalAnswer : public ::testing::TestWithParam<TFinalAnswerCase> {};

TEST_P(UpdateModeFinalAnswer, GivesUpAfterFourWritesOfTheSameLine)
{
    const TFinalAnswerCase &c = GetParam();
    QTemporaryDir dir;
    const QList<QByteArray> lines = UpdateLines(TRecordVariant::Addr24, DataRecords);
    TRig rig({c.Rule});
    rig.State.SelectedUnit = 1;
    rig.Surface.FileName = WriteFile(dir, "T41update.s19", lines);

    EXPECT_FALSE(rig.RunUpdateModeFlow());

    const QStringList shown = rig.Shown();
    EXPECT_EQ(shown.mid(shown.size() - c.ShownTail.size()), c.ShownTail) << shown.join('\n').toStdString();
    EXPECT_EQ(shown.filter(QStringLiteral("box[")).size(), c.ShownTail.size() - 1) << "no other box";
    const QList<QByteArray> expected{lines[0] + "\r\n", lines[1] + "\r\n", lines[2] + "\r\n", lines[2] + "\r\n",
                                     lines[2] + "\r\n", lines[2] + "\r\n"};
    EXPECT_EQ(rig.LineWrites(), expected);
    EXPECT_EQ(rig.LastSent(), lines[2] + "\r\n") << "nothing sent after the last attempt";
    EXPECT_EQ(rig.Surface.LinesSent, "2");
    EXPECT_TRUE(EndedAs(rig.Outcome, c.Ends));
    EXPECT_EQ(rig.Outcome.Acknowledged, 2);
    EXPECT_EQ(rig.Outcome.Retries, 3) << "the last line's three repeats";
    EXPECT_FALSE(rig.Port.Connected());
    EXPECT_EQ(rig.Port.OpenCount, rig.Port.CloseCount);
    EXPECT_EQ(OpenHandles(rig.Surface.FileName), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateModeFinalAnswer,
    ::testing::Values(
        TFinalAnswerCase{"line@3=C",
                         {"box[Update Error, warning]: Error 'C': Checksum error has occurred. Please try again, or consult the help file.",
                          "status: Error 'C' Checksum error occurred.  Try again."},
                         Ends::Rejected("C")},
        TFinalAnswerCase{"line@3=F",
                         {"box[Update Error, warning]: Error 'F': Buffer full error. Please try again, or consult the help file. ",
                          "status: Error 'F' Buffer error occurred.  Try again."},
                         Ends::Rejected("F")},
        TFinalAnswerCase{"line@3=R",
                         {"box[Update Error, warning]: Error 'R': Byte programming error.   Please try again, or consult the help file.",
                          "status: Error 'R' Byte programming error occurred.  Try again."},
                         Ends::Rejected("R")},
        TFinalAnswerCase{"line@3=silent", {"status: Did not receive any response from unit.  Try again."},
                         Ends::NoAnswer(TNoAnswerStage::Line)},
        // A "t" that came from the unit reads like silence on the screen, but it is an answer.
        TFinalAnswerCase{"line@3=t", {"status: Did not receive any response from unit.  Try again."},
                         Ends::Rejected("t")},
        TFinalAnswerCase{"line@3=x", {"status: Received an incorrect response from unit.  Try again."},
                         Ends::Rejected("x")},
        TFinalAnswerCase{"line@3=P", {"status: Received an incorrect response from unit.  Try again."},
                         Ends::Rejected("P")}),
    [](const auto &info) {
        const QString answer = QString::fromLatin1(info.param.Rule).section('=', 1);
        return "Answer_" + (answer == "t" ? std::string("tByte") : answer.toStdString());
    });

TEST(UpdateModeFlowExceptions, ClosingThePortThatRaisesNeverEscapes)
{
    QTemporaryDir dir;
    TRig rig;
    rig.State.SelectedUnit = 2;
    rig.Surface.FileName = WriteFile(dir, "T42update.s19", UpdateLines(TRecordVariant::Addr32, DataRecords));
    auto closes = std::make_shared<int>(0);
    rig.Port.BeforeClose = [closes] {
        if (++*closes == 2) // the probe closes once; the flow's own close raises
            throw EComPort(CE_PurgeFailed, 5);
    };

    bool ok = false;
    EXPECT_NO_THROW(ok = rig.RunUpdateModeFlow());
    EXPECT_TRUE(ok);
    EXPECT_TRUE(rig.Unit.Finished);
    EXPECT_EQ(rig.LastShown(), "status: Update complete.");
    EXPECT_EQ(OpenHandles(rig.Surface.FileName), 0);
}

} // namespace
