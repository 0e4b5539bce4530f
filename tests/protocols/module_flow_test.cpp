// The communications module's record-by-record exchange.

#include <gtest/gtest.h>

#include "seriallink/LinkTexts.h"
#include "tests/protocols/bootloader_flow_rig.h"
#include "tests/protocols/expected_outcome.h"

namespace {

using namespace Seen;

TEST(ModuleFlow, EachRecordGoesOutWithItsColonInOneWrite)
{
    TFlowRig rig(TFlowKind::Module);
    const QByteArray a = S1(0x0100, Bytes({0x00, 0x3A, 0x2E})), b = S1(0x0103, Bytes({0x21}));
    rig.WriteFile({HeaderLine, a, b, EndLine});

    EXPECT_TRUE(rig.Run());

    EXPECT_EQ(rig.Port.Writes.mid(0, 3),
              (QList<QByteArray>{"\xF0", BootloaderBlock(TBootloaderImage::Module), "."}));
    EXPECT_EQ(rig.RecordWrites(), (QList<QByteArray>{a + ":", b + ":", "!"}));
    EXPECT_EQ(rig.ModuleUnit.Records, (QList<QByteArray>{a, b}));
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::Completed()));
    EXPECT_EQ(rig.Outcome.Acknowledged, 2);
    EXPECT_EQ(rig.Outcome.Retries, 0);
}

TEST(ModuleFlow, CarriageReturnLineEndsAreNotSent)
{
    TFlowRig rig(TFlowKind::Module);
    const QByteArray a = S1(0x0100, Bytes({0x01}));
    QFile f(rig.Path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(HeaderLine + "\r\n" + a + "\r\n" + EndLine + "\r\n");
    f.close();

    EXPECT_TRUE(rig.Run());

    EXPECT_EQ(rig.ModuleUnit.Records, QList<QByteArray>{a});
}

struct TRecordAnswer {
    const char *Name;
    std::optional<QByteArray> Answer; // nullopt: silence
    QString Box;
    QString Status;
    TExpectedOutcome Ends;
};

class ModuleRecordAnswer : public ::testing::TestWithParam<TRecordAnswer> {};

TEST_P(ModuleRecordAnswer, FirstAnswerOtherThanDotEndsTheRunWithoutRetry)
{
    const TRecordAnswer &a = GetParam();
    TFlowRig rig(TFlowKind::Module);
    const QByteArray first = S1(0x0100, Bytes({0x01})), second = S1(0x0101, Bytes({0x02}));
    rig.WriteFile({HeaderLine, first, second, S1(0x0102, Bytes({0x03})), EndLine});
    rig.AddFault(TUnitStage::Record, 2, a.Answer);

    EXPECT_FALSE(rig.Run());

    QStringList expected = FirstRecordDone(TFlowKind::Module);
    if (!a.Box.isEmpty())
        expected << Box(FlowTexts::UpdateErrorTitle, a.Box);
    expected << Status(a.Status);
    EXPECT_EQ(rig.Surface.Timeline(), expected);
    EXPECT_EQ(rig.RecordWrites(), (QList<QByteArray>{first + ":", second + ":"}));
    EXPECT_EQ(rig.Surface.LinesSent, "1");
    EXPECT_EQ(rig.Surface.GaugePosition, 1);
    EXPECT_TRUE(EndedAs(rig.Outcome, a.Ends));
    EXPECT_EQ(rig.Outcome.Acknowledged, 1);
    EXPECT_FALSE(rig.Port.Connected());
    EXPECT_FALSE(rig.State.StopRequested);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ModuleRecordAnswer,
    ::testing::Values(
        TRecordAnswer{"E", "E", "Error 'E': Flash ROM error. Please try again, or consult the help file. ",
                      "Error 'E': Flash ROM error.  Try again.", Ends::Rejected("E")},
        TRecordAnswer{"C", "C", "Error 'C': Checksum error. Please try again, or consult the help file. ",
                      FlowTexts::ErrorCStatus, Ends::Rejected("C")},
        TRecordAnswer{"Silence", std::nullopt, {}, FlowTexts::NoResponse, Ends::NoAnswer(TNoAnswerStage::Record)},
        // The screen tells a unit byte "t" like silence; the outcome tells it as the unit's answer.
        TRecordAnswer{"ByteT", "t", {}, FlowTexts::NoResponse, Ends::Rejected("t")},
        TRecordAnswer{"ByteSWithoutStop", "s", {}, FlowTexts::WrongResponse, Ends::Rejected("s")},
        TRecordAnswer{"EndAnswerToARecord", "!", {}, FlowTexts::WrongResponse, Ends::Rejected("!")},
        TRecordAnswer{"OtherByte", "x", {}, FlowTexts::WrongResponse, Ends::Rejected("x")}),
    [](const auto &info) { return std::string(info.param.Name); });

struct TWriteFailure {
    const char *Name;
    int (*Written)(const QByteArray &); // what the port reports for the first record's write
    int Writes;                         // writes recorded after contact
};

class ModuleWriteFailure : public ::testing::TestWithParam<TWriteFailure> {};

TEST_P(ModuleWriteFailure, FailedWriteOfARecordWithItsColon)
{
    TFlowRig rig(TFlowKind::Module);
    const QByteArray first = S1(0x0100, Bytes({0x01}));
    rig.WriteFile({HeaderLine, first, EndLine});
    const auto written = GetParam().Written;
    rig.Port.WriteFault = [&](const QByteArray &b) { return b == first + ":" ? written(b) : int(b.size()); };

    EXPECT_FALSE(rig.Run());

    EXPECT_EQ(rig.Surface.Timeline(), Contacted(TFlowKind::Module) << Status(LinkTexts::SendFailed));
    EXPECT_TRUE(EndedAs(rig.Outcome, Ends::LinkFailed()));
    EXPECT_EQ(rig.Clock.TickCount() - rig.Surface.Seen.last().At, 1000);
    EXPECT_EQ(rig.RecordWrites().size(), GetParam().Writes);
    EXPECT_TRUE(rig.ModuleUnit.Records.isEmpty());
    EXPECT_FALSE(rig.Port.Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Writes, ModuleWriteFailure,
    ::testing::Values(TWriteFailure{"Raises", [](const QByteArray &) { return -1; }, 0},
                      // The record went out without its colon: the unit holds nothing yet.
                      TWriteFailure{"ColonCutOff", [](const QByteArray &b) { return int(b.size()) - 1; }, 1}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
