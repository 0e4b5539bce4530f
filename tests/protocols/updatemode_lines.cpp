// The update-mode flow's line phase: what reaches the unit, line by line, and the progress the
// technician sees.

#include <gtest/gtest.h>

#include <QFile>

#include "tests/protocols/expected_outcome.h"
#include "tests/protocols/updatemode_rig.h"

using namespace updatemode_rig;

namespace {

const QString RestartQuestion = "ask[Restart the unit?]: Update Complete.  Do you want to restart the unit (X)?  ";
const QString StopPrompt = "ask[Stop the update?]: WARNING: You have paused the programming procedure. If you stop this procedure, the unit will not properly operate until the programming procedure is complete!  Select YES to stop programming, or NO to continue.";
const QString EofStatus = "status: Unexpected EOF reached with incorrect response from unit.  Try again.";

QList<QByteArray> WithLineEnds(const QList<QByteArray> &lines)
{
    QList<QByteArray> out;
    for (const QByteArray &l : lines)
        out << l + "\r\n";
    return out;
}

struct TSuccessCase {
    const char *Name;
    QByteArray LineEnd;
    bool TrailingEnd;
    bool Restart;
};

void PrintTo(const TSuccessCase &c, std::ostream *os) { *os << c.Name; }

class UpdateModeSuccess : public ::testing::TestWithParam<TSuccessCase> {};

TEST_P(UpdateModeSuccess, SendsEveryLineInOrderAndEndsWithTheRestartQuestion)
{
    const TSuccessCase &c = GetParam();
    constexpr int DataRecords = 12;
    QTemporaryDir dir;
    const QList<QByteArray> lines = UpdateLines(TRecordVariant::Addr32, DataRecords);
    TRig rig;
    rig.State.SelectedUnit = 16;
    rig.Surface.FileName = WriteFile(dir, "T46update.s19", lines, c.LineEnd, c.TrailingEnd);
    rig.Surface.Answers = {true, c.Restart};

    EXPECT_TRUE(rig.RunUpdateModeFlow());

    EXPECT_EQ(rig.Unit.Accepted, lines);
    EXPECT_EQ(rig.LineWrites(), WithLineEnds(lines)) << "one write per line, each ended by CR LF, no retries";
    EXPECT_EQ(rig.LastSent(), c.Restart ? QByteArray("X") : lines.last() + "\r\n");
    EXPECT_EQ(rig.Unit.Restarted, c.Restart);
    // The gauge runs to the check's count (data records + end record); the header and the data
    // records are acknowledged with ".", the end record with "!".
    EXPECT_EQ(rig.Surface.GaugeMaximum, DataRecords + 1);
    EXPECT_EQ(rig.Surface.GaugePosition, DataRecords + 1);
    EXPECT_EQ(rig.Surface.LinesSent, QString::number(DataRecords + 1));
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::Completed()));
    EXPECT_EQ(rig.Outcome.Acknowledged, DataRecords + 1) << "the header and the data records";
    EXPECT_EQ(rig.Outcome.Retries, 0);
    const QStringList shown = rig.Shown();
    EXPECT_EQ(shown.mid(shown.size() - 2),
              (QStringList{RestartQuestion + (c.Restart ? " -> yes" : " -> no"), "status: Update complete."}));
    EXPECT_EQ(rig.Surface.Boxes(), QStringList{});
    EXPECT_FALSE(rig.Port.Connected());
    EXPECT_EQ(rig.Port.OpenCount, 2);
    EXPECT_EQ(rig.Port.CloseCount, 2);
    EXPECT_EQ(rig.Port.OpenBitRates.value(1), 57600) << "the flow's own open";
    EXPECT_EQ(OpenHandles(rig.Surface.FileName), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, UpdateModeSuccess,
                         ::testing::Values(TSuccessCase{"LfRestart", "\n", true, true},
                                           TSuccessCase{"LfNoRestart", "\n", true, false},
                                           TSuccessCase{"CrLfRestart", "\r\n", true, true},
                                           TSuccessCase{"NoFinalLineEnd", "\n", false, true},
                                           TSuccessCase{"CrLfNoFinalLineEnd", "\r\n", false, false}),
                         [](const auto &info) { return std::string(info.param.Name); });

// Unit types 2, 6, 12, 16 take 32-bit records, 1 and 11 take 24-bit records.
struct TVariantCase {
    int Unit;
    TRecordVariant FileVariant;
    bool Accepted;
};

class UpdateModeVariant : public ::testing::TestWithParam<TVariantCase> {};

TEST_P(UpdateModeVariant, ChecksTheFileWithTheUnitTypesRecordWidth)
{
    const TVariantCase &c = GetParam();
    QTemporaryDir dir;
    TRig rig;
    rig.State.SelectedUnit = c.Unit;
    rig.Surface.FileName = WriteFile(dir, "update.s19", UpdateLines(c.FileVariant, 3));

    EXPECT_EQ(rig.RunUpdateModeFlow(), c.Accepted);
    if (c.Accepted) {
        EXPECT_EQ(rig.Surface.GaugeMaximum, 4);
    } else {
        EXPECT_EQ(rig.LastShown(), "status: Update file format was not valid. Update stopped.");
    }
    EXPECT_EQ(rig.Unit.ContactRequests > 0, c.Accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Units, UpdateModeVariant,
    ::testing::Values(TVariantCase{2, TRecordVariant::Addr32, true}, TVariantCase{6, TRecordVariant::Addr32, true},
                      TVariantCase{12, TRecordVariant::Addr32, true}, TVariantCase{16, TRecordVariant::Addr32, true},
                      TVariantCase{1, TRecordVariant::Addr24, true}, TVariantCase{11, TRecordVariant::Addr24, true},
                      TVariantCase{1, TRecordVariant::Addr32, false}, TVariantCase{11, TRecordVariant::Addr32, false},
                      TVariantCase{2, TRecordVariant::Addr24, false}, TVariantCase{16, TRecordVariant::Addr24, false}),
    [](const auto &info) {
        return "Unit" + std::to_string(info.param.Unit) +
               (info.param.FileVariant == TRecordVariant::Addr32 ? "_S3File" : "_S2File");
    });

class UpdateModeLinePhase : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QList<QByteArray> lines = UpdateLines(TRecordVariant::Addr32, 4); // 6 lines

    void Prepare(TRig &rig, const QList<QByteArray> &fileLines, bool trailingEnd = true)
    {
        rig.State.SelectedUnit = 2;
        rig.Surface.FileName = WriteFile(dir, "T42update.s19", fileLines, "\n", trailingEnd);
    }
};

TEST_F(UpdateModeLinePhase, LineRejectedThreeTimesCountsOnceWhenTakenAtTheFourthAttempt)
{
    TRig rig({"line@3=C*3"});
    Prepare(rig, lines);

    EXPECT_TRUE(rig.RunUpdateModeFlow());

    QList<QByteArray> expected = WithLineEnds(lines);
    for (int i = 0; i < 3; ++i)
        expected.insert(2, lines[2] + "\r\n");
    EXPECT_EQ(rig.LineWrites(), expected);
    EXPECT_EQ(rig.Unit.Accepted, lines);
    EXPECT_EQ(rig.Surface.LinesSent, "5");
    EXPECT_EQ(rig.Surface.Boxes(), QStringList{});
    EXPECT_EQ(rig.Outcome.Retries, 3);
    EXPECT_EQ(rig.Outcome.Acknowledged, 5);
}

TEST_F(UpdateModeLinePhase, BytesLeftOverFromAnEarlierAnswerAreDroppedBeforeTheNextWrite)
{
    TRig rig;
    TFaultRule chatty; // the unit follows its answer to the first line with a stray "C"
    chatty.Stage = TUnitStage::Line;
    chatty.Index = 1;
    chatty.Answer = QByteArray(".C");
    chatty.Times = 1;
    rig.Unit.Script.Rules.push_back(chatty);
    Prepare(rig, lines);

    EXPECT_TRUE(rig.RunUpdateModeFlow());

    EXPECT_EQ(rig.LineWrites(), WithLineEnds(lines)) << "the stray byte must not count as the next line's answer";
}

TEST_F(UpdateModeLinePhase, LastLineWithoutLineEndTakenAsLineMeansEndOfFileAtOnce)
{
    TRig rig({"line@6=.*1"});
    Prepare(rig, lines, false);

    EXPECT_FALSE(rig.RunUpdateModeFlow());

    EXPECT_EQ(rig.LineWrites(), WithLineEnds(lines)) << "nothing follows the last line";
    EXPECT_EQ(rig.LastShown(), EofStatus);
    EXPECT_EQ(rig.Surface.LinesSent, "6");
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::Rejected("."))) << "the unit missed the end record";
}

TEST_F(UpdateModeLinePhase, FileEndingWithLineEndSendsOneEmptyLineBeforeEndOfFile)
{
    TRig rig({"line@6=.*1", "line@7=.*1"});
    Prepare(rig, lines, true);

    EXPECT_FALSE(rig.RunUpdateModeFlow());

    EXPECT_EQ(rig.LineWrites(), WithLineEnds(lines) << "\r\n");
    EXPECT_EQ(rig.LastShown(), EofStatus);
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::Rejected("."))) << "the unit missed the end record";
    EXPECT_EQ(rig.Surface.LinesSent, "7");
    // The gauge follows the count past its maximum rather than stopping or wrapping.
    EXPECT_EQ(rig.Surface.GaugeMaximum, 5);
    EXPECT_EQ(rig.Surface.GaugePosition, 7);
}

TEST_F(UpdateModeLinePhase, EmptyLineBeforeTheHeaderIsSentAsLineEndAloneAndCounted)
{
    TRig rig;
    QList<QByteArray> withBlank = lines;
    withBlank.prepend(QByteArray());
    Prepare(rig, withBlank);

    EXPECT_TRUE(rig.RunUpdateModeFlow());

    EXPECT_EQ(rig.LineWrites().value(0), "\r\n");
    EXPECT_EQ(rig.LineWrites(), WithLineEnds(withBlank));
    EXPECT_EQ(rig.Surface.LinesSent, "6");
}

TEST_F(UpdateModeLinePhase, HeaderCountsAsASentLine)
{
    TRig rig({"line@2=R"});
    Prepare(rig, lines);

    EXPECT_FALSE(rig.RunUpdateModeFlow());

    EXPECT_EQ(rig.Unit.Accepted, QList<QByteArray>{lines[0]});
    EXPECT_EQ(rig.Surface.LinesSent, "1");
    EXPECT_EQ(rig.Surface.GaugePosition, 1);
}

TEST_F(UpdateModeLinePhase, DecliningToStopGoesOnWithTheNextLine)
{
    TRig rig;
    Prepare(rig, lines);
    rig.Surface.Answers = {true, false, true};
    int pressedAt = 0;
    rig.Surface.OnPump = [&] {
        const int written = int(rig.LineWrites().size());
        if ((written == 1 || written == 3) && pressedAt < written) {
            pressedAt = written;
            rig.State.StopRequested = true;
        }
    };
    EXPECT_FALSE(rig.RunUpdateModeFlow());

    const QStringList asks = rig.Shown().filter(QStringLiteral("ask["));
    EXPECT_EQ(asks.mid(1), (QStringList{StopPrompt + " -> no", StopPrompt + " -> yes"}));
    // Stop is seen at the top of the line after the one in flight. After No the flag is clear
    // and lines go on; had it stayed set, the prompt would have come back right after line 3.
    EXPECT_EQ(rig.Unit.Accepted, lines.mid(0, 4));
    EXPECT_EQ(rig.LastSent(), "Q");
    EXPECT_TRUE(rig.Unit.Quit);
}

TEST(UpdateModeDots, StatusLineAnimatesEveryHundredLinesInCyclesOfFiveHundred)
{
    QTemporaryDir dir;
    const QList<QByteArray> lines = UpdateLines(TRecordVariant::Addr32, 1001); // 1002 lines taken with "."
    TRig rig;
    rig.State.SelectedUnit = 2;
    rig.Surface.FileName = WriteFile(dir, "T42update.s19", lines);
    QStringList seen; // status text @ lines written so far, from the line phase on
    bool linePhase = false;
    rig.Surface.OnStatus = [&](const QString &text) {
        linePhase = linePhase || text == "Updating the unit";
        if (linePhase)
            seen << QStringLiteral("%1 @%2").arg(text).arg(rig.LineWrites().size());
    };

    EXPECT_TRUE(rig.RunUpdateModeFlow());

    EXPECT_EQ(seen, (QStringList{"Updating the unit @0",     "Updating the unit @1",     "Updating the unit. @100",
                                 "Updating the unit.. @200", "Updating the unit... @300", "Updating the unit.... @400",
                                 "Updating the unit @501",   "Updating the unit. @600",  "Updating the unit.. @700",
                                 "Updating the unit... @800", "Updating the unit.... @900", "Updating the unit @1001",
                                 "Update complete. @1003"}));
    EXPECT_EQ(rig.Surface.LinesSent, "1002");
}

} // namespace
