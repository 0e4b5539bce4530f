#include "protocols/UpdateFlows.h"

#include "protocols/BootloaderFlowSteps.h"
#include "protocols/FlowTexts.h"

using namespace BootloaderFlowSteps;

namespace {

// A record answered by something other than ".": the box (for an error letter) first, then the
// status line. The file and the port are already closed.
void ReportRecordAnswer(TLink &link, const QByteArray &answer)
{
    if (answer == "E") {
        link.Surface.ReportBox(
            FlowTexts::ModuleTexts::ErrorEBox,
            FlowTexts::UpdateErrorTitle, TBoxIcon::Warning);
        link.ShowStatus(FlowTexts::ModuleTexts::ErrorEStatus, 0);
    } else if (answer == "C") {
        link.Surface.ReportBox(FlowTexts::ModuleTexts::ErrorCBox,
                               FlowTexts::UpdateErrorTitle, TBoxIcon::Warning);
        link.ShowStatus(FlowTexts::ErrorCStatus, 0);
    } else if (answer == "t") {
        link.ShowStatus(FlowTexts::NoResponse, 0);
    } else {
        link.ShowStatus(FlowTexts::WrongResponse, 0);
    }
}

} // namespace

TUpdateOutcome CommsModuleFlow(TLink &link, const TUnitType &unit)
{
    TFlowResources held(link.ComPort);
    TFlowRun run(link);
    TUpdateOutcome ended;
    try {
        const TFlowStart start{br9600, FlowTexts::ModuleTexts::BootloaderQuestion, unit.Variant};
        if (!StartUpdate(link, start, TBootloaderImage::Module, held, ended))
            return ended;

        int dotPhase = 0;
        bool headerSeen = false;
        for (;;) {
            QByteArray line;
            const TNextLine next = NextRecordLine(link, held, headerSeen, line, run, ended);
            if (next == TNextLine::Ended)
                return ended;
            if (next == TNextLine::End)
                break;

            // One record in flight: its text and the ":" that ends it, in one write (one USB
            // transfer on an adapter). Every record is written exactly once; the first answer
            // other than "." ends the run.
            link.ComPort.PurgeQueues(true, true);
            if (!link.SendText(line + ':')) {
                link.ShowStatus(LinkTexts::SendFailed, 1);
                held.CloseAll();
                return run.LinkFailed();
            }
            bool timedOut = false;
            const QByteArray answer = link.ReceiveChar(5, &timedOut);
            if (answer == "s" && link.State.StopRequested) {
                held.CloseAll();
                link.ShowStatus(LinkTexts::UserStopped, 0);
                return run.StopResult();
            }
            if (answer != ".") {
                held.CloseAll();
                ReportRecordAnswer(link, answer);
                return run.Answer(answer, timedOut, TNoAnswerStage::Record);
            }
            CountRecord(link, run.Acknowledged, dotPhase);
        }

        return FinishUpdate(link, held, run);
    } catch (...) {
        return EndUnexpected(link, held, run);
    }
}
