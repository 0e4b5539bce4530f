#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "protocols/UpdateOutcome.h"
#include "seriallink/LinkPrimitives.h"
#include "updatefile/UnitCatalogue.h"

enum class TDirection { Next, Back };

// The main window as the page controller sees it: the controls it shows, hides, enables and
// reads. The window implements it with its widgets; nothing here knows about widgets.
class TWizardWindow {
public:
    virtual ~TWizardWindow() = default;

    // SelectedBrand of the window: 1 = first brand, 0 = second brand.
    virtual int Brand() const = 0;

    // Test_P: shown over the whole client area and brought to the front, or hidden.
    virtual void ShowBrandChoice(bool shown) = 0;
    // Makes the panel of page 1..5 visible and hides the other four page panels.
    virtual void ShowPagePanel(int page) = 0;
    // Shows the picture with this object name in the picture column and hides the others (all
    // of them for a name that is not a picture).
    virtual void ShowPicture(const QString &name) = 0;

    virtual void SetBackEnabled(bool enabled) = 0;
    virtual void SetNextEnabled(bool enabled) = 0;
    virtual void SetNextCaption(const QString &caption) = 0;
    virtual void SetExitCaption(const QString &caption) = 0;

    // Text of the selected item of the product list (empty when none is selected).
    virtual QString SelectedProductText() const = 0;

    // The port list of the port-and-file page.
    // Hides the list, shows "Finding Comports..." and paints the window at once.
    virtual void ShowPortSearch() = 0;
    // Shows the list (found) or the no-port notice, and hides the search label.
    virtual void ShowPortsFound(bool found) = 0;
    // Replaces the list's items, laid out in the given number of columns; nothing selected.
    virtual void SetPortItems(const QStringList &items, int columns) = 0;
    // A hint shown when the pointer rests on an item (empty: none).
    virtual void SetPortItemHint(int index, const QString &hint) { Q_UNUSED(index) Q_UNUSED(hint) }
    // Selects an item; a change of the selection raises the list's selection event.
    virtual void SelectPortItem(int index) = 0;
    virtual QString SelectedPortText() const = 0;

    // The update file: LabelFileName (its design text, or the full path of the chosen file) and
    // the open-file dialog's file name that the checks and flows read.
    virtual bool FileLabelShowsFile() const = 0;
    virtual QString FileLabelText() const = 0;
    virtual void SetFileLabelText(const QString &path) = 0;
    virtual void SetDialogFileName(const QString &path) = 0;
    virtual void ShowFileWarning(bool shown) = 0;

    // RichEditSummary.
    virtual void ClearSummary() = 0;
    virtual void AddSummaryLine(const QString &line) = 0;

    // Ends the application's message loop.
    virtual void TerminateApplication() = 0;
};

// What the wizard calls out to. The defaults are the real dialog, check and flows; tests put
// their own in.
struct TWizardHooks {
    // Runs the open-file dialog: the chosen file's path, or an empty text for Cancel.
    std::function<QString()> ChooseFile;
    std::function<int(TLink &, TRecordVariant)> CheckFormat;
    // Runs the update for the selected unit type's row (the engine's RunUpdate).
    std::function<TUpdateOutcome(TLink &, const TUnitType &)> RunUpdate;
};

// The wizard's page controller: which page shows what, Next and Back, the port-and-file page,
// Exit/Stop and the close guard. Works on the window through TWizardWindow and on the wizard
// state, the port and the operator surface through the link.
class TWizard {
public:
    TWizard(TWizardWindow &window, TLink &link, bool offerBrandChoice);

    TWizardHooks Hooks;

    bool OfferBrandChoice() const { return offerBrandChoice_; }

    // The wizard's part of the window's creation: the start state and the first page.
    void FormCreate();

    // Shows page 0..5; false for another number or when the page's show routine failed.
    bool ShowPage(int page);
    // Next (Begin on the summary page) or Back; true when it moved or ran an update.
    bool MovePage(TDirection direction);

    // The port scan of the port-and-file page; true when at least one port is listed.
    bool ScanPorts();
    // Selection event of the port list: the port follows the selected item.
    void comm_RGClick();
    // Browse: choose the update file.
    void ButtonBrowseClick();
    // Exit, or Stop while an update runs.
    void ButtonExitClick();
    // Close request of the window: canClose tells whether the window may close.
    void FormCloseQuery(bool &canClose);

private:
    void ShowWizardPage(int page);
    void ShowPortPage();
    void CheckChosenFileName();
    bool LeavePortPage();
    bool BeginUpdate();
    void ResetGaugeAndStatus();

    TWizardWindow &window_;
    TLink &link_;
    TWizardState &state_;
    bool offerBrandChoice_;
};
