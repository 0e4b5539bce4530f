// The outcomes that the resistor-monitor and communications-module flows share, run for both.

#include <gtest/gtest.h>

#include "seriallink/LinkTexts.h"
#include "tests/protocols/bootloader_flow_rig.h"
#include "tests/protocols/expected_outcome.h"

namespace {

using namespace Seen;

// What the unit acknowledged by the end: data bytes of a monitor, records of a module.
struct TAcknowledged {
    int Monitor = -1; // -1: not checked
    int Module = -1;
};

struct TOutcome {
    const char *Name;
    std::function<void(TFlowRig &)> Arrange;
    std::function<QStringList(TFlowKind)> Expected;
    TExpectedOutcome Ends;
    TAcknowledged Acknowledged = {};
};

const QString StopPrompt = Ask(LinkTexts::StopPromptTitle, LinkTexts::StopPromptText, true);

const TOutcome Outcomes[] = {
    {"PortGone", [](TFlowRig &r) { r.Port.BusyPorts << r.Port.Port(); },
     [](TFlowKind) {
         return QStringList{Status(FlowTexts::Ready), Box(FlowTexts::PortGoneTitle, FlowTexts::PortGone)};
     },
     Ends::PortNotAvailable()},
    {"FileGone", [](TFlowRig &r) { r.Surface.FileName = r.Dir.filePath("gone.s19"); },
     [](TFlowKind) {
         return QStringList{Status(FlowTexts::Ready), Box(FlowTexts::FileErrorTitle, FlowTexts::FileGone)};
     },
     Ends::File(TFileProblem::Gone)},
    {"NotConfirmed", [](TFlowRig &r) { r.Surface.Answers = {false}; },
     [](TFlowKind k) {
         return QStringList{Status(FlowTexts::Ready), Ask(FlowTexts::BeginTitle, BeginQuestion(k), false),
                            Status(LinkTexts::UserStopped)};
     },
     Ends::Stopped()},
    {"StoppedDuringCheck",
     [](TFlowRig &r) { r.Surface.OnQuestion = [&r](const QString &) { r.State.StopRequested = true; }; },
     [](TFlowKind k) { return Started(k) << Status(LinkTexts::UserStopped); },
     Ends::Stopped()},
    {"FileNotValid", [](TFlowRig &r) { r.WriteFile({S1(0x1000, "ab"), EndLine}); },
     [](TFlowKind k) {
         return Started(k) << Status("Problem with update file format.")
                           << Box("File Format Error", "The selected update file is not in the proper format for "
                                                       "this unit type, or may be damaged. Please try again.")
                           << Status(FlowTexts::FormatNotValid);
     },
     Ends::File(TFileProblem::NotValid)},
    {"StoppedDuringBootloader", [](TFlowRig &r) { r.OnceStatus(Sending, [&r] { r.State.StopRequested = true; }); },
     [](TFlowKind k) { return Loaded(k) << Status(FlowTexts::BootloaderStopped); },
     Ends::Stopped()},
    {"BootloaderNotSent",
     [](TFlowRig &r) { r.Port.WriteFault = [](const QByteArray &b) { return b == "\xF0" ? -1 : int(b.size()); }; },
     [](TFlowKind k) {
         return Started(k) << Status(Preparing) << Status(Sending) << Status(LinkTexts::SendFailed)
                           << Status(FlowTexts::BootloaderFailed);
     },
     Ends::LinkFailed()},
    {"ContactNotSent",
     [](TFlowRig &r) { r.Port.WriteFault = [](const QByteArray &b) { return b == "." ? 0 : int(b.size()); }; },
     [](TFlowKind k) { return Loaded(k) << Status(LinkTexts::SendFailed); },
     Ends::LinkFailed()},
    {"ContactSilent", [](TFlowRig &r) { r.AddFault(TUnitStage::Contact, 0, std::nullopt); },
     [](TFlowKind k) { return Loaded(k) << Status(FlowTexts::NoContact); },
     Ends::NoAnswer(TNoAnswerStage::Bootloader), {0, 0}},
    {"ContactWrongAnswer", [](TFlowRig &r) { r.AddFault(TUnitStage::Contact, 0, "x"); },
     [](TFlowKind k) { return Loaded(k) << Status(FlowTexts::NoContact); },
     Ends::Rejected("x")},
    {"StoppedDuringContact",
     [](TFlowRig &r) {
         r.AddFault(TUnitStage::Contact, 0, std::nullopt);
         r.OnceLastWrite(".", [&r] { r.State.StopRequested = true; });
     },
     [](TFlowKind k) {
         return Loaded(k) << StopPrompt << Status(LinkTexts::UserStopped) << Status(FlowTexts::NoContact);
     },
     Ends::Stopped()},
    {"FileUnreadableForSending", [](TFlowRig &r) { r.OnceStatus(Sending, [&r] { QFile::remove(r.Path); }); },
     [](TFlowKind k) {
         return Contacted(k) << Status(FlowTexts::FileUnreadableStatus)
                             << Box(FlowTexts::FileErrorTitle, FlowTexts::FileUnreadable);
     },
     Ends::File(TFileProblem::Unreadable)},
    {"EndRecordLostAfterCheck",
     [](TFlowRig &r) {
         r.OnceStatus(Sending, [&r] { r.WriteFile({HeaderLine, S1(0x1000, "ab")}); });
     },
     [](TFlowKind k) {
         return FirstRecordDone(k) << Box(FlowTexts::UpdateErrorTitle, FlowTexts::EofBox)
                                   << Status(FlowTexts::EofStatus);
     },
     Ends::File(TFileProblem::NotValid), {2, 1}},
    {"StopConfirmedAtNextRecord",
     [](TFlowRig &r) {
         r.Once([&r] { return r.Surface.LinesSent == "1"; }, [&r] { r.State.StopRequested = true; });
     },
     [](TFlowKind k) { return FirstRecordDone(k) << StopPrompt << Status(LinkTexts::UserStopped); },
     Ends::Stopped(), {3, 2}}, // the prompt comes at the end line, after the last record
    {"PortReadFailsWhileWaiting",
     [](TFlowRig &r) { r.Once([&r] { return r.Surface.LinesSent == "1"; }, [&r] { r.Port.ReadFails = true; }); },
     [](TFlowKind k) { return FirstRecordDone(k) << Status(LinkTexts::UserStopped); },
     Ends::LinkFailed()},
    {"EndNotSent",
     [](TFlowRig &r) { r.Port.WriteFault = [](const QByteArray &b) { return b == "!" ? -1 : int(b.size()); }; },
     [](TFlowKind k) { return FirstRecordDone(k) << Status(LinkTexts::SendFailed); },
     Ends::LinkFailed(), {3, 2}},
    {"EndWrongAnswer", [](TFlowRig &r) { r.AddFault(TUnitStage::End, 0, "."); },
     [](TFlowKind k) { return FirstRecordDone(k) << Status(FlowTexts::WrongResponse); },
     Ends::Rejected("."), {3, 2}},
    {"EndSilent", [](TFlowRig &r) { r.AddFault(TUnitStage::End, 0, std::nullopt); },
     [](TFlowKind k) { return FirstRecordDone(k) << Status(FlowTexts::WrongResponse); },
     Ends::NoAnswer(TNoAnswerStage::End), {3, 2}},
    {"EndAnsweredWithByteS", [](TFlowRig &r) { r.AddFault(TUnitStage::End, 0, "s"); },
     [](TFlowKind k) { return FirstRecordDone(k) << Status(FlowTexts::WrongResponse); },
     Ends::Rejected("s")},
    {"StoppedWaitingForEnd",
     [](TFlowRig &r) {
         r.AddFault(TUnitStage::End, 0, std::nullopt);
         r.OnceLastWrite("!", [&r] { r.State.StopRequested = true; });
     },
     [](TFlowKind k) {
         return FirstRecordDone(k) << StopPrompt << Status(LinkTexts::UserStopped) << Status(LinkTexts::UserStopped);
     },
     Ends::Stopped()},
    {"PortOpenFails", [](TFlowRig &r) { r.Port.FailOpenNumber = 2; },
     [](TFlowKind) { return QStringList{Status(FlowTexts::Ready), Status(FlowTexts::Unexpected)}; },
     Ends::PortNotAvailable()},
    {"PortFailsMidRun",
     [](TFlowRig &r) { r.Once([&r] { return r.Surface.LinesSent == "1"; }, [&r] { r.Port.PurgeFails = true; }); },
     [](TFlowKind k) { return FirstRecordDone(k) << Status(FlowTexts::Unexpected); },
     Ends::Unexpected()},
};

class BootloaderFlowOutcome : public ::testing::TestWithParam<std::tuple<TFlowKind, TOutcome>> {};

TEST_P(BootloaderFlowOutcome, ReportsAndClosesThePort)
{
    const auto &[kind, outcome] = GetParam();
    TFlowRig rig(kind);
    rig.WriteFile({HeaderLine, S1(0x1000, Bytes({0x01, 0x02})), S1(0x1002, Bytes({0x03})), EndLine});
    outcome.Arrange(rig);

    EXPECT_FALSE(rig.Run());

    EXPECT_EQ(rig.Surface.Timeline(), outcome.Expected(kind));
    EXPECT_TRUE(EndedAs(rig.Outcome, outcome.Ends));
    const int acknowledged = kind == TFlowKind::Monitor ? outcome.Acknowledged.Monitor : outcome.Acknowledged.Module;
    if (acknowledged >= 0) {
        EXPECT_EQ(rig.Outcome.Acknowledged, acknowledged);
    }
    EXPECT_EQ(rig.Outcome.Retries, 0) << "the bootloader flows never repeat a write";
    EXPECT_FALSE(rig.Port.Connected());
    EXPECT_EQ(rig.Port.OpenCount, rig.Port.CloseCount);
    for (const TSeen &s : rig.Surface.Seen) {
        if (s.What == TSeen::Report) {
            EXPECT_EQ(s.Icon, TBoxIcon::Warning) << s.Text.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Flows, BootloaderFlowOutcome,
                         ::testing::Combine(::testing::Values(TFlowKind::Monitor, TFlowKind::Module),
                                            ::testing::ValuesIn(Outcomes)),
                         [](const auto &info) {
                             return KindName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).Name;
                         });

// Hold times that the outcome tables cannot show: the one-second messages and the contact wait.
TEST(BootloaderFlowTiming, NoContactIsHeldOneSecondAfterTheFiveSecondWait)
{
    for (TFlowKind kind : {TFlowKind::Monitor, TFlowKind::Module}) {
        TFlowRig rig(kind);
        rig.WriteRecords(1);
        rig.AddFault(TUnitStage::Contact, 0, std::nullopt);
        qint64 contactAt = -1;
        rig.OnceLastWrite(".", [&] { contactAt = rig.Clock.TickCount(); });
        EXPECT_FALSE(rig.Run());
        const TSeen &last = rig.Surface.Seen.last();
        ASSERT_EQ(last.Text, FlowTexts::NoContact);
        EXPECT_GT(last.At - contactAt, 5000) << KindName(kind);
        EXPECT_LE(last.At - contactAt, 5100) << KindName(kind);
        EXPECT_EQ(rig.Clock.TickCount() - last.At, 1000) << KindName(kind);
    }
}

} // namespace
