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
    TFlowRun run(link);
    TUpdateOutcome ended;
    try {
        TTextLineReader file;
        const TFlowStart start{
            br9600,
            FlowTexts::ModuleTexts::BootloaderQuestion,
            unit.Variant,
            TBootloaderImage::Module};
        if (!StartUpdate(link, start, file, ended))
            return ended;

        int dotPhase = 0;
        bool headerSeen = false;
        for (;;) {
            QByteArray line;
            const TNextLine next = NextRecordLine(link, file, headerSeen, line, run, ended);
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
                CloseAll(link, file);
                return run.LinkFailed();
            }
            bool timedOut = false;
            const QByteArray answer = link.ReceiveChar(5, &timedOut);
            if (answer == "s" && link.State.StopRequested) {
                CloseAll(link, file);
                link.ShowStatus(LinkTexts::UserStopped, 0);
                return run.StopResult();
            }
            if (answer != ".") {
                CloseAll(link, file);
                ReportRecordAnswer(link, answer);
                return run.Answer(answer, timedOut, TNoAnswerStage::Record);
            }
            CountRecord(link, run.Acknowledged, dotPhase);
        }

        return FinishUpdate(link, file, run);
    } catch (...) {
        ReportUnexpected(link);
        return run.Unexpected();
    }
}
