#include "protocols/BootloaderFlowSteps.h"

#include <limits>

#include "protocols/FlowTexts.h"
#include "updatefile/HexDigit.h"

namespace BootloaderFlowSteps {

bool StartUpdate(TLink &link, const TFlowStart &start, TBootloaderImage image, TFlowResources &held,
                 TUpdateOutcome &ended)
{
    const TFlowRun run(link);
    if (!StartFlow(link, start, held, ended))
        return false;

    if (!SendBootloader(link, image)) {
        held.ClosePort();
        link.ShowStatus(link.State.StopRequested ? FlowTexts::BootloaderStopped : FlowTexts::BootloaderFailed, 0);
        ended = link.State.StopRequested ? run.Stopped() : run.LinkFailed();
        return false;
    }

    // Contact with the freshly started bootloader. A stop confirmed during this wait ends
    // the run as a failed contact.
    link.ComPort.PurgeQueues(true, true);
    if (!link.SendChar('.')) {
        link.ShowStatus(LinkTexts::SendFailed, 1);
        held.ClosePort();
        ended = run.LinkFailed();
        return false;
    }
    bool timedOut = false;
    const QByteArray answer = link.ReceiveChar(5, &timedOut);
    if (answer != ".") {
        link.ShowStatus(FlowTexts::NoContact, 1);
        held.ClosePort();
        ended = run.Answer(answer, timedOut, TNoAnswerStage::Bootloader);
        return false;
    }

    return OpenForSending(link, held, run, ended);
}

TLineKind ClassifyLine(const QByteArray &line, bool &headerSeen)
{
    if (!headerSeen) {
        if (!line.startsWith("S0"))
            return TLineKind::BeforeHeader;
        headerSeen = true;
        return TLineKind::Header;
    }
    if (line.startsWith("S9"))
        return TLineKind::End;
    if (line.startsWith("S1"))
        return TLineKind::Data;
    return TLineKind::Other;
}

int DigitAt(const QByteArray &line, int position)
{
    if (position < 1 || position > line.size())
        return -1;
    return HexDigitValue(line.at(position - 1));
}

bool StopConfirmedAtPass(TLink &link)
{
    if (!link.State.StopRequested)
        return false;
    if (link.Surface.AskYesNo(LinkTexts::StopPromptText, LinkTexts::StopPromptTitle))
        return true;
    link.State.StopRequested = false;
    return false;
}

TNextLine NextRecordLine(TLink &link, TFlowResources &held, bool &headerSeen, QByteArray &line,
                         const TFlowRun &run, TUpdateOutcome &ended)
{
    TTextLineReader &file = held.File;
    for (;;) {
        // The file ends before its end record: it is not the file that was checked.
        if (file.Eof()) {
            ReportEarlyEnd(link, held);
            ended = run.FileProblem(TFileProblem::NotValid);
            return TNextLine::Ended;
        }
        if (StopConfirmedAtPass(link)) {
            held.CloseAll();
            link.ShowStatus(LinkTexts::UserStopped, 0);
            ended = run.Stopped();
            return TNextLine::Ended;
        }

        link.ProcessPendingMessages();
        // A read error, or a line far longer than any S-record, means the file changed since
        // it was checked: what would go out is not the file that was checked.
        qint64 fullLength = 0;
        if (!file.ReadLine(line, &fullLength) || fullLength > line.size()) {
            held.CloseAll();
            ReportFileUnreadable(link);
            ended = run.FileProblem(TFileProblem::Unreadable);
            return TNextLine::Ended;
        }

        const TLineKind kind = ClassifyLine(line, headerSeen);
        if (kind == TLineKind::End)
            return TNextLine::End;
        if (kind == TLineKind::Data)
            return TNextLine::Data;
    }
}

void CountRecord(TLink &link, qint64 &count, int &dotPhase)
{
    ++count;

    // The status line shows the run is alive: no dot at the first record of a cycle of 50,
    // then one more dot at the 10th, 20th, 30th and 40th.
    ++dotPhase;
    if (dotPhase == 1)
        link.ShowStatus(FlowTexts::Updating, 0);
    else if (dotPhase % 10 == 0 && dotPhase <= 40)
        link.ShowStatus(FlowTexts::UpdatingDots[dotPhase / 10 - 1], 0);
    else if (dotPhase == 50)
        dotPhase = 0;

    link.Surface.SetGaugePosition(int(qMin<qint64>(count, std::numeric_limits<int>::max())));
    link.Surface.SetLinesSent(QString::number(count));
}

TUpdateOutcome FinishUpdate(TLink &link, TFlowResources &held, const TFlowRun &run)
{
    link.ComPort.PurgeQueues(true, true);
    if (!link.SendChar('!')) {
        link.ShowStatus(LinkTexts::SendFailed, 1);
        held.CloseAll();
        return run.LinkFailed();
    }
    bool timedOut = false;
    const QByteArray answer = link.ReceiveChar(5, &timedOut);
    held.CloseAll();
    if (answer == "s" && link.State.StopRequested) {
        link.ShowStatus(LinkTexts::UserStopped, 0);
        return run.StopResult();
    }
    if (answer == "!") {
        link.ShowStatus(FlowTexts::UpdateComplete, 0);
        link.Surface.ReportBox(FlowTexts::UpdateDoneBox, FlowTexts::UpdateDoneTitle, TBoxIcon::Warning);
        return run.Completed();
    }
    link.ShowStatus(FlowTexts::WrongResponse, 0);
    return run.Answer(answer, timedOut, TNoAnswerStage::End);
}

} // namespace BootloaderFlowSteps
