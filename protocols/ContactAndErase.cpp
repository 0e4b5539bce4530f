#include "protocols/UpdateFlows.h"

#include "protocols/FlowRun.h"
#include "protocols/FlowTexts.h"

// Contact and flash erase of an update-mode unit. The unit answers the contact request "P" with
// "P" (or "Q" when it finds an unfinished previous update) and the erase command "p" with "p"
// once its flash is erased (or "E"). Contact retries and erase time-outs share one budget of
// five passes; every erase command is preceded by a fresh contact request.

namespace {
constexpr int MaxPasses = 5;

// Texts this stage shows from more than one step.
const QString &EraseFailureTitle = FlowTexts::EraseTexts::EraseFailureTitle;
const QString &StoppedProcess = FlowTexts::EraseTexts::StoppedProcess;
const QString &NotErased = FlowTexts::EraseTexts::NotErased;

TEraseStage Erased(const TFlowRun &run)
{
    return {EraseResult::Erased, run.Completed()};
}
TEraseStage Failed(const TUpdateOutcome &outcome)
{
    return {EraseResult::Failed, outcome};
}
TEraseStage Stopped(const TUpdateOutcome &outcome)
{
    return {EraseResult::Stopped, outcome};
}
} // namespace

TEraseStage ContactAndErase(TLink &link)
{
    TFlowRun run(link);
    try {
        int pass = 0;          // finished passes: contact retries and erase time-outs alike
        QByteArray answer;     // the latest ReceiveChar result
        bool timedOut = false; // ... and whether it was a time-out rather than a byte
        TNoAnswerStage stage = TNoAnswerStage::Contact; // the exchange it answered

        while (pass < MaxPasses) {
            // Every pass after the first repeats the contact request (and the erase command).
            run.Retries = pass;

            // Announce, then ask for contact.
            link.ShowStatus(FlowTexts::EraseTexts::WaitingForUnit, 2);
            if (!link.SendChar('P')) {
                link.ShowStatus(LinkTexts::SendFailed, 1);
                return Failed(run.LinkFailed());
            }
            stage = TNoAnswerStage::Contact;
            answer = link.ReceiveChar(5, &timedOut);

            if (answer == "P") {
                // Contact made: announce and send the erase command.
                if (pass == 0)
                    link.ShowStatus(FlowTexts::EraseTexts::InitialContact, 2);
                else
                    link.ShowStatus(FlowTexts::EraseTexts::AttemptingErase, 2);
                if (!link.SendChar('p')) {
                    link.ShowStatus(LinkTexts::SendFailed, 1);
                    return Failed(run.LinkFailed());
                }
                stage = TNoAnswerStage::Erase;
                answer = link.ReceiveChar(20, &timedOut);

                if (answer == "E") {
                    link.Surface.ReportBox(
                        FlowTexts::EraseTexts::EraseErrorBox,
                        EraseFailureTitle, TBoxIcon::Warning);
                    link.ShowStatus(NotErased, 1);
                    return Failed(run.UnitRejected(answer));
                }
                if (answer == "s") {
                    link.ShowStatus(StoppedProcess, 1);
                    return Stopped(run.StopResult());
                }
                if (answer == "p") {
                    // The hold is the pause the unit needs before the first S-record line.
                    link.ShowStatus(FlowTexts::EraseTexts::Erased, 5);
                    return Erased(run);
                }
                if (answer != "t") {
                    link.ShowStatus(NotErased, 3);
                    return Failed(run.UnitRejected(answer));
                }
                // The erase was not answered in time: resend it after a new contact request.
                ++pass;
                if (pass < MaxPasses)
                    link.ShowStatus(FlowTexts::EraseTexts::ResendEraseHead +
                                        QString::number(pass) + FlowTexts::EraseTexts::ResendEraseTail,
                                    5);
            } else {
                // No contact.
                if (answer == "s") {
                    link.ShowStatus(StoppedProcess, 1);
                    return Stopped(run.StopResult());
                }
                if (answer == "Q")
                    link.ShowStatus(FlowTexts::EraseTexts::PreviousUpdate, 3);
                else if (answer == "t")
                    link.ShowStatus(FlowTexts::EraseTexts::ContactRetrying, 3);
                else {
                    link.ShowStatus(FlowTexts::NoContact, 1);
                    return Failed(run.UnitRejected(answer));
                }
                ++pass;
            }
        }

        // Budget spent. A box only when the last pass ended with a "Q" rather than a time-out;
        // the update ends with what the last pass met: that "Q", or silence at its stage.
        link.ShowStatus(FlowTexts::EraseTexts::MaxRetries, 1);
        if (answer != "t")
            link.Surface.ReportBox(
                FlowTexts::EraseTexts::RetriesSpentBox,
                EraseFailureTitle, TBoxIcon::Warning);
        return Failed(run.Answer(answer, timedOut, stage));
    } catch (...) {
        return Failed(run.Unexpected());
    }
}
