#include "protocols/BootloaderFlowSteps.h"

#include <QFileInfo>
#include <limits>
#include <stdexcept>

#include "protocols/FlowTexts.h"
#include "updatefile/HexDigit.h"
#include "updatefile/FormatCheck.h"

namespace BootloaderFlowSteps {

bool StartUpdate(TLink &link, const TFlowStart &start, TTextLineReader &file, TUpdateOutcome &ended)
{
    TOperatorSurface &surface = link.Surface;
    const TFlowRun run(link);
    link.PortFailed = false;

    link.ShowStatus(FlowTexts::Ready, 0);
    surface.SetGaugeMaximum(100);
    surface.SetGaugePosition(0);

    if (!link.ProbeSelectedPort()) {
        surface.ReportBox(FlowTexts::PortGone, FlowTexts::PortGoneTitle, TBoxIcon::Warning);
        ended = run.PortNotAvailable();
        return false;
    }

    link.ComPort.SetBaudRate(start.BaudRate);
    link.ComPort.OpenPort();

    const QString fileName = surface.UpdateFileName();
    if (!QFileInfo(fileName).isFile()) {
        ClosePort(link);
        surface.ReportBox(FlowTexts::FileGone, FlowTexts::FileErrorTitle, TBoxIcon::Warning);
        ended = run.FileProblem(TFileProblem::Gone);
        return false;
    }

    if (!surface.AskYesNo(start.Question, FlowTexts::BeginTitle)) {
        ClosePort(link);
        link.ShowStatus(LinkTexts::UserStopped, 0);
        ended = run.Stopped();
        return false;
    }

    const TFormatCheckResult check = CheckUpdateFileFormatWithVerdict(link.Surface, link.State, start.Variant);
    const int records = check.Records;
    if (records == 0) {
        link.ShowStatus(link.State.StopRequested ? LinkTexts::UserStopped : FlowTexts::FormatNotValid, 0);
        ClosePort(link);
        ended = run.FormatRejected(check.Verdict);
        return false;
    }
    surface.SetGaugeMaximum(records);
    surface.SetGaugePosition(0);

    link.ComPort.PurgeQueues(true, true);
    if (!SendBootloader(link, start.Image)) {
        ClosePort(link);
        link.ShowStatus(link.State.StopRequested ? FlowTexts::BootloaderStopped : FlowTexts::BootloaderFailed, 0);
        ended = link.State.StopRequested ? run.Stopped() : run.LinkFailed();
        return false;
    }

    // Contact with the freshly started bootloader. A stop confirmed during this wait ends
    // the run as a failed contact.
    link.ComPort.PurgeQueues(true, true);
    if (!link.SendChar('.')) {
        link.ShowStatus(LinkTexts::SendFailed, 1);
        ClosePort(link);
        ended = run.LinkFailed();
        return false;
    }
    bool timedOut = false;
    const QByteArray answer = link.ReceiveChar(5, &timedOut);
    if (answer != ".") {
        link.ShowStatus(FlowTexts::NoContact, 1);
        ClosePort(link);
        ended = run.Answer(answer, timedOut, TNoAnswerStage::Bootloader);
        return false;
    }

    link.ShowStatus(FlowTexts::Updating, 0);

    if (!file.Open(fileName)) {
        ReportFileUnreadable(link);
        ClosePort(link);
        ended = run.FileProblem(TFileProblem::Unreadable);
        return false;
    }
    return true;
}

void ClosePort(TLink &link)
{
    try {
        link.ComPort.ClosePort();
    } catch (...) {
    }
}

void CloseAll(TLink &link, TTextLineReader &file)
{
    file.Close();
    ClosePort(link);
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

void ReportEarlyEnd(TLink &link, TTextLineReader &file)
{
    CloseAll(link, file);
    link.Surface.ReportBox(FlowTexts::EofBox, FlowTexts::UpdateErrorTitle, TBoxIcon::Warning);
    link.ShowStatus(FlowTexts::EofStatus, 0);
}

void ReportFileUnreadable(TLink &link)
{
    link.ShowStatus(FlowTexts::FileUnreadableStatus, 0);
    link.Surface.ReportBox(FlowTexts::FileUnreadable, FlowTexts::FileErrorTitle, TBoxIcon::Warning);
}

TNextLine NextRecordLine(TLink &link, TTextLineReader &file, bool &headerSeen, QByteArray &line,
                         const TFlowRun &run, TUpdateOutcome &ended)
{
    for (;;) {
        // The file ends before its end record: it is not the file that was checked.
        if (file.Eof()) {
            ReportEarlyEnd(link, file);
            ended = run.FileProblem(TFileProblem::NotValid);
            return TNextLine::Ended;
        }
        if (StopConfirmedAtPass(link)) {
            CloseAll(link, file);
            link.ShowStatus(LinkTexts::UserStopped, 0);
            ended = run.Stopped();
            return TNextLine::Ended;
        }

        link.ProcessPendingMessages();
        // A read error, or a line far longer than any S-record, means the file changed since
        // it was checked: what would go out is not the file that was checked.
        qint64 fullLength = 0;
        if (!file.ReadLine(line, &fullLength) || fullLength > line.size()) {
            CloseAll(link, file);
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

TUpdateOutcome FinishUpdate(TLink &link, TTextLineReader &file, const TFlowRun &run)
{
    link.ComPort.PurgeQueues(true, true);
    if (!link.SendChar('!')) {
        link.ShowStatus(LinkTexts::SendFailed, 1);
        CloseAll(link, file);
        return run.LinkFailed();
    }
    bool timedOut = false;
    const QByteArray answer = link.ReceiveChar(5, &timedOut);
    CloseAll(link, file);
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

void ReportUnexpected(TLink &link)
{
    ClosePort(link);
    link.ShowStatus(FlowTexts::Unexpected, 0);
}

} // namespace BootloaderFlowSteps
