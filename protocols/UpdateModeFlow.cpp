#include "protocols/UpdateFlows.h"

#include <limits>

#include "protocols/FlowRun.h"
#include "protocols/FlowStart.h"
#include "protocols/FlowTexts.h"

// The update of a unit whose firmware has an update mode of its own: contact and flash erase,
// then every line of the update file, header and end record included, each followed by CR LF
// and answered by the unit before the next one goes out ("." taken, "!" end record taken, or an
// error letter). Up to four attempts per line. "Q" tells the unit that the technician stopped,
// "X" restarts it after the end record.

namespace {
constexpr int AttemptsPerLine = 4;
constexpr int AnswerTimeoutSeconds = 5;

// The status line's small animation: it changes at acknowledged lines 1, 100, 200, 300 and 400
// of every cycle of 500.
void AdvanceDotAnimation(TLink &link, int &dotPhase)
{
    ++dotPhase;
    switch (dotPhase) {
    case 1: link.ShowStatus(FlowTexts::Updating, 0); break;
    case 100: link.ShowStatus(FlowTexts::UpdatingDots[0], 0); break;
    case 200: link.ShowStatus(FlowTexts::UpdatingDots[1], 0); break;
    case 300: link.ShowStatus(FlowTexts::UpdatingDots[2], 0); break;
    case 400: link.ShowStatus(FlowTexts::UpdatingDots[3], 0); break;
    case 500: dotPhase = 0; break;
    default: break;
    }
}

// Tells the technician why a line was given up after its last attempt: the box (error
// letters only) comes first, then the status line.
void ReportFinalAnswer(TLink &link, const QByteArray &answer)
{
    if (answer == "C") {
        link.Surface.ReportBox(FlowTexts::UpdateModeTexts::ErrorCBox,
                               FlowTexts::UpdateErrorTitle, TBoxIcon::Warning);
        link.ShowStatus(FlowTexts::ErrorCStatus, 0);
    } else if (answer == "F") {
        link.Surface.ReportBox(FlowTexts::ErrorFBox, FlowTexts::UpdateErrorTitle, TBoxIcon::Warning);
        link.ShowStatus(FlowTexts::ErrorFStatus, 0);
    } else if (answer == "R") {
        link.Surface.ReportBox(FlowTexts::ErrorRBox, FlowTexts::UpdateErrorTitle, TBoxIcon::Warning);
        link.ShowStatus(FlowTexts::ErrorRStatus, 0);
    } else if (answer == "t") {
        link.ShowStatus(FlowTexts::NoResponse, 0);
    } else {
        link.ShowStatus(FlowTexts::WrongResponse, 0);
    }
}

} // namespace

TUpdateOutcome UpdateModeFlow(TLink &link, const TUnitType &unit)
{
    TOperatorSurface &surface = link.Surface;
    TWizardState &state = link.State;
    TFlowResources held(link.ComPort);
    TFlowRun run(link);
    TUpdateOutcome ended;

    try {
        const TFlowStart start{br57600, FlowTexts::UpdateModeQuestion, unit.Variant};
        if (!StartFlow(link, start, held, ended))
            return ended;

        // Contact and erase; that stage leaves its own outcome on the status line.
        const TEraseStage erase = ContactAndErase(link);
        run.Retries += erase.Outcome.Retries;
        if (erase.Result != EraseResult::Erased) {
            held.ClosePort();
            return erase.Outcome;
        }

        if (!OpenForSending(link, held, run, ended))
            return ended;
        TTextLineReader &file = held.File;

        // Line phase: one line in flight at a time. Whether the unit took an end record with
        // "." tells a unit that missed it from a file that has none.
        const QByteArray endRecord = EndRecordLetters(unit.Variant);
        bool endRecordTaken = false;
        int dotPhase = 0;
        for (;;) {
            // The file ran out before the unit took the end record.
            if (file.Eof()) {
                ReportEarlyEnd(link, held);
                if (endRecordTaken)
                    return run.UnitRejected(QByteArrayLiteral("."));
                return run.FileProblem(TFileProblem::NotValid);
            }

            // Stop pressed since the last line: ask, and tell the unit to quit on Yes.
            if (state.StopRequested) {
                if (surface.AskYesNo(LinkTexts::StopPromptText, LinkTexts::StopPromptTitle)) {
                    link.SendChar('Q');
                    held.CloseAll();
                    link.ShowStatus(LinkTexts::UserStopped, 0);
                    return run.Stopped();
                }
                state.StopRequested = false;
            }

            // Keep the window alive once per line.
            link.ProcessPendingMessages();

            // The next line, without its line end. A read failure, or a line far longer than
            // any S-record, means the file changed under us: sending it would program the unit
            // with a line that is not the file's.
            QByteArray line;
            qint64 fullLength = 0;
            if (!file.ReadLine(line, &fullLength) || fullLength > line.size()) {
                held.CloseAll();
                ReportFileUnreadable(link);
                return run.FileProblem(TFileProblem::Unreadable);
            }
            const QByteArray lineToSend = line + "\r\n";

            // Up to four attempts; the queues are purged before each write, so a late
            // answer to an earlier attempt is dropped.
            QByteArray answer;
            bool timedOut = false;
            for (int attempt = 1; attempt <= AttemptsPerLine; ++attempt) {
                if (attempt > 1)
                    ++run.Retries;
                link.ComPort.PurgeQueues(true, true);
                if (!link.SendText(lineToSend)) {
                    held.CloseAll();
                    link.ShowStatus(LinkTexts::SendFailed, 1);
                    return run.LinkFailed();
                }
                answer = link.ReceiveChar(AnswerTimeoutSeconds, &timedOut);
                if (answer == "s") {
                    link.SendChar('Q');
                    held.CloseAll();
                    link.ShowStatus(LinkTexts::UserStopped, 0);
                    return run.StopResult();
                }
                if (answer == "." || answer == "!")
                    break;
            }

            // Line taken.
            if (answer == ".") {
                ++run.Acknowledged;
                if (line.startsWith(endRecord))
                    endRecordTaken = true;
                AdvanceDotAnimation(link, dotPhase);
                surface.SetGaugePosition(int(qMin<qint64>(run.Acknowledged, std::numeric_limits<int>::max())));
                surface.SetLinesSent(QString::number(run.Acknowledged));
                continue;
            }

            // End record taken: the update is complete.
            if (answer == "!") {
                if (surface.AskYesNo(FlowTexts::UpdateModeTexts::RestartQuestion,
                                     FlowTexts::UpdateModeTexts::RestartTitle))
                    link.SendChar('X');
                held.CloseAll();
                link.ShowStatus(FlowTexts::UpdateComplete, 0);
                return run.Completed();
            }

            // The line was given up.
            held.CloseAll();
            ReportFinalAnswer(link, answer);
            return run.Answer(answer, timedOut, TNoAnswerStage::Line);
        }
    } catch (...) {
        // Anything unexpected, opening the port included.
        return EndUnexpected(link, held, run);
    }
}
