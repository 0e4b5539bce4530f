#pragma once

#include <QColor>
#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <memory>

#include "seriallink/ComPort.h"
#include "seriallink/LinkClock.h"
#include "seriallink/LinkPrimitives.h"
#include "operator/OperatorSurface.h"
#include "operator/WizardState.h"
#include "wizard/HelpLauncher.h"
#include "wizard/PageController.h"

#ifndef VARNEL_OFFER_BRAND_CHOICE_DEFAULT
#define VARNEL_OFFER_BRAND_CHOICE_DEFAULT 0
#endif

namespace Ui {
class MainForm;
}
class QPushButton;
class QTextEdit;
class TOpenDialog;

// The main window: every control of the wizard, their run-time layout, the brand, and the
// operator surface the checks and update flows show themselves on. The page logic itself is the
// wizard's (TWizard); the window carries it out on its widgets.
class TMainF : public QWidget, public TOperatorSurface, public TWizardWindow {
    Q_OBJECT

public:
    // offerBrandChoice: the build's OfferBrandChoice unless a test asks otherwise.
    // port: the serial port to use; nullptr makes the window's own. clock: likewise, the
    // system's clock when nullptr.
    explicit TMainF(bool offerBrandChoice = VARNEL_OFFER_BRAND_CHOICE_DEFAULT, TCustomComPort *port = nullptr,
                    TLinkClock *clock = nullptr, QWidget *parent = nullptr);
    ~TMainF() override;

    // 1 = first brand, 0 = second brand.
    int SelectedBrand = 0;

    // The wizard's state, its page controller and what it calls out to.
    TWizardState State;
    TWizard &Wizard() { return *wizard_; }
    TWizardHooks &Hooks() { return wizard_->Hooks; }
    TCustomComPort &ComPort() { return *port_; }
    TLink &Link() { return *link_; }

    // Help: the folder the help start page is looked for in, and how it is opened.
    std::function<QString()> HelpProgramFolder = ProgramFolder;
    THelpOpener HelpOpener;

    // The window's own routines.
    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool &canClose);
    void ApplyBrand();
    void ArrangeControls();
    bool ShowPage(int page) { return wizard_->ShowPage(page); }
    bool MovePage(TDirection direction) { return wizard_->MovePage(direction); }

    // The folder the open-file dialog starts in while no file has been chosen.
    void SetDialogInitialDir(const QString &folder);

    // The colour the gauge is painted in.
    QColor GaugeColour() const { return gaugeColour_; }

    // TOperatorSurface
    void SetStatusText(const QString &text) override;
    QString StatusText() const override { return statusText_; }
    void ReportBox(const QString &text, const QString &title, TBoxIcon icon) override;
    bool AskYesNo(const QString &text, const QString &title) override;
    void SetGaugeMaximum(int maximum) override;
    void SetGaugePosition(int position) override;
    void SetLinesSent(const QString &caption) override;
    void ProcessPendingMessages() override;
    QString UpdateFileName() const override;
    void SetFileWarning(const QString &text) override;

    // TWizardWindow
    int Brand() const override { return SelectedBrand; }
    void ShowBrandChoice(bool shown) override;
    void ShowPagePanel(int page) override;
    void ShowPicture(const QString &name) override;
    void SetBackEnabled(bool enabled) override;
    void SetNextEnabled(bool enabled) override;
    void SetNextCaption(const QString &caption) override;
    void SetExitCaption(const QString &caption) override;
    QString SelectedProductText() const override;
    void ShowPortSearch() override;
    void ShowPortsFound(bool found) override;
    void SetPortItems(const QStringList &items, int columns) override;
    void SetPortItemHint(int index, const QString &hint) override;
    void SelectPortItem(int index) override;
    QString SelectedPortText() const override;
    bool FileLabelShowsFile() const override;
    QString FileLabelText() const override;
    void SetFileLabelText(const QString &path) override;
    void SetDialogFileName(const QString &path) override;
    void ShowFileWarning(bool shown) override;
    void ClearSummary() override;
    void AddSummaryLine(const QString &line) override;
    void TerminateApplication() override;

public slots:
    void ButtonHelpClick();
    void ButtonBackClick();
    void ButtonNextClick();
    void ButtonExitClick();
    void ButtonBrowseClick();
    void comm_RGClick();
    void quenby_BClick();
    void trivane_BClick();

    // Focus handlers of the read-only text boxes: a press, a release or a double click hands the
    // keyboard focus to the button the box belongs with.
    void Intro_REMouseDown();
    void Intro_REMouseUp();
    void Intro_REDblClick();
    void RichEditSummaryMouseDown();
    void RichEditSummaryMouseUp();
    void RichEditSummaryDblClick();
    void RichEditNoComPortMouseDown();
    void RichEditNoComPortMouseUp();
    void RichEditNoComPortDblClick();

protected:
    // Shows a prepared message box and returns the button pressed.
    virtual int RunBox(QMessageBox &box);

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static void FocusOn(QWidget *widget);
    void ApplyGaugeColour();
    // The pictures of the picture column: of one brand (its group picture, then the picture of
    // each of its unit types as the catalogue names them), and of both.
    QList<QWidget *> BrandPictures(int brand) const;
    QList<QWidget *> Pictures() const;
    QList<QWidget *> PagePanels() const;

    std::unique_ptr<Ui::MainForm> ui;
    TOpenDialog *OpenDialog1 = nullptr;
    std::unique_ptr<TCustomComPort> ownPort_;
    TCustomComPort *port_ = nullptr;
    std::unique_ptr<TLinkClock> ownClock_;
    TLinkClock *clock_ = nullptr;
    std::unique_ptr<TLink> link_;
    std::unique_ptr<TWizard> wizard_;
    QString statusText_;
    QString noFileText_;
    QColor gaugeColour_;
    int summaryLines_ = 0;
};
