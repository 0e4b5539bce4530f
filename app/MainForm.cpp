#include "app/MainForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextCursor>

#include "app/MessageBoxes.h"
#include "app/OpenDialog.h"
#include "app/Picture.h"
#include "app/WindowTexts.h"
#include "seriallink/TComPort.h"
#include "ui_MainForm.h"
#include "updatefile/UnitCatalogue.h"
#include "wizard/Brand.h"
#include "wizard/WelcomeText.h"

// The pictures are compiled into this library; a static library has to register them itself.
static void RegisterPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace {
// Width in pixels of the reference line below in Tahoma 8 pt (at 96 dots per inch).
constexpr int TahomaReferenceWidth = 413;

// The window's layout was drawn for Tahoma 8 pt. Debian's fonts-wine ships a font with
// Tahoma's metrics; load it when it is there, else the system picks its nearest font. Only the
// regular face is loaded: its bold face hardly differs from it at 8 pt, while the emboldened
// regular face reads as bold, as the no-port notice needs.
QFont FormFont()
{
    static const bool loaded = [] {
        const QString file = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
        if (QFile::exists(file))
            QFontDatabase::addApplicationFont(file);
        return true;
    }();
    Q_UNUSED(loaded);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    if (QFontInfo(font).family().compare(QLatin1String("Tahoma"), Qt::CaseInsensitive) == 0)
        return font;
    // The system's stand-in is usually wider, and labels sized for Tahoma would wrap and lose
    // lines: take the largest size at which a reference line is no wider than in Tahoma 8 pt.
    const QString reference = QStringLiteral("The quick brown fox jumps over the lazy dog; THE QUICK BROWN FOX 0123456789.");
    for (int pixels = 11; pixels >= 8; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).horizontalAdvance(reference) <= TahomaReferenceWidth)
            break;
    }
    return font;
}

constexpr int LayoutMargin = 10;
constexpr int LayoutGap = 5;
constexpr int PageWidth = 300;
constexpr int PageHeight = 275;

// Delphi-style edges: right and bottom are the first pixel past the control.
int Right(const QWidget *w)
{
    return w->x() + w->width();
}
int Bottom(const QWidget *w)
{
    return w->y() + w->height();
}
} // namespace

TMainF::TMainF(bool offerBrandChoice, TCustomComPort *port, TLinkClock *clock, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui(new Ui::MainForm)
{
    RegisterPictures();
    setFont(FormFont());
    ui->setupUi(this);
    noFileText_ = ui->LabelFileName->text();

    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->Title = QString::fromUtf8(WindowTexts::OpenDialogTitle);
    OpenDialog1->Filter = QString::fromUtf8(WindowTexts::OpenDialogFilter);

    if (!port) {
        ownPort_ = std::make_unique<TComPort>();
        port = ownPort_.get();
    }
    port_ = port;
    if (!clock) {
        ownClock_ = std::make_unique<TSystemClock>();
        clock = ownClock_.get();
    }
    clock_ = clock;
    link_ = std::make_unique<TLink>(*this, *port_, *clock_, State);
    wizard_ = std::make_unique<TWizard>(*this, *link_, offerBrandChoice);
    wizard_->Hooks.ChooseFile = [this] { return OpenDialog1->Execute(this) ? OpenDialog1->FileName : QString(); };

    ui->StatusBar1->setFixedHeight(19);
    SetStatusText(QString::fromUtf8(WindowTexts::DesignStatus));
    gaugeColour_ = BrandLook(SelectedBrand).GaugeColour;
    ApplyGaugeColour();

    connect(ui->ButtonHelp, &QPushButton::clicked, this, &TMainF::ButtonHelpClick);
    connect(ui->ButtonBack, &QPushButton::clicked, this, &TMainF::ButtonBackClick);
    connect(ui->ButtonNext, &QPushButton::clicked, this, &TMainF::ButtonNextClick);
    connect(ui->ButtonExit, &QPushButton::clicked, this, &TMainF::ButtonExitClick);
    connect(ui->ButtonBrowse, &QPushButton::clicked, this, &TMainF::ButtonBrowseClick);
    connect(ui->comm_RG, &TRadioGroup::Click, this, &TMainF::comm_RGClick);
    connect(ui->qb_I, &TPicture::Clicked, this, &TMainF::quenby_BClick);
    connect(ui->tv_I, &TPicture::Clicked, this, &TMainF::trivane_BClick);
    for (QTextEdit *box : {ui->Intro_RE, ui->RichEditSummary, ui->RichEditNoComPort})
        box->viewport()->installEventFilter(this);

    setFixedSize(size());
    move(0, 0);
    FormCreate();
}

TMainF::~TMainF() = default;

void TMainF::FormCreate()
{
    SelectedBrand = 0;
    wizard_->FormCreate();
}

void TMainF::FormShow()
{
    ApplyBrand();
}

void TMainF::FormCloseQuery(bool &canClose)
{
    wizard_->FormCloseQuery(canClose);
}

void TMainF::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Restoring a minimised window is not a new show: the brand and the product choice stay.
    if (!event->spontaneous())
        FormShow();
}

void TMainF::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        event->accept();
    else
        event->ignore();
}

bool TMainF::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    const bool down = type == QEvent::MouseButtonPress;
    const bool up = type == QEvent::MouseButtonRelease;
    const bool dbl = type == QEvent::MouseButtonDblClick;
    if (down || up || dbl) {
        if (watched == ui->Intro_RE->viewport()) {
            if (down) Intro_REMouseDown();
            if (up) Intro_REMouseUp();
            if (dbl) Intro_REDblClick();
        } else if (watched == ui->RichEditSummary->viewport()) {
            if (down) RichEditSummaryMouseDown();
            if (up) RichEditSummaryMouseUp();
            if (dbl) RichEditSummaryDblClick();
        } else if (watched == ui->RichEditNoComPort->viewport()) {
            if (down) RichEditNoComPortMouseDown();
            if (up) RichEditNoComPortMouseUp();
            if (dbl) RichEditNoComPortDblClick();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMainF::Intro_REMouseDown()
{
    FocusOn(ui->ButtonNext);
}

void TMainF::Intro_REMouseUp()
{
    FocusOn(ui->ButtonNext);
}

void TMainF::Intro_REDblClick()
{
    FocusOn(ui->ButtonNext);
}

void TMainF::RichEditSummaryMouseDown()
{
    FocusOn(ui->ButtonBack);
}

void TMainF::RichEditSummaryMouseUp()
{
    FocusOn(ui->ButtonBack);
}

void TMainF::RichEditSummaryDblClick()
{
    FocusOn(ui->ButtonBack);
}

void TMainF::RichEditNoComPortMouseDown()
{
    FocusOn(ui->ButtonBack);
}

void TMainF::RichEditNoComPortMouseUp()
{
    FocusOn(ui->ButtonBack);
}

void TMainF::RichEditNoComPortDblClick()
{
    FocusOn(ui->ButtonBack);
}

void TMainF::FocusOn(QWidget *widget)
{
    if (widget && widget->isEnabled())
        widget->setFocus(Qt::MouseFocusReason);
}

QList<QWidget *> TMainF::BrandPictures(int brand) const
{
    QList<QWidget *> pictures;
    if (TPicture *group = findChild<TPicture *>(BrandLook(brand).GroupPicture))
        pictures << group;
    for (const TUnitType &unit : UnitCatalogue())
        if (unit.Brand == brand)
            if (TPicture *picture = findChild<TPicture *>(unit.Picture))
                pictures << picture;
    return pictures;
}

QList<QWidget *> TMainF::Pictures() const
{
    return BrandPictures(FirstBrand) + BrandPictures(SecondBrand);
}

QList<QWidget *> TMainF::PagePanels() const
{
    return {ui->GroupBoxIntro, ui->GroupBoxProductList, ui->GroupBoxComPort, ui->GroupBoxSummary, ui->GroupBoxSREC};
}

// ---------------------------------------------------------------------------------------------
// Brand and layout

void TMainF::ApplyBrand()
{
    setWindowTitle(WindowCaption());
    ui->Test_P->setGeometry(rect());

    ui->Product_Group_GB->ClearItems();
    ui->Intro_RE->clear();
    const TBrandLook look = BrandLook(SelectedBrand);
    gaugeColour_ = look.GaugeColour;
    ui->Image_Header->setVisible(look.Banner == ui->Image_Header->objectName());
    ui->Image_TVHeader->setVisible(look.Banner == ui->Image_TVHeader->objectName());
    WriteWelcomeText(*ui->Intro_RE->document(), SelectedBrand);
    ui->Product_Group_GB->SetItems(BrandProductNames(SelectedBrand));
    ui->Product_Group_GB->SetItemIndex(0);

    ui->product_select_L->setText(ProductSelectText());
    ApplyGaugeColour();
    ArrangeControls();
}

void TMainF::ApplyGaugeColour()
{
    ui->ProgressBar1->setStyleSheet(
        QStringLiteral("QProgressBar { border: none; background-color: palette(button); }"
                       " QProgressBar::chunk { background-color: %1; }")
            .arg(gaugeColour_.name()));
}

void TMainF::ArrangeControls()
{
    // A word-wrapped label keeps its design height unless its text needs more lines in the font
    // at hand (Tahoma comes out wider where the renderer rounds each advance to whole pixels, as
    // under Wine): it then takes the height its text needs, so that no line is cut off, and what
    // the layout places below or above it follows its height.
    for (QLabel *label : findChildren<QLabel *>()) {
        if (!label->wordWrap())
            continue;
        QVariant design = label->property("varnelDesignHeight");
        if (!design.isValid()) {
            design = label->height();
            label->setProperty("varnelDesignHeight", design);
        }
        label->resize(label->width(), qMax(design.toInt(), label->heightForWidth(label->width())));
    }

    for (QWidget *page : PagePanels())
        page->resize(PageWidth, PageHeight);

    const int pictureWidth = ui->ImageGroup->width();
    const int clientWidth = pictureWidth + PageWidth + 30;

    for (QWidget *banner : {static_cast<QWidget *>(ui->Image_Header), static_cast<QWidget *>(ui->Image_TVHeader)})
        banner->move((clientWidth - banner->width()) / 2, LayoutMargin);

    const int secondBrandTop = Bottom(ui->Image_TVHeader) + LayoutGap;
    const int firstBrandTop = ui->Image_Header->y() + ui->Image_TVHeader->height() + LayoutGap;
    for (QWidget *picture : BrandPictures(SecondBrand))
        picture->setGeometry(LayoutMargin, secondBrandTop, picture->width(), PageHeight);
    for (QWidget *picture : BrandPictures(FirstBrand))
        picture->setGeometry(LayoutMargin, firstBrandTop, picture->width(), PageHeight);

    const int pageLeft = pictureWidth + 20;
    const int pageTop = (ui->Image_Header->isHidden() ? Bottom(ui->Image_TVHeader) : Bottom(ui->Image_Header)) + LayoutGap;
    for (QWidget *page : PagePanels())
        page->move(pageLeft, pageTop);

    ui->Progress_P->setGeometry(0, pageTop + PageHeight + LayoutGap, clientWidth, ui->Progress_P->height());
    ui->ProgressBar1->setGeometry(ui->Progress_P->contentsRect());

    const int buttonTop = Bottom(ui->Progress_P) + LayoutGap;
    ui->ButtonHelp->move(LayoutMargin, buttonTop);
    ui->ButtonBack->move((clientWidth - ui->ButtonBack->width()) / 2, buttonTop);
    ui->ButtonNext->move(Right(ui->ButtonBack) + LayoutGap, buttonTop);
    ui->ButtonExit->move(clientWidth - ui->ButtonExit->width() - LayoutMargin, buttonTop);

    const int clientHeight = buttonTop + ui->ButtonHelp->height() + ui->StatusBar1->height() + LayoutGap;
    setFixedSize(clientWidth, clientHeight);
    ui->StatusBar1->setGeometry(0, clientHeight - ui->StatusBar1->height(), clientWidth, ui->StatusBar1->height());
    ui->Test_P->setGeometry(0, 0, clientWidth, clientHeight);

    // Inside the pages; offsets are relative to the page, whose client width is PageWidth.
    const int inner = PageWidth - 2 * LayoutMargin;
    ui->Intro_RE->setGeometry(LayoutMargin, LayoutMargin, inner, ui->Intro_RE->height());

    ui->product_select_L->move(LayoutMargin, LayoutMargin);
    ui->Product_Group_GB->setGeometry(LayoutMargin, Bottom(ui->product_select_L) + LayoutGap, inner,
                                      ui->Product_Group_GB->height());

    ui->summary_L->move(LayoutMargin, LayoutMargin);
    ui->RichEditSummary->setGeometry(LayoutMargin, Bottom(ui->summary_L) + LayoutMargin, inner,
                                     ui->RichEditSummary->height());

    ui->comm_L->move(LayoutMargin, LayoutMargin);
    ui->comm_RG->setGeometry(LayoutMargin, Bottom(ui->comm_L) + LayoutGap, inner, ui->comm_RG->height());
    ui->RichEditNoComPort->setGeometry(20, ui->comm_RG->y() + LayoutGap, PageWidth - 40, ui->comm_RG->height() - 20);
    ui->find_coms_L->adjustSize();
    ui->find_coms_L->move((PageWidth - ui->find_coms_L->width()) / 2,
                          ui->comm_RG->y() + (ui->comm_RG->height() - ui->find_coms_L->height()) / 2);

    ui->update_L->move(LayoutMargin, Bottom(ui->comm_RG) + LayoutGap);
    ui->filename_P->setGeometry(LayoutMargin, Bottom(ui->update_L) + LayoutGap, inner, ui->filename_P->height());
    ui->LabelFileName->setGeometry(ui->filename_P->contentsRect());
    ui->LabelFileWarning->move(LayoutMargin, Bottom(ui->filename_P) + LayoutGap);
    ui->ButtonBrowse->move(PageWidth - ui->ButtonBrowse->width() - LayoutMargin, Bottom(ui->filename_P) + LayoutGap);

    ui->num_lines_L->adjustSize();
    ui->LabelSREClines_P->move((PageWidth - ui->LabelSREClines_P->width()) / 2,
                               (PageHeight - ui->LabelSREClines_P->height()) / 2);
    ui->LabelSREClines->setGeometry(ui->LabelSREClines_P->contentsRect());
    ui->num_lines_L->move((PageWidth - ui->num_lines_L->width()) / 2,
                          ui->LabelSREClines_P->y() - ui->num_lines_L->height() - LayoutGap);

    ui->next_1_L->move(LayoutMargin, PageHeight - ui->next_1_L->height() - LayoutGap);
    // The same top as next_1_L, or higher when a label grew past the page's bottom margin.
    for (QWidget *label : {ui->next_2_L, ui->next_3_L, ui->next_4_L})
        label->move(LayoutMargin, qMin(ui->next_1_L->y(), PageHeight - label->height() - LayoutGap));
    ui->next_5_L->move(LayoutMargin, PageHeight - ui->next_5_L->height() - LayoutGap);
}

// ---------------------------------------------------------------------------------------------
// Event handlers

void TMainF::ButtonHelpClick()
{
    ShowHelp(*this, HelpProgramFolder ? HelpProgramFolder() : QString(), HelpOpener);
}

void TMainF::ButtonBackClick()
{
    wizard_->MovePage(TDirection::Back);
}

void TMainF::ButtonNextClick()
{
    wizard_->MovePage(TDirection::Next);
}

void TMainF::ButtonExitClick()
{
    wizard_->ButtonExitClick();
}

void TMainF::ButtonBrowseClick()
{
    wizard_->ButtonBrowseClick();
}

void TMainF::comm_RGClick()
{
    wizard_->comm_RGClick();
}

void TMainF::quenby_BClick()
{
    SelectedBrand = FirstBrand;
    ApplyBrand();
    State.CurrentPage = 1;
    ShowPage(1);
}

void TMainF::trivane_BClick()
{
    SelectedBrand = SecondBrand;
    ApplyBrand();
    State.CurrentPage = 1;
    ShowPage(1);
}

// ---------------------------------------------------------------------------------------------
// Operator surface

void TMainF::SetStatusText(const QString &text)
{
    statusText_ = text;
    ui->StatusBar1->showMessage(text);
}

int TMainF::RunBox(QMessageBox &box)
{
    return box.exec();
}

void TMainF::ReportBox(const QString &text, const QString &title, TBoxIcon icon)
{
    QMessageBox box;
    PrepareMessageBox(box, text, title, icon, QMessageBox::Ok);
    RunBox(box);
}

bool TMainF::AskYesNo(const QString &text, const QString &title)
{
    QMessageBox box;
    PrepareMessageBox(box, text, title, TBoxIcon::Question, QMessageBox::Yes | QMessageBox::No);
    return RunBox(box) == QMessageBox::Yes;
}

void TMainF::SetGaugeMaximum(int maximum)
{
    // A gauge whose range is empty would show a busy animation; it keeps at least one step.
    const int position = ui->ProgressBar1->value();
    ui->ProgressBar1->setRange(0, qMax(maximum, 1));
    ui->ProgressBar1->setValue(qBound(0, position, ui->ProgressBar1->maximum()));
}

void TMainF::SetGaugePosition(int position)
{
    // A position past the end is shown as a full gauge (the bar ignores values out of range).
    ui->ProgressBar1->setValue(qBound(0, position, ui->ProgressBar1->maximum()));
}

void TMainF::SetLinesSent(const QString &caption)
{
    ui->LabelSREClines->setText(caption);
}

void TMainF::ProcessPendingMessages()
{
    QCoreApplication::processEvents();
}

QString TMainF::UpdateFileName() const
{
    return OpenDialog1->FileName;
}

void TMainF::SetFileWarning(const QString &text)
{
    ui->LabelFileWarning->setText(text);
}

// ---------------------------------------------------------------------------------------------
// The wizard's view of the window

void TMainF::ShowBrandChoice(bool shown)
{
    if (shown) {
        ui->Test_P->setGeometry(rect());
        ui->Test_P->show();
        ui->Test_P->raise();
    } else {
        ui->Test_P->hide();
    }
}

void TMainF::ShowPagePanel(int page)
{
    const QList<QWidget *> panels = PagePanels();
    for (int i = 0; i < panels.size(); ++i)
        panels.at(i)->setVisible(i + 1 == page);
}

void TMainF::ShowPicture(const QString &name)
{
    for (QWidget *picture : Pictures())
        picture->setVisible(picture->objectName() == name);
}

void TMainF::SetBackEnabled(bool enabled)
{
    ui->ButtonBack->setEnabled(enabled);
}

void TMainF::SetNextEnabled(bool enabled)
{
    ui->ButtonNext->setEnabled(enabled);
}

void TMainF::SetNextCaption(const QString &caption)
{
    ui->ButtonNext->setText(caption);
}

void TMainF::SetExitCaption(const QString &caption)
{
    ui->ButtonExit->setText(caption);
}

QString TMainF::SelectedProductText() const
{
    return ui->Product_Group_GB->SelectedText();
}

void TMainF::ShowPortSearch()
{
    ui->comm_RG->hide();
    ui->find_coms_L->show();
    // The scan below does not handle window events; paint now so the label is on screen.
    repaint();
}

void TMainF::ShowPortsFound(bool found)
{
    if (found) {
        ui->comm_RG->show();
        ui->RichEditNoComPort->hide();
    } else {
        ui->RichEditNoComPort->show();
    }
    ui->find_coms_L->hide();
}

void TMainF::SetPortItems(const QStringList &items, int columns)
{
    ui->comm_RG->SetColumns(columns);
    ui->comm_RG->SetItems(items);
}

void TMainF::SelectPortItem(int index)
{
    ui->comm_RG->SetItemIndex(index);
}

QString TMainF::SelectedPortText() const
{
    return ui->comm_RG->SelectedText();
}

bool TMainF::FileLabelShowsFile() const
{
    return ui->LabelFileName->text() != noFileText_;
}

QString TMainF::FileLabelText() const
{
    return ui->LabelFileName->text();
}

void TMainF::SetFileLabelText(const QString &path)
{
    ui->LabelFileName->setText(path);
}

void TMainF::SetDialogFileName(const QString &path)
{
    OpenDialog1->FileName = path;
}

void TMainF::ShowFileWarning(bool shown)
{
    ui->LabelFileWarning->setVisible(shown);
}

void TMainF::ClearSummary()
{
    ui->RichEditSummary->clear();
    summaryLines_ = 0;
}

void TMainF::AddSummaryLine(const QString &line)
{
    // One paragraph per line; the first line goes into the empty box's first paragraph.
    QTextCursor cursor(ui->RichEditSummary->document());
    cursor.movePosition(QTextCursor::End);
    if (summaryLines_ > 0)
        cursor.insertBlock();
    cursor.insertText(line);
    ++summaryLines_;
}

void TMainF::TerminateApplication()
{
    QCoreApplication::quit();
}

void TMainF::SetDialogInitialDir(const QString &folder)
{
    OpenDialog1->InitialDir = folder;
}

void TMainF::SetPortItemHint(int index, const QString &hint)
{
    if (QRadioButton *item = ui->comm_RG->Button(index))
        item->setToolTip(hint);
}
