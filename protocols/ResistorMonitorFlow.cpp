#include "protocols/UpdateFlows.h"

#include "protocols/BootloaderFlowSteps.h"
#include "protocols/FlowTexts.h"

using namespace BootloaderFlowSteps;

namespace {

// A data byte answered by something other than its echo, or by nothing: close everything and
// report it, the box (for an error letter) before the status line.
void ReportByteAnswer(TLink &link, TFlowResources &held, const QByteArray &answer, bool timedOut)
{
    held.CloseAll();

    struct TLetter {
        char Letter;
        QString Box;
        QString Status;
    };
    static const TLetter letters[] = {
        {'E', FlowTexts::MonitorTexts::ErrorEBox,
         FlowTexts::MonitorTexts::ErrorEStatus},
        {'F', FlowTexts::ErrorFBox, FlowTexts::ErrorFStatus},
        {'R', FlowTexts::ErrorRBox, FlowTexts::ErrorRStatus},
        {'V', FlowTexts::MonitorTexts::ErrorVBox,
         FlowTexts::MonitorTexts::ErrorVStatus},
        {'S', FlowTexts::MonitorTexts::ErrorSBox,
         FlowTexts::MonitorTexts::ErrorSStatus},
    };

    if (timedOut) {
        link.ShowStatus(FlowTexts::NoResponse, 0);
        return;
    }
    for (const TLetter &l : letters) {
        if (answer == QByteArray(1, l.Letter)) {
            link.Surface.ReportBox(l.Box, FlowTexts::UpdateErrorTitle, TBoxIcon::Warning);
            link.ShowStatus(l.Status, 0);
            return;
        }
    }
    link.ShowStatus(FlowTexts::WrongResponse, 0);
}

void ReportBadDigit(TLink &link, TFlowResources &held)
{
    held.CloseAll();
    link.ShowStatus(FlowTexts::MonitorTexts::HexProblem, 0);
}

// Sends one S1 record a data byte at a time: "S", address high byte, address low byte, data
// byte, each answered by the echo of the data byte within 5 seconds; counts each echo in
// run.Acknowledged. True when every byte was acknowledged; false when the flow has ended
// (reported, file and port closed, ended says how).
bool SendRecord(TLink &link, TFlowResources &held, const QByteArray &line, TFlowRun &run, TUpdateOutcome &ended)
{
    // "S1", count, four address digits, two digits per data byte, checksum.
    const int n = (int(line.size()) - 10) / 2;

    int address = 0;
    for (int k = 5; k <= 8; ++k) {
        const int d = DigitAt(line, k);
        if (d < 0) {
            ReportBadDigit(link, held);
            ended = run.FileProblem(TFileProblem::NotValid);
            return false;
        }
        address = 16 * address + d;
    }

    for (int i = 0; i < n; ++i) {
        // Each byte's digits are converted just before it goes out: the bytes ahead of a bad
        // digit have already been programmed.
        const int high = DigitAt(line, 9 + 2 * i);
        const int low = DigitAt(line, 10 + 2 * i);
        if (high < 0 || low < 0) {
            ReportBadDigit(link, held);
            ended = run.FileProblem(TFileProblem::NotValid);
            return false;
        }
        const int data = 16 * high + low;

        // "S", the address high and low byte, the data byte: one write, so that a USB adapter
        // carries the command in one transfer instead of four. A short write is a failed send.
        link.ComPort.PurgeQueues(true, true);
        const char command[4] = {'S', char(address >> 8), char(address & 0xFF), char(data)};
        if (!link.SendText(QByteArray(command, 4))) {
            link.ShowStatus(LinkTexts::SendFailed, 1);
            held.CloseAll();
            ended = run.LinkFailed();
            return false;
        }

        // The echo of a data byte 0x74 is the same text as a time-out; only a byte that really
        // arrived can acknowledge it.
        bool timedOut = false;
        const QByteArray answer = link.ReceiveChar(5, &timedOut);
        if (answer == "s" && link.State.StopRequested) {
            held.CloseAll();
            link.ShowStatus(LinkTexts::UserStopped, 0);
            ended = run.StopResult();
            return false;
        }
        if (timedOut || answer != QByteArray(1, char(data))) {
            ReportByteAnswer(link, held, answer, timedOut);
            ended = run.Answer(answer, timedOut, TNoAnswerStage::Byte);
            return false;
        }

        // Acknowledged. The address space ends at 0xFFFF: a record may end there but not go on.
        ++run.Acknowledged;
        if (address != 0xFFFF) {
            ++address;
        } else if (i != n - 1) {
            link.ShowStatus(FlowTexts::MonitorTexts::AddressOverflow, 1);
            held.CloseAll();
            ended = run.FileProblem(TFileProblem::NotValid);
            return false;
        }
    }
    return true;
}

} // namespace

TUpdateOutcome ResistorMonitorFlow(TLink &link, const TUnitType &unit)
{
    TFlowResources held(link.ComPort);
    TFlowRun run(link);
    TUpdateOutcome ended;
    try {
        const TFlowStart start{br19200, FlowTexts::UpdateModeQuestion, unit.Variant};
        if (!StartUpdate(link, start, TBootloaderImage::Monitor, held, ended))
            return ended;

        // The label counts records; the outcome counts the data bytes the unit echoed.
        qint64 linesSent = 0;
        int dotPhase = 0;
        bool headerSeen = false;
        for (;;) {
            QByteArray line;
            const TNextLine next = NextRecordLine(link, held, headerSeen, line, run, ended);
            if (next == TNextLine::Ended)
                return ended;
            if (next == TNextLine::End)
                break;

            if (!SendRecord(link, held, line, run, ended))
                return ended;
            CountRecord(link, linesSent, dotPhase);
        }

        return FinishUpdate(link, held, run);
    } catch (...) {
        return EndUnexpected(link, held, run);
    }
}
