#include "seriallink/LinkTexts.h"
#include "wizard/PageController.h"

#include "protocols/UpdateEngine.h"
#include "updatefile/FileNameRules.h"
#include "updatefile/FormatCheck.h"
#include "wizard/Brand.h"
#include "wizard/PortHint.h"
#include "wizard/PortList.h"
#include "wizard/TextFormat.h"
#include "wizard/WizardTexts.h"

namespace {
QString Text(const char *text)
{
    return QString::fromUtf8(text);
}
} // namespace

TWizard::TWizard(TWizardWindow &window, TLink &link, bool offerBrandChoice)
    : window_(window), link_(link), state_(link.State), offerBrandChoice_(offerBrandChoice)
{
    Hooks.CheckFormat = [](TLink &link, TRecordVariant variant) {
        return CheckUpdateFileFormat(link.Surface, link.State, variant);
    };
    Hooks.RunUpdate = ::RunUpdate;
}

void TWizard::FormCreate()
{
    state_.CurrentPage = offerBrandChoice_ ? 0 : 1;
    state_.SelectedUnit = 1;
    state_.PortsFound = false;
    state_.FileChosen = false;
    state_.UpdateActive = false;
    ShowPage(state_.CurrentPage);
}

bool TWizard::ShowPage(int page)
{
    if (page < 0 || page > 5)
        return false;
    try {
        window_.ShowBrandChoice(false);
        ShowWizardPage(page);
        return true;
    } catch (...) {
        return false;
    }
}

void TWizard::ResetGaugeAndStatus()
{
    link_.Surface.SetGaugePosition(0);
    link_.ShowStatus(LinkTexts::Ready, 0);
}

void TWizard::ShowWizardPage(int page)
{
    switch (page) {
    case 0:
        window_.ShowBrandChoice(true);
        return;
    case 1:
    case 2:
        window_.ShowPagePanel(page);
        window_.ShowPicture(BrandLook(window_.Brand()).GroupPicture);
        window_.SetBackEnabled(page == 2 || offerBrandChoice_);
        window_.SetNextEnabled(true);
        window_.SetNextCaption(Text(WizardTexts::NextCaption));
        window_.SetExitCaption(Text(WizardTexts::ExitCaption));
        ResetGaugeAndStatus();
        return;
    case 3:
        ShowPortPage();
        return;
    case 4:
        window_.ShowPagePanel(4);
        window_.SetBackEnabled(true);
        window_.SetNextEnabled(true);
        window_.SetNextCaption(Text(WizardTexts::BeginCaption));
        window_.SetExitCaption(Text(WizardTexts::ExitCaption));
        ResetGaugeAndStatus();
        return;
    case 5:
        window_.ShowPagePanel(5);
        link_.Surface.SetLinesSent(QStringLiteral("0"));
        window_.SetBackEnabled(true);
        window_.SetNextEnabled(false);
        window_.SetNextCaption(Text(WizardTexts::BeginCaption));
        window_.SetExitCaption(Text(WizardTexts::ExitCaption));
        return;
    }
}

void TWizard::ShowPortPage()
{
    const TUnitType *unit = FindUnitType(state_.SelectedUnit);
    window_.ShowPicture(unit ? unit->Picture : QString());
    window_.ShowPagePanel(3);
    window_.ShowPortSearch();
    const bool found = ScanPorts();
    window_.ShowPortsFound(found);
    state_.PortsFound = found;
    state_.FileChosen = window_.FileLabelShowsFile();
    window_.SetNextEnabled(state_.FileChosen && state_.PortsFound);
    window_.SetBackEnabled(true);
    window_.SetNextCaption(Text(WizardTexts::NextCaption));
    window_.SetExitCaption(Text(WizardTexts::ExitCaption));
    ResetGaugeAndStatus();
}

bool TWizard::ScanPorts()
{
    const QString remembered = link_.ComPort.Port();
    // A port that cannot be had reads " (busy)"; its hint says why and names the adapter, so
    // that two USB adapters can be told apart.
    QStringList names;
    QStringList hints;
    for (const TScannedPort &port : ScanSerialPorts(link_)) {
        names << port.Name + (port.Busy == TPortBusy::Free ? QString() : Text(WizardTexts::BusySuffix));
        hints << PortItemHint(port.Facts, port.Busy, port.Holder);
    }
    if (names.isEmpty()) {
        window_.SetPortItems({}, 1);
        return false;
    }
    const TPortListLayout layout = LayOutPortList(names);
    window_.SetPortItems(layout.Items, layout.Columns);
    for (int i = 0; i < layout.Items.size(); ++i)
        window_.SetPortItemHint(i, hints.value(i));
    window_.SelectPortItem(0);
    window_.SelectPortItem(RememberedPortIndex(layout.Items, remembered));
    return true;
}

void TWizard::comm_RGClick()
{
    try {
        link_.ComPort.SetPort(window_.SelectedPortText());
    } catch (...) {
    }
}

void TWizard::CheckChosenFileName()
{
    QString warning;
    const bool fits = CheckUpdateFileName(state_.SelectedUnit, window_.FileLabelText(), warning);
    if (!fits)
        link_.Surface.SetFileWarning(warning);
    window_.ShowFileWarning(!fits);
}

void TWizard::ButtonBrowseClick()
{
    try {
        const QString path = Hooks.ChooseFile ? Hooks.ChooseFile() : QString();
        if (path.isEmpty())
            return;
        window_.SetDialogFileName(path);
        window_.SetFileLabelText(path);
        state_.FileChosen = true;
        link_.ShowStatus(LinkTexts::Ready, 0);
        CheckChosenFileName();
        // While the format check or a flow runs, Next stays disabled so that the wizard is
        // never entered twice; the check enables it again when it ends.
        if (!state_.UpdateRunning && !state_.UpdateActive)
            window_.SetNextEnabled(state_.FileChosen && state_.PortsFound);
    } catch (...) {
        state_.FileChosen = false;
        window_.SetNextEnabled(false);
    }
}

bool TWizard::MovePage(TDirection direction)
{
    try {
        const int page = state_.CurrentPage;
        if (direction == TDirection::Back) {
            if (page < 1 || page > 5)
                return false;
            ShowPage(page - 1);
            state_.CurrentPage = page - 1;
            return true;
        }
        switch (page) {
        case 1:
            ShowPage(2);
            state_.CurrentPage = 2;
            return true;
        case 2:
            state_.SelectedUnit = UnitCodeForProductName(window_.SelectedProductText(), state_.SelectedUnit);
            ShowPage(3);
            state_.CurrentPage = 3;
            if (window_.FileLabelShowsFile())
                CheckChosenFileName();
            return true;
        case 3:
            return LeavePortPage();
        case 4:
            return BeginUpdate();
        default:
            return false;
        }
    } catch (...) {
        return false;
    }
}

bool TWizard::LeavePortPage()
{
    window_.SetNextEnabled(false);
    window_.SetBackEnabled(false);
    state_.UpdateRunning = true;
    int records = 0;
    try {
        records = Hooks.CheckFormat(link_, WizardRecordVariant(state_.SelectedUnit));
    } catch (...) {
        // A check that fails outright has not found a usable file; the buttons and the guard
        // must come back in any case, or the window could neither go on nor be closed.
        records = 0;
    }
    window_.SetNextEnabled(true);
    window_.SetBackEnabled(true);
    state_.UpdateRunning = false;
    if (records == 0)
        return false;

    const TUnitType *unit = FindUnitType(state_.SelectedUnit);
    window_.ClearSummary();
    window_.AddSummaryLine(FormatText(WizardTexts::SummaryUnit, {unit ? unit->ShortName : QString()}));
    window_.AddSummaryLine(QString());
    window_.AddSummaryLine(Text(WizardTexts::SummaryFile) + link_.Surface.UpdateFileName());
    window_.AddSummaryLine(QString());
    if (link_.ProbeSelectedPort()) {
        window_.AddSummaryLine(Text(WizardTexts::SummaryPort) + link_.ComPort.Port());
        window_.SetNextEnabled(true);
        ShowPage(4);
        state_.CurrentPage = 4;
        return true;
    }
    link_.Surface.ReportBox(Text(WizardTexts::PortGone), Text(WizardTexts::PortGoneTitle), TBoxIcon::Warning);
    ShowPage(3);
    if (window_.FileLabelShowsFile())
        CheckChosenFileName();
    return false;
}

bool TWizard::BeginUpdate()
{
    ShowPage(5);
    state_.CurrentPage = 5;
    state_.UpdateActive = true;
    window_.SetExitCaption(Text(WizardTexts::StopCaption));
    window_.SetBackEnabled(false);
    try {
        // The flow shows the technician how it ended; the window has no use for the outcome.
        if (const TUnitType *unit = FindUnitType(state_.SelectedUnit))
            Hooks.RunUpdate(link_, *unit);
    } catch (...) {
        // The flows report their own failures; one that escapes must still end the update
        // state, or Stop and close would be caught in it for good.
    }
    window_.SetExitCaption(Text(WizardTexts::ExitCaption));
    window_.SetBackEnabled(true);
    state_.UpdateActive = false;
    state_.StopRequested = false;
    return true;
}

void TWizard::ButtonExitClick()
{
    if (state_.UpdateActive) {
        state_.StopRequested = true;
        return;
    }
    if (state_.UpdateRunning)
        return;
    window_.TerminateApplication();
}

void TWizard::FormCloseQuery(bool &canClose)
{
    if (state_.UpdateActive) {
        state_.StopRequested = true;
        canClose = false;
        return;
    }
    if (state_.UpdateRunning) {
        canClose = false;
        return;
    }
    canClose = true;
    window_.TerminateApplication();
}
