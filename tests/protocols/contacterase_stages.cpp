// Contact and flash erase against the simulated update-mode unit: every way through the stage,
// each checked as the whole timeline the technician sees (statuses with their holds, boxes,
// questions) interleaved with the command bytes written.

#include <gtest/gtest.h>

#include "tests/protocols/expected_outcome.h"
#include "tests/protocols/updatemode_rig.h"

using namespace updatemode_rig;

namespace {

// Texts as the technician must see them.
const QString Waiting = "status: Waiting for response from unit...";
const QString InitialContact = "status: Initial contact successful. Attempting to erase flash. Please wait up to 20 s...";
const QString AttemptErase = "status: Attempting to erase flash. Please wait up to 20 s...";
const QString Erased = "status: Flash erase routine has successfully completed.";
const QString NotErased = "status: The flash memory could not be erased.  Try again.";
const QString Retrying = "status: Could not establish communication with unit.  Retrying...";
const QString NoContact = "status: Could not establish communication with unit.  Try again.";
const QString PreviousUpdate = "status: Previous update detected.  Restarting the update process...";
const QString MaxRetries = "status: The maximum number of retries has been reached.  Try again.";
const QString StoppedProcess = "status: User has stopped the update process.";
const QString UserStopped = "status: User has stopped the update.";
const QString SendFailed = "status: Could not successfully send data using selected COM port.  Please try again.";
const QString ErrorEBox = "box[Erase failure, warning]: Error 'E': Flash erase error. Unit will not properly operate until the programming procedure is complete! ";
const QString EraseFailureBox = "box[Erase failure, warning]: Erase Failure!  The flash memory has failed to erase after 4 retries.  Unit will not properly operate until the programming procedure is complete!";
const QString StopPrompt = "ask[Stop the update?]: WARNING: You have paused the programming procedure. If you stop this procedure, the unit will not properly operate until the programming procedure is complete!  Select YES to stop programming, or NO to continue. -> yes";

QString At(const QString &event, qint64 ms)
{
    return QStringLiteral("%1 (%2)").arg(event).arg(ms);
}

QString Resend(int n)
{
    return QStringLiteral("status: Flash not fully erased...resending erase command %1 of 4...").arg(n);
}

// A receive that times out ends one tick after its limit.
constexpr qint64 ContactTimeout = 5001;
constexpr qint64 EraseTimeout = 20001;

// One pass whose contact request is answered by a retry (Q or silence).
QStringList ContactRetryPass(const QString &retryStatus, qint64 answerWait)
{
    return {At(Waiting, 2000), At("send: P", answerWait), At(retryStatus, 3000)};
}

// One pass that makes contact and whose erase command then times out; resend > 0 adds its status.
QStringList EraseTimeoutPass(bool firstPass, int resend)
{
    QStringList pass{At(Waiting, 2000), At("send: P", 0), At(firstPass ? InitialContact : AttemptErase, 2000),
                     At("send: p", EraseTimeout)};
    if (resend > 0)
        pass << At(Resend(resend), 5000);
    return pass;
}

struct TStageCase {
    const char *Name;
    QStringList Rules;
    EraseResult Result;
    TExpectedOutcome Ends; // how the update ends with the stage (Completed: the stage is done)
    int Retries;           // contact requests repeated after an unanswered pass
    QStringList Timeline;
    std::function<void(TRig &)> Setup = {};
    bool StopStaysRequested = false;
};

void PrintTo(const TStageCase &c, std::ostream *os) { *os << c.Name; }

QStringList Repeat(int times, const QStringList &pass)
{
    QStringList out;
    for (int i = 0; i < times; ++i)
        out << pass;
    return out;
}

QStringList SilentUnitTimeline()
{
    return Repeat(5, ContactRetryPass(Retrying, ContactTimeout)) << At(MaxRetries, 1000);
}

QStringList EraseNeverAnsweredTimeline()
{
    QStringList t;
    for (int pass = 1; pass <= 5; ++pass)
        t << EraseTimeoutPass(pass == 1, pass < 5 ? pass : 0);
    return t << At(MaxRetries, 1000);
}

QStringList LateContactTimeline()
{
    return ContactRetryPass(Retrying, ContactTimeout)
           << EraseTimeoutPass(false, 2)
           << QStringList{At(Waiting, 2000), At("send: P", 0), At(AttemptErase, 2000), At("send: p", 0),
                          At(Erased, 5000)};
}

QStringList QFiveTimesTimeline()
{
    return Repeat(5, ContactRetryPass(PreviousUpdate, 0)) << At(MaxRetries, 1000) << At(EraseFailureBox, 0);
}

const TStageCase StageCases[] = {
    {"FirstPassContactAndErase", {}, EraseResult::Erased, Ends::Completed(), 0,
     {At(Waiting, 2000), At("send: P", 0), At(InitialContact, 2000), At("send: p", 7000), At(Erased, 5000)},
     [](TRig &rig) { rig.Unit.Script.EraseTimeMs = 7000; }},
    {"SilentUnit", {"contact=silent"}, EraseResult::Failed, Ends::NoAnswer(TNoAnswerStage::Contact), 4, SilentUnitTimeline()},
    {"EraseNeverAnswered", {"erase=silent"}, EraseResult::Failed, Ends::NoAnswer(TNoAnswerStage::Erase), 4, EraseNeverAnsweredTimeline()},
    {"ContactTimeoutThenContactThenEraseTimeout", {"contact=silent*1", "erase=silent*1"}, EraseResult::Erased, Ends::Completed(), 2,
     LateContactTimeline()},
    {"PreviousUpdateFiveTimes", {"contact=Q"}, EraseResult::Failed, Ends::Rejected("Q"), 4, QFiveTimesTimeline()},
    {"PreviousUpdateOnceThenErase", {"contact=Q*1"}, EraseResult::Erased, Ends::Completed(), 1,
     ContactRetryPass(PreviousUpdate, 0)
         << QStringList{At(Waiting, 2000), At("send: P", 0), At(AttemptErase, 2000), At("send: p", 0),
                        At(Erased, 5000)}},
    {"EraseAnsweredWithContactByte", {"erase=P"}, EraseResult::Failed, Ends::Rejected("P"), 0,
     {At(Waiting, 2000), At("send: P", 0), At(InitialContact, 2000), At("send: p", 0), At(NotErased, 3000)}},
    {"EraseError", {"erase=E"}, EraseResult::Failed, Ends::Rejected("E"), 0,
     {At(Waiting, 2000), At("send: P", 0), At(InitialContact, 2000), At("send: p", 0), At(ErrorEBox, 0),
      At(NotErased, 1000)}},
    {"UnitSendsStopByteToContact", {"contact=s"}, EraseResult::Stopped, Ends::Rejected("s"), 0,
     {At(Waiting, 2000), At("send: P", 0), At(StoppedProcess, 1000)}},
    {"UnitSendsStopByteToErase", {"erase=s"}, EraseResult::Stopped, Ends::Rejected("s"), 0,
     {At(Waiting, 2000), At("send: P", 0), At(InitialContact, 2000), At("send: p", 0), At(StoppedProcess, 1000)}},
    {"UnitSendsTimeoutByteToErase", {"erase=t*1"}, EraseResult::Erased, Ends::Completed(), 1,
     EraseTimeoutPass(true, 0).mid(0, 3)
         << QStringList{At("send: p", 0), At(Resend(1), 5000), At(Waiting, 2000), At("send: P", 0),
                        At(AttemptErase, 2000), At("send: p", 0), At(Erased, 5000)}},
    // Five unit bytes "t": the screen tells them as silence, the outcome as the unit's answer.
    {"TimeoutByteToEveryContact", {"contact=t"}, EraseResult::Failed, Ends::Rejected("t"), 4,
     Repeat(5, ContactRetryPass(Retrying, 0)) << At(MaxRetries, 1000)},
    // A pulled cable while waiting for contact: the stage ends as if stopped.
    {"PortFailsWhileWaitingForContact", {}, EraseResult::Stopped, Ends::LinkFailed(), 0,
     {At(Waiting, 2000), At("send: P", 0), At(StoppedProcess, 0)},
     [](TRig &rig) { rig.Port.ReadFails = true; }, true},
    {"WrongContactByte", {"contact=x"}, EraseResult::Failed, Ends::Rejected("x"), 0,
     {At(Waiting, 2000), At("send: P", 0), At(NoContact, 1000)}},
    // A confirmed Stop ends the status hold at once: the stage returns without the 1 s wait.
    {"StopConfirmedWhileWaitingForContact", {"contact=silent"}, EraseResult::Stopped, Ends::Stopped(), 0,
     {At(Waiting, 2000), At("send: P", 1500), At(StopPrompt, 0), At(UserStopped, 0), At(StoppedProcess, 0)},
     [](TRig &rig) { rig.Clock.ScheduleAt(3500, [&rig] { rig.State.StopRequested = true; }); }, true},
    {"StopConfirmedWhileWaitingForErase", {"erase=silent"}, EraseResult::Stopped, Ends::Stopped(), 0,
     {At(Waiting, 2000), At("send: P", 0), At(InitialContact, 2000), At("send: p", 10000), At(StopPrompt, 0),
      At(UserStopped, 0), At(StoppedProcess, 0)},
     [](TRig &rig) { rig.Clock.ScheduleAt(14000, [&rig] { rig.State.StopRequested = true; }); }, true},
    {"ContactRequestCannotBeWritten", {}, EraseResult::Failed, Ends::LinkFailed(), 0,
     {At(Waiting, 2000), At("send failed: P", 0), At(SendFailed, 1000)},
     [](TRig &rig) { rig.Fault = [](const QByteArray &) { return -1; }; }},
    {"EraseCommandCannotBeWritten", {}, EraseResult::Failed, Ends::LinkFailed(), 0,
     {At(Waiting, 2000), At("send: P", 0), At(InitialContact, 2000), At("send failed: p", 0), At(SendFailed, 1000)},
     [](TRig &rig) { rig.Fault = [](const QByteArray &b) { return b == "p" ? 0 : int(b.size()); }; }},
    // An exception ends the stage as a failure without a message of its own.
    {"ExceptionInsideTheStage", {"erase=E"}, EraseResult::Failed, Ends::Unexpected(), 0,
     {At(Waiting, 2000), At("send: P", 0), At(InitialContact, 2000), At("send: p", 0), At(ErrorEBox, 0)},
     [](TRig &rig) { rig.Surface.ThrowOnReport = true; }},
};

class ContactAndEraseStage : public ::testing::TestWithParam<TStageCase> {};

TEST_P(ContactAndEraseStage, ShowsEveryStepAndEndsWithItsResult)
{
    const TStageCase &c = GetParam();
    TRig rig(c.Rules);
    if (c.Setup)
        c.Setup(rig);

    const EraseResult result = rig.RunContactAndErase();

    EXPECT_EQ(rig.Timeline(), c.Timeline);
    EXPECT_EQ(result, c.Result);
    EXPECT_TRUE(EndedAs(rig.Outcome, c.Ends));
    EXPECT_EQ(rig.Outcome.Retries, c.Retries);
    EXPECT_EQ(rig.State.StopRequested, c.StopStaysRequested);
    EXPECT_TRUE(rig.Port.Connected()) << "the stage leaves the port open";
    EXPECT_EQ(rig.Port.OpenCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ContactAndEraseStage, ::testing::ValuesIn(StageCases),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(ContactAndEraseStage, ResendsEveryEraseAfterAFreshContactRequest)
{
    TRig rig({"erase=silent"});
    rig.RunContactAndErase();
    EXPECT_EQ(rig.Unit.Commands, QByteArray("PpPpPpPpPp"));
    EXPECT_EQ(rig.Unit.EraseCommands, 5);
}

} // namespace
