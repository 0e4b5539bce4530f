#include "protocols/FlowStart.h"

#include <QFileInfo>

#include "protocols/FlowTexts.h"
#include "updatefile/FormatCheck.h"

void TFlowResources::ClosePort()
{
    try {
        port_.ClosePort();
    } catch (...) {
    }
}

void TFlowResources::CloseAll()
{
    try {
        File.Close();
    } catch (...) {
    }
    ClosePort();
}

bool StartFlow(TLink &link, const TFlowStart &start, TFlowResources &held, TUpdateOutcome &ended)
{
    TOperatorSurface &surface = link.Surface;
    const TFlowRun run(link);
    link.PortFailed = false;

    // Start from a clean display.
    link.ShowStatus(FlowTexts::Ready, 0);
    surface.SetGaugeMaximum(100);
    surface.SetGaugePosition(0);

    // The port chosen on the file page must still be free.
    if (!link.ProbeSelectedPort()) {
        surface.ReportBox(FlowTexts::PortGone, FlowTexts::PortGoneTitle, TBoxIcon::Warning);
        ended = run.PortNotAvailable();
        return false;
    }

    // The flow owns the port from here to every return. A port taken by another program
    // between the probe and this open (a modem manager, a second station) could not be had:
    // the technician sees what any failed open shows, the outcome says the port was not
    // available. Anything else raised here stays unexpected.
    link.ComPort.SetBaudRate(start.BaudRate);
    try {
        link.ComPort.OpenPort();
    } catch (const EComPort &) {
        held.CloseAll();
        link.ShowStatus(FlowTexts::Unexpected, 0);
        ended = run.PortNotAvailable();
        return false;
    }

    // The update file must still be there.
    held.FileName = surface.UpdateFileName();
    if (!QFileInfo(held.FileName).isFile()) {
        held.ClosePort();
        surface.ReportBox(FlowTexts::FileGone, FlowTexts::FileErrorTitle, TBoxIcon::Warning);
        ended = run.FileProblem(TFileProblem::Gone);
        return false;
    }

    // The technician readies the unit.
    if (!surface.AskYesNo(start.Question, FlowTexts::BeginTitle)) {
        held.ClosePort();
        link.ShowStatus(LinkTexts::UserStopped, 0);
        ended = run.Stopped();
        return false;
    }

    // Check the file once more; its result is the gauge's maximum.
    const TFormatCheckResult check = CheckUpdateFileFormatWithVerdict(surface, link.State, start.Variant);
    if (check.Records <= 0) {
        link.ShowStatus(link.State.StopRequested ? LinkTexts::UserStopped : FlowTexts::FormatNotValid, 0);
        held.ClosePort();
        ended = run.FormatRejected(check.Verdict);
        return false;
    }

    // The gauge runs to the number of records; nothing stale waits on the line.
    surface.SetGaugeMaximum(check.Records);
    surface.SetGaugePosition(0);
    link.ComPort.PurgeQueues(true, true);
    return true;
}

bool OpenForSending(TLink &link, TFlowResources &held, const TFlowRun &run, TUpdateOutcome &ended)
{
    link.ShowStatus(FlowTexts::Updating, 0);
    if (!held.File.Open(held.FileName)) {
        ReportFileUnreadable(link);
        held.ClosePort();
        ended = run.FileProblem(TFileProblem::Unreadable);
        return false;
    }
    return true;
}

void ReportFileUnreadable(TLink &link)
{
    link.ShowStatus(FlowTexts::FileUnreadableStatus, 0);
    link.Surface.ReportBox(FlowTexts::FileUnreadable, FlowTexts::FileErrorTitle, TBoxIcon::Warning);
}

void ReportEarlyEnd(TLink &link, TFlowResources &held)
{
    held.CloseAll();
    link.Surface.ReportBox(FlowTexts::EofBox, FlowTexts::UpdateErrorTitle, TBoxIcon::Warning);
    link.ShowStatus(FlowTexts::EofStatus, 0);
}

TUpdateOutcome EndUnexpected(TLink &link, TFlowResources &held, const TFlowRun &run)
{
    held.CloseAll();
    link.ShowStatus(FlowTexts::Unexpected, 0);
    return run.Unexpected();
}
