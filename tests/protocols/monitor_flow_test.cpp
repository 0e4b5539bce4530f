// The resistor monitor's byte-by-byte exchange: echoes, error letters, the address limit and
// hexadecimal digits.

#include <gtest/gtest.h>

#include "seriallink/LinkTexts.h"
#include "tests/protocols/bootloader_flow_rig.h"
#include "tests/protocols/expected_outcome.h"

namespace {

using namespace Seen;

const QString HexProblem = QStringLiteral("Hex conversion problem.  Update file may be damaged. Try again.");
const QString AddressProblem =
    QStringLiteral("S-Record format problem. Could not complete udpate. Please try again.");

TEST(MonitorFlow, SendsEachDataByteCommandInOneWrite)
{
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0x12AB, Bytes({0x00, 0x5A})), EndLine});

    EXPECT_TRUE(rig.Run());

    // "S", address high, address low, data: the four bytes of a command leave together.
    const QList<QByteArray> expected{QByteArray("S\x12\xAB\0", 4), "S\x12\xACZ", "!"};
    EXPECT_EQ(rig.RecordWrites(), expected);
}

TEST(MonitorFlow, EchoesThatLookLikeLettersOrSpecialResultsAcknowledge)
{
    // Data bytes equal to the error letters, to the time-out and stop texts, and to the
    // contact and end characters are acknowledged by their echo.
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0x4000, "EFRVS"), S1(0x4005, "ts.!"), EndLine});

    EXPECT_TRUE(rig.Run());

    EXPECT_EQ(rig.MonitorUnit.Programmed, ProgramOf(rig.Lines));
    EXPECT_EQ(rig.MonitorUnit.Programmed.size(), 9);
    EXPECT_EQ(rig.Surface.LinesSent, "2");
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::Completed()));
    EXPECT_EQ(rig.Outcome.Acknowledged, 9) << "every data byte echoed";
}

TEST(MonitorFlow, SilentUnitOnDataByteLikeTheTimeOutTextFails)
{
    // 0x74 is "t": a time-out must not pass for its echo.
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0x4000, Bytes({0x10, 0x74, 0x11})), EndLine});
    rig.AddFault(TUnitStage::Byte, 2, std::nullopt);
    qint64 sentAt = -1;
    rig.OnceLastWrite("S\x40\x01t", [&] { sentAt = rig.Clock.TickCount(); });

    EXPECT_FALSE(rig.Run());

    EXPECT_EQ(rig.Surface.Timeline(), Contacted(TFlowKind::Monitor) << Status(FlowTexts::NoResponse));
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::NoAnswer(TNoAnswerStage::Byte)));
    EXPECT_GT(rig.Surface.Seen.last().At - sentAt, 5000);
    EXPECT_EQ(rig.MonitorUnit.Programmed.keys(), QList<int>{0x4000});
    EXPECT_EQ(rig.RecordWrites().size(), 2); // the third byte's command never went out
    EXPECT_FALSE(rig.Port.Connected());
}

struct TByteAnswer {
    const char *Name;
    std::optional<QByteArray> Answer; // nullopt: silence
    QString Box;                      // empty: no box
    QString Status;
    TExpectedOutcome Ends;
};

class MonitorByteAnswer : public ::testing::TestWithParam<TByteAnswer> {};

TEST_P(MonitorByteAnswer, FirstWrongAnswerEndsTheRun)
{
    const TByteAnswer &a = GetParam();
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0x4000, Bytes({0x10, 0x20, 0x30})), S1(0x4003, Bytes({0x40})), EndLine});
    rig.AddFault(TUnitStage::Byte, 2, a.Answer);

    EXPECT_FALSE(rig.Run());

    QStringList expected = Contacted(TFlowKind::Monitor);
    if (!a.Box.isEmpty())
        expected << Box(FlowTexts::UpdateErrorTitle, a.Box);
    expected << Status(a.Status);
    EXPECT_EQ(rig.Surface.Timeline(), expected);
    EXPECT_TRUE(EndedAs(rig.Outcome, a.Ends));
    EXPECT_EQ(rig.Outcome.Acknowledged, 1);
    EXPECT_EQ(rig.MonitorUnit.Programmed.keys(), QList<int>{0x4000});
    EXPECT_EQ(rig.RecordWrites().size(), 2);
    EXPECT_FALSE(rig.Port.Connected());
    EXPECT_FALSE(rig.State.StopRequested);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MonitorByteAnswer,
    ::testing::Values(
        TByteAnswer{"E", "E", "Error 'E': Flash erase error. Please try again, or consult the help file. ",
                    "Error 'E': Flash erase error.  Try again.", Ends::Rejected("E")},
        TByteAnswer{"F", "F", FlowTexts::ErrorFBox, FlowTexts::ErrorFStatus, Ends::Rejected("F")},
        TByteAnswer{"R", "R", FlowTexts::ErrorRBox, FlowTexts::ErrorRStatus, Ends::Rejected("R")},
        TByteAnswer{"V", "V", "Error 'V': Byte verification error. Please try again, or consult the help file. ",
                    "Error 'V': Byte verification error.  Try again.", Ends::Rejected("V")},
        TByteAnswer{"S", "S", "Error 'S': Record header error. Please try again, or consult the help file. ",
                    "Error 'S': Record header error.  Try again.", Ends::Rejected("S")},
        TByteAnswer{"Silence", std::nullopt, {}, FlowTexts::NoResponse, Ends::NoAnswer(TNoAnswerStage::Byte)},
        // A byte "t" that came from the unit is an answer, not a time-out.
        TByteAnswer{"ByteT", "t", {}, FlowTexts::WrongResponse, Ends::Rejected("t")},
        TByteAnswer{"ByteSWithoutStop", "s", {}, FlowTexts::WrongResponse, Ends::Rejected("s")},
        TByteAnswer{"OtherByte", "x", {}, FlowTexts::WrongResponse, Ends::Rejected("x")},
        TByteAnswer{"EchoOfAnotherByte", "\x30", {}, FlowTexts::WrongResponse, Ends::Rejected("\x30")}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(MonitorFlow, AddressFFFFMayEndARecord)
{
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0xFFFD, Bytes({0x01, 0x02, 0x03})), EndLine});

    EXPECT_TRUE(rig.Run());

    EXPECT_EQ(rig.MonitorUnit.Programmed, ProgramOf(rig.Lines));
    EXPECT_EQ(rig.MonitorUnit.Programmed.lastKey(), 0xFFFF);
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::Completed()));
}

TEST(MonitorFlow, RecordRunningPastFFFFFailsAfterTheByteAtFFFF)
{
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0xFFFE, Bytes({0x01, 0x02, 0x03})), EndLine});

    EXPECT_FALSE(rig.Run());

    EXPECT_EQ(rig.Surface.Timeline(), Contacted(TFlowKind::Monitor) << Status(AddressProblem));
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::File(TFileProblem::NotValid)));
    EXPECT_EQ(rig.Outcome.Acknowledged, 2) << "the bytes at FFFE and FFFF were echoed";
    EXPECT_EQ(rig.Clock.TickCount() - rig.Surface.Seen.last().At, 1000);
    EXPECT_EQ(rig.MonitorUnit.Programmed.keys(), (QList<int>{0xFFFE, 0xFFFF}));
    EXPECT_EQ(rig.RecordWrites().size(), 2);
    EXPECT_FALSE(rig.Port.Connected());
}

struct TBadDigit {
    const char *Name;
    QByteArray Record;        // the second record, with a digit the unit's protocol rejects
    QList<int> Programmed;    // addresses programmed before the run ended
};

class MonitorBadDigit : public ::testing::TestWithParam<TBadDigit> {};

TEST_P(MonitorBadDigit, EndsWithHexConversionProblem)
{
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0x1000, Bytes({0x01})), GetParam().Record, EndLine});

    EXPECT_FALSE(rig.Run());

    EXPECT_EQ(rig.Surface.Timeline(), FirstRecordDone(TFlowKind::Monitor) << Status(HexProblem));
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::File(TFileProblem::NotValid)));
    EXPECT_EQ(rig.Outcome.Acknowledged, GetParam().Programmed.size());
    EXPECT_EQ(rig.MonitorUnit.Programmed.keys(), GetParam().Programmed);
    EXPECT_EQ(rig.RecordWrites().size(), GetParam().Programmed.size());
    EXPECT_FALSE(rig.Port.Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Digits, MonitorBadDigit,
    ::testing::Values(TBadDigit{"LowerCaseInAddress", "S1062a00010203CB", {0x1000}},
                      TBadDigit{"LowerCaseInDataAfterTwoBytes", "S10620000102a3CB", {0x1000, 0x2000, 0x2001}},
                      TBadDigit{"NonDigitInData", "S106200001G203CB", {0x1000, 0x2000}}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(MonitorFlow, StopConfirmedWhileWaitingForAnEcho)
{
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0x1000, Bytes({0x01, 0x02})), EndLine});
    rig.AddFault(TUnitStage::Byte, 2, std::nullopt);
    rig.OnceLastWrite("S\x10\x01\x02", [&] { rig.State.StopRequested = true; });

    EXPECT_FALSE(rig.Run());

    EXPECT_EQ(rig.Surface.Timeline(), Contacted(TFlowKind::Monitor)
                                          << Ask(LinkTexts::StopPromptTitle, LinkTexts::StopPromptText, true)
                                          << Status(LinkTexts::UserStopped) << Status(LinkTexts::UserStopped));
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::Stopped()));
    EXPECT_EQ(rig.Outcome.Acknowledged, 1);
    EXPECT_FALSE(rig.Port.Connected());
}

struct TCommandWriteFault {
    const char *Name;
    int (*Written)(const QByteArray &); // what the port reports for the second command's write
};

class MonitorCommandWriteFault : public ::testing::TestWithParam<TCommandWriteFault> {};

TEST_P(MonitorCommandWriteFault, IsAFailedSend)
{
    TFlowRig rig(TFlowKind::Monitor);
    rig.WriteFile({HeaderLine, S1(0x1000, Bytes({0x01, 0x02})), EndLine});
    int writes = 0;
    const auto written = GetParam().Written;
    // Writes 1 to 3 are the bootloader and the contact request, 4 the first command.
    rig.Port.WriteFault = [&](const QByteArray &b) { return ++writes == 3 + 2 ? written(b) : int(b.size()); };

    EXPECT_FALSE(rig.Run());

    EXPECT_EQ(rig.Surface.Timeline(), Contacted(TFlowKind::Monitor) << Status(LinkTexts::SendFailed));
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::LinkFailed()));
    EXPECT_EQ(rig.Clock.TickCount() - rig.Surface.Seen.last().At, 1000);
    EXPECT_EQ(rig.MonitorUnit.Programmed.keys(), QList<int>{0x1000});
    EXPECT_FALSE(rig.Port.Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MonitorCommandWriteFault,
    ::testing::Values(TCommandWriteFault{"Raises", [](const QByteArray &) { return -1; }},
                      TCommandWriteFault{"ThreeOfFourBytes", [](const QByteArray &b) { return int(b.size()) - 1; }},
                      TCommandWriteFault{"Nothing", [](const QByteArray &) { return 0; }}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
