#include <gtest/gtest.h>

#include "CaptureLine.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/UnitFamilies.h"

namespace {

const QList<QByteArray> File24 = {"S00600004844521B", "S2080100000102030ADA", "S2080100040405060BCA",
                                  "S804010000FA"};

QByteArray Wire(const QByteArray &line) { return line + "\r\n"; }

// A unit with its line, contacted and erased.
struct TErasedUnit {
    explicit TErasedUnit(TFaultScript script = {}) : Unit(std::move(script))
    {
        Unit.AttachLine(&Line);
        Unit.FromHost("P");
        Unit.FromHost("p");
        EXPECT_EQ(Line.TakeNew(), "Pp");
        EXPECT_EQ(Unit.Phase(), TUpdateModeUnit::TPhase::Lines);
    }
    QByteArray Send(const QByteArray &line)
    {
        Unit.FromHost(Wire(line));
        return Line.TakeNew();
    }
    TCaptureLine Line;
    TUpdateModeUnit Unit;
};

TEST(UpdateModeUnit, WholeUpdateIsAcknowledgedAndRecorded)
{
    TErasedUnit u;
    for (qsizetype i = 0; i + 1 < File24.size(); ++i)
        EXPECT_EQ(u.Send(File24[i]), ".") << "line " << i + 1;
    EXPECT_EQ(u.Send(File24.last()), "!");
    EXPECT_TRUE(u.Unit.Finished);
    EXPECT_FALSE(u.Unit.UpdateEnded());
    u.Unit.FromHost("X");
    EXPECT_TRUE(u.Unit.Restarted);
    EXPECT_TRUE(u.Unit.UpdateEnded());
    EXPECT_EQ(u.Unit.Lines, File24);
    EXPECT_EQ(u.Unit.Accepted, File24);
    EXPECT_EQ(u.Unit.Commands, "PpX");
    EXPECT_EQ(u.Line.TakeNew(), "") << "X is not answered";
    EXPECT_EQ(u.Unit.StrayBytes, 0);
}

TEST(UpdateModeUnit, EveryTerminationRecordIsAnsweredWithBang)
{
    for (const char *end : {"S70500000000FA", "S804000000FB", "S9030000FC"}) {
        TErasedUnit u;
        EXPECT_EQ(u.Send(end), "!") << end;
    }
    // Lower case, a blank line and text that only contains S9 are ordinary lines.
    for (const char *line : {"s9030000FC", "", " S9030000FC", "S1S9"}) {
        TErasedUnit u;
        EXPECT_EQ(u.Send(line), ".") << '"' << line << '"';
    }
}

TEST(UpdateModeUnit, LineWithoutCarriageReturnEndsAtLineFeed)
{
    TErasedUnit u;
    u.Unit.FromHost("S2080100000102030ADA\n");
    EXPECT_EQ(u.Line.TakeNew(), ".");
    EXPECT_EQ(u.Unit.Lines, QList<QByteArray>{"S2080100000102030ADA"});
    u.Unit.FromHost("S1\r\r\n");
    EXPECT_EQ(u.Unit.Lines.last(), "S1\r") << "only the CR before LF is stripped";
}

TEST(UpdateModeUnit, ContactRuleAnswersQThenRecovers)
{
    TCaptureLine line;
    TUpdateModeUnit unit(ScriptOf({"contact=Q*2"}));
    unit.AttachLine(&line);
    unit.FromHost("p"); // erase before contact: ignored
    EXPECT_EQ(line.TakeNew(), "");
    unit.FromHost("P");
    unit.FromHost("p"); // not contacted: no erase
    unit.FromHost("P");
    unit.FromHost("P");
    EXPECT_EQ(line.TakeNew(), "QQP");
    EXPECT_EQ(unit.ContactRequests, 3);
    EXPECT_EQ(unit.EraseCommands, 0);
    unit.FromHost("p");
    EXPECT_EQ(line.TakeNew(), "p");
    EXPECT_EQ(unit.Commands, "PPPp");
    EXPECT_EQ(unit.StrayBytes, 2);
    EXPECT_EQ(unit.Faults.size(), 2);
}

struct TEraseCase {
    const char *Rule;
    QByteArray FirstAnswer; // to the first "p"
    bool LinePhase;         // lines are taken after the first erase
};

class UpdateModeErase : public ::testing::TestWithParam<TEraseCase> {};

TEST_P(UpdateModeErase, AnswerComesAfterEraseTimeAndOnlyPOpensTheLinePhase)
{
    TCaptureLine line;
    TUpdateModeUnit unit(ScriptOf({GetParam().Rule}, 15000, 7));
    unit.AttachLine(&line);
    unit.FromHost("P");
    unit.FromHost("p");
    ASSERT_EQ(line.Sent.size(), GetParam().FirstAnswer.isEmpty() ? 1 : 2);
    EXPECT_EQ(line.Sent[0].DelayMs, 7) << "contact answer uses the answer delay";
    if (line.Sent.size() == 2) {
        EXPECT_EQ(line.Sent[1].Bytes, GetParam().FirstAnswer);
        EXPECT_EQ(line.Sent[1].DelayMs, 15000) << "erase answers wait for the erase time";
    }
    EXPECT_EQ(unit.Phase() == TUpdateModeUnit::TPhase::Lines, GetParam().LinePhase);
    line.TakeNew();
    unit.FromHost(Wire(File24[0]));
    EXPECT_EQ(line.TakeNew(), GetParam().LinePhase ? "." : "");
    // The host starts over: contact and erase again, now without a fault.
    unit.FromHost("Pp");
    EXPECT_EQ(line.TakeNew(), "Pp");
    EXPECT_EQ(unit.Phase(), TUpdateModeUnit::TPhase::Lines);
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateModeErase,
                         ::testing::Values(TEraseCase{"erase@3=E", "p", true},
                                           TEraseCase{"erase=E*1", "E", false},
                                           TEraseCase{"erase=silent*1", "", false},
                                           TEraseCase{"erase=P*1", "P", false},
                                           TEraseCase{"erase=s*1", "s", false}));

TEST(UpdateModeUnit, RejectedLineKeepsItsNumberUntilAccepted)
{
    TErasedUnit u(ScriptOf({"line@2=C*3", "line@3=silent*1"}));
    EXPECT_EQ(u.Send(File24[0]), ".");
    EXPECT_EQ(u.Send(File24[1]), "C");
    EXPECT_EQ(u.Send(File24[1]), "C");
    EXPECT_EQ(u.Send(File24[1]), "C");
    EXPECT_EQ(u.Send(File24[1]), ".");
    EXPECT_EQ(u.Send(File24[2]), "") << "silence once";
    EXPECT_EQ(u.Send(File24[2]), ".");
    EXPECT_EQ(u.Send(File24[3]), "!");
    EXPECT_EQ(u.Unit.Lines.size(), 8);
    EXPECT_EQ(u.Unit.Accepted, File24);
    EXPECT_EQ(u.Unit.Faults.size(), 4);
    EXPECT_TRUE(u.Unit.Summary().contains(QStringLiteral("line 2: \"C\" instead of \".\"")));
}

TEST(UpdateModeUnit, EndRecordAnsweredOtherwiseKeepsTakingLines)
{
    TErasedUnit u(ScriptOf({"line@4=.*1"}));
    for (qsizetype i = 0; i < File24.size(); ++i)
        EXPECT_EQ(u.Send(File24[i]), ".");
    EXPECT_FALSE(u.Unit.Finished);
    EXPECT_EQ(u.Send(""), ".") << "the empty line after the end record";
    EXPECT_EQ(u.Unit.Accepted.size(), 5);
    u.Unit.FromHost("X");
    EXPECT_FALSE(u.Unit.Restarted) << "X inside a line is line text";
}

TEST(UpdateModeUnit, QuitAtLineStartSilencesTheUnitUntilNextContact)
{
    TErasedUnit u;
    EXPECT_EQ(u.Send(File24[0]), ".");
    u.Unit.FromHost("Q");
    EXPECT_TRUE(u.Unit.Quit);
    EXPECT_TRUE(u.Unit.UpdateEnded());
    EXPECT_EQ(u.Send(File24[1]), "");
    EXPECT_EQ(u.Unit.Lines.size(), 1);
    u.Unit.FromHost("P");
    EXPECT_EQ(u.Line.TakeNew(), "P");
    u.Unit.FromHost("p");
    EXPECT_EQ(u.Line.TakeNew(), "p");
    EXPECT_FALSE(u.Unit.Quit) << "a new erase starts a new update";
    EXPECT_TRUE(u.Unit.Accepted.isEmpty()) << "the erase wiped what was programmed";
    EXPECT_EQ(u.Unit.Commands, "PpQPp");
}

TEST(UpdateModeUnit, QAndPInsideALineAreLineText)
{
    TErasedUnit u;
    EXPECT_EQ(u.Send("S1QP"), ".");
    EXPECT_EQ(u.Unit.Lines, QList<QByteArray>{"S1QP"});
    EXPECT_EQ(u.Unit.Commands, "Pp");
}

TEST(UpdateModeUnit, AnswersReachTheHostOnVirtualTime)
{
    TVirtualClock clock;
    TUpdateModeUnit unit(ScriptOf({}, 12000, 40));
    TInProcessPort port(clock, &unit);
    port.OpenPort();
    QByteArray got;
    port.WriteBytes("P");
    clock.Advance(39);
    EXPECT_EQ(port.ReadBytes(got, 10), 0);
    clock.Advance(1);
    EXPECT_EQ(port.ReadBytes(got, 10), 1);
    EXPECT_EQ(got, "P");
    port.WriteBytes("p");
    clock.Advance(11999);
    EXPECT_EQ(port.ReadBytes(got, 10), 0);
    clock.Advance(1);
    port.ReadBytes(got, 10);
    EXPECT_EQ(got, "p");
    port.WriteBytes(Wire(File24[0]));
    clock.WaitForActivity(5000);
    EXPECT_EQ(clock.TickCount(), 12040 + 40);
    port.ReadBytes(got, 10);
    EXPECT_EQ(got, ".");
}

// On virtual time a pulled cable fails the port's reads and writes once its answer is in.
TEST(UpdateModeUnit, CutLineOnVirtualTimeFailsReadsAndWritesAfterTheAnswer)
{
    TVirtualClock clock;
    TUpdateModeUnit unit(ScriptOf({"contact@1=P+hangup"}, 0, 40));
    TInProcessPort port(clock, &unit);
    port.OpenPort();
    QByteArray got;
    port.WriteBytes("P");
    clock.Advance(40);
    EXPECT_EQ(port.ReadBytes(got, 10), 1);
    EXPECT_EQ(got, "P");
    EXPECT_THROW(port.ReadBytes(got, 10), EComPort);
    EXPECT_THROW(port.WriteBytes("p"), EComPort);
    EXPECT_EQ(unit.Commands, "P");
}

} // namespace
