// The main window's controls, their layout and the look that the brand sets.
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "seriallink/LinkTexts.h"
#include "app/PathLabel.h"
#include "app/Picture.h"
#include "tests/wizard/WindowRig.h"
#include "wizard/WizardTexts.h"

namespace {

// Position of a control relative to its parent.
struct TPlace {
    const char *Name;
    int X, Y, W, H; // W or H of -1: not checked
};

class WindowLayout : public ::testing::TestWithParam<TPlace> {
protected:
    static TWindowRig *rig;
    static void SetUpTestSuite() { rig = new TWindowRig(); }
    static void TearDownTestSuite()
    {
        delete rig;
        rig = nullptr;
    }
};
TWindowRig *WindowLayout::rig = nullptr;

// The wrapped labels whose text needs more lines in the font at hand than their design height
// holds (they grow, and the layout follows them), by name; empty where the font fits the design.
QStringList GrownLabels(TWindowRig &rig)
{
    QStringList grown;
    for (QLabel *label : rig.window->findChildren<QLabel *>())
        if (label->wordWrap() && label->property("varnelDesignHeight").toInt() < label->height())
            grown << label->objectName();
    return grown;
}

TEST_P(WindowLayout, ControlStandsWhereTheLayoutPutsIt)
{
    const TPlace place = GetParam();
    QWidget *control = rig->Control(place.Name);
    ASSERT_NE(control, nullptr);
    const QStringList grown = GrownLabels(*rig);
    if (!grown.isEmpty() && control->parentWidget()->objectName().startsWith(QLatin1String("GroupBox")))
        GTEST_SKIP() << "inside a page, and the font at hand needs more lines than the design heights hold, so "
                        "these labels grew: "
                     << grown.join(QStringLiteral(", ")).toStdString();
    EXPECT_EQ(control->x(), place.X) << place.Name;
    EXPECT_EQ(control->y(), place.Y) << place.Name;
    if (place.W >= 0) {
        EXPECT_EQ(control->width(), place.W) << place.Name;
    }
    if (place.H >= 0) {
        EXPECT_EQ(control->height(), place.H) << place.Name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    DesignSizes, WindowLayout,
    ::testing::Values(
        // window rows
        TPlace{"Image_Header", 14, 10, 483, 76}, TPlace{"Image_TVHeader", 14, 10, 483, 76},
        TPlace{"Image_TV_Group", 10, 91, 181, 275}, TPlace{"ImageGroup", 10, 91, 181, 275},
        TPlace{"Image_TV_770", 10, 91, 181, 275}, TPlace{"ImageDWN12", 10, 91, 181, 275},
        TPlace{"GroupBoxIntro", 201, 91, 300, 275}, TPlace{"GroupBoxProductList", 201, 91, 300, 275},
        TPlace{"GroupBoxComPort", 201, 91, 300, 275}, TPlace{"GroupBoxSummary", 201, 91, 300, 275},
        TPlace{"GroupBoxSREC", 201, 91, 300, 275}, TPlace{"Progress_P", 0, 371, 511, 6},
        TPlace{"ButtonHelp", 10, 382, 75, 25}, TPlace{"ButtonBack", 218, 382, 75, 25},
        TPlace{"ButtonNext", 298, 382, 75, 25}, TPlace{"ButtonExit", 426, 382, 75, 25},
        TPlace{"StatusBar1", 0, 412, 511, 19}, TPlace{"Test_P", 0, 0, 511, 431},
        // inside the pages
        TPlace{"Intro_RE", 10, 10, 280, -1}, TPlace{"next_1_L", 10, 250, 240, 20},
        TPlace{"product_select_L", 10, 10, 268, 55}, TPlace{"Product_Group_GB", 10, 70, 280, 163},
        TPlace{"next_2_L", 10, 250, 268, 15}, TPlace{"comm_L", 10, 10, 268, 20},
        TPlace{"comm_RG", 10, 35, 280, 100}, TPlace{"RichEditNoComPort", 20, 40, 260, 80},
        TPlace{"update_L", 10, 140, 268, 20}, TPlace{"filename_P", 10, 165, 280, 17},
        TPlace{"LabelFileWarning", 10, 187, 186, 45}, TPlace{"ButtonBrowse", 215, 187, 75, 25},
        TPlace{"next_4_L", 10, 250, 268, 20}, TPlace{"summary_L", 10, 10, 240, 20},
        TPlace{"RichEditSummary", 10, 40, 280, 173}, TPlace{"next_3_L", 10, 250, 240, 20},
        TPlace{"LabelSREClines_P", 99, 127, 102, 20}, TPlace{"next_5_L", 10, 242, 268, 28},
        // page 0
        TPlace{"Label1", 210, 197, -1, -1}, TPlace{"qb_P", 74, 110, 350, 60}, TPlace{"tv_P", 74, 238, 350, 60}),
    [](const ::testing::TestParamInfo<TPlace> &info) { return std::string(info.param.Name); });

// Whatever the font, no wrapped label loses a line, and each stays inside its page.
TEST(WindowLayoutText, EveryWrappedLabelShowsAllItsLinesInsideItsPage)
{
    TWindowRig rig;
    for (QLabel *label : rig.window->findChildren<QLabel *>()) {
        if (!label->wordWrap() || label->text().isEmpty())
            continue;
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->objectName().toStdString();
        EXPECT_GE(label->height(), label->property("varnelDesignHeight").toInt()) << label->objectName().toStdString();
        const QRect page = label->parentWidget()->rect();
        EXPECT_TRUE(page.contains(label->geometry())) << label->objectName().toStdString();
    }
}

TEST(WindowLayoutCentring, SearchLabelAndLineCountAreCentredFromTheirSizes)
{
    TWindowRig rig;
    QWidget *find = rig.Control("find_coms_L");
    QWidget *ports = rig.Control("comm_RG");
    EXPECT_EQ(find->x(), (300 - find->width()) / 2);
    EXPECT_EQ(find->y(), ports->y() + (100 - find->height()) / 2);
    QWidget *lines = rig.Control("num_lines_L");
    EXPECT_EQ(lines->x(), (300 - lines->width()) / 2);
    EXPECT_EQ(lines->y(), 127 - lines->height() - 5);
    // The labels inside the sunken panels fill them inside the bevel.
    EXPECT_EQ(rig.Control("LabelFileName")->geometry(), rig.Control<QFrame>("filename_P")->contentsRect());
    EXPECT_EQ(rig.Control("ProgressBar1")->geometry(), rig.Control<QFrame>("Progress_P")->contentsRect());
}

TEST(MainWindow, IsAFixedWindowAtTheTopLeftWithoutMaximise)
{
    TWindowRig rig;
    TMainF &window = *rig.window;
    EXPECT_EQ(window.size(), QSize(511, 431));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.pos(), QPoint(0, 0));
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Varnel version 1.70"));
}

TEST(MainWindow, WritesInTahomaEightPointOrAFontNoWiderThanIt)
{
    TWindowRig rig;
    const QFont font = rig.window->font();
    EXPECT_EQ(font.family(), QStringLiteral("Tahoma"));
    if (QFontInfo(font).family() == QLatin1String("Tahoma")) {
        EXPECT_EQ(font.pointSize(), 8);
    } else {
        // A stand-in must not be wider than Tahoma, or the labels sized for it lose lines.
        const QString reference =
            QStringLiteral("The quick brown fox jumps over the lazy dog; THE QUICK BROWN FOX 0123456789.");
        EXPECT_LE(QFontMetrics(font).horizontalAdvance(reference), 413);
    }
}

// Every control of the window carries its name, kind and design text (checked by its opening
// words, so that the texts themselves stay written once, in the form).
struct TDesign {
    const char *Name;
    const char *Kind;
    const char *Text;
};

TEST(MainWindow, HoldsEveryControlWithItsDesignText)
{
    TWindowRig rig;
    const TDesign controls[] = {
        {"next_1_L", "QLabel", "Press Next to select a specific"},
        {"next_2_L", "QLabel", "Press Next to select the COM"},
        {"comm_L", "QLabel", "Please select one of the"},
        {"find_coms_L", "QLabel", "Finding Com"},
        {"update_L", "QLabel", "Choose an update file for"},
        {"LabelFileName", "TPathLabel", "no file sel"},
        {"ButtonBrowse", "QPushButton", "Browse"},
        {"LabelFileWarning", "QLabel", "Warning:"},
        {"next_4_L", "QLabel", "Press Next to view a"},
        {"summary_L", "QLabel", "The following is a"},
        {"next_3_L", "QLabel", "Press Begin to"},
        {"num_lines_L", "QLabel", "Number of S-Record"},
        {"LabelSREClines", "QLabel", "0"},
        {"next_5_L", "QLabel", "Please wait until the update"},
        {"ButtonHelp", "QPushButton", "Help"},
        {"ButtonBack", "QPushButton", "< Back"},
        {"ButtonNext", "QPushButton", "Next >"},
        {"ButtonExit", "QPushButton", "Exit"},
        {"Label1", "QLabel", "Select Unit"},
    };
    for (const TDesign &design : controls) {
        QWidget *control = rig.Control(design.Name);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->inherits(design.Kind)) << design.Name;
        EXPECT_TRUE(control->property("text").toString().startsWith(QString::fromUtf8(design.Text))) << design.Name;
    }
    for (const char *name : {"Intro_RE", "RichEditSummary", "RichEditNoComPort"}) {
        auto *box = rig.Control<QTextEdit>(name);
        EXPECT_TRUE(box->isReadOnly()) << name;
        EXPECT_NE(box->focusPolicy() & Qt::TabFocus, Qt::TabFocus) << name;
    }
    const QStringList notice = rig.Control<QTextEdit>("RichEditNoComPort")->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(notice.size(), 2);
    EXPECT_TRUE(notice.at(0).startsWith(QStringLiteral("No COM ports")));
    EXPECT_TRUE(notice.at(1).startsWith(QStringLiteral("Varnel requires")));
    EXPECT_TRUE(rig.Control<QTextEdit>("RichEditNoComPort")->font().bold());
    EXPECT_EQ(rig.Control<QStatusBar>("StatusBar1")->currentMessage(), LinkTexts::Ready);
    for (const char *picture : {"Image_Header", "Image_TVHeader", "qb_I", "tv_I", "ImageGroup", "Image_TV_Group",
                                "ImageKTR", "ImageKLN40", "ImageDWN40", "Image770", "ImageKLN12B", "ImageDWN12",
                                "Image_TV_KTR", "Image_TV_KLN40", "Image_TV_DWN40", "Image_TV_770"})
        EXPECT_FALSE(rig.Control<TPicture>(picture)->pixmap().isNull()) << picture;
    EXPECT_EQ(rig.Control<TPicture>("Image_Header")->pixmap().size(), QSize(483, 76));
    EXPECT_EQ(rig.Control<TPicture>("Image_TVHeader")->pixmap().size(), QSize(483, 76));
    EXPECT_EQ(rig.Control<TPicture>("Image_TV_770")->pixmap().size(), QSize(181, 270));
    QObject *dialog = rig.window->findChild<QObject *>(QStringLiteral("OpenDialog1"));
    EXPECT_NE(dialog, nullptr);
}

// The colour of the gauge's right end when it is full.
QColor FullGaugeColour(TWindowRig &rig)
{
    auto *bar = rig.Control<QProgressBar>("ProgressBar1");
    rig.window->SetGaugeMaximum(10);
    rig.window->SetGaugePosition(10);
    const QImage image = bar->grab().toImage();
    return image.pixelColor(image.width() - 2, image.height() / 2);
}

TEST(Gauge, TakesTheBrandColour)
{
    TWindowRig second;
    EXPECT_EQ(FullGaugeColour(second), QColor(0, 128, 0));
    TWindowRig first(true);
    emit first.Control<TPicture>("qb_I")->Clicked();
    EXPECT_EQ(FullGaugeColour(first), QColor(0, 0, 255));
}

TEST(Gauge, ShowsAPositionPastTheEndAsFullAndKeepsItAcrossANewMaximum)
{
    TWindowRig rig;
    auto *bar = rig.Control<QProgressBar>("ProgressBar1");
    rig.window->SetGaugeMaximum(10);
    rig.window->SetGaugePosition(4);
    EXPECT_EQ(bar->value(), 4);
    rig.window->SetGaugePosition(25);
    EXPECT_EQ(bar->value(), bar->maximum());
    rig.window->SetGaugePosition(-3);
    EXPECT_EQ(bar->value(), 0);
    rig.window->SetGaugePosition(7);
    rig.window->SetGaugeMaximum(20);
    EXPECT_EQ(bar->value(), 7);
    // An empty range must not turn the gauge into a busy animation.
    rig.window->SetGaugeMaximum(0);
    EXPECT_GT(bar->maximum(), bar->minimum());
}

TEST(FileNameLabel, KeepsTheFullPathAndShortensItOnlyOnScreen)
{
    TWindowRig rig;
    auto *label = rig.Control<TPathLabel>("LabelFileName");
    const QString path = QStringLiteral("/home/technician/firmware/updates/2024/relays/TVR-3770/field-release/T3770_0417.s19");
    label->setText(path);
    EXPECT_EQ(label->text(), path);
    const QString shown = label->DisplayedText();
    EXPECT_LT(shown.size(), path.size());
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/home")));
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".s19")));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
    label->setText(QStringLiteral("/tmp/T3770.s19"));
    EXPECT_EQ(label->DisplayedText(), QStringLiteral("/tmp/T3770.s19"));
}

TEST(RadioGroup, FillsColumnsTopToBottomAndReportsEveryChangeOfSelection)
{
    TRadioGroup group;
    group.resize(280, 100);
    int clicks = 0;
    QObject::connect(&group, &TRadioGroup::Click, [&] { ++clicks; });
    group.SetColumns(2);
    group.SetItems({"a", "b", "c", "d", "e"});
    EXPECT_EQ(group.ItemIndex(), -1);
    // Three rows in the first column, two in the second.
    EXPECT_EQ(group.Button(0)->x(), group.Button(2)->x());
    EXPECT_EQ(group.Button(3)->x(), group.Button(4)->x());
    EXPECT_GT(group.Button(3)->x(), group.Button(0)->x() + 100);
    EXPECT_EQ(group.Button(0)->y(), group.Button(3)->y());
    EXPECT_LT(group.Button(1)->y(), group.Button(2)->y());
    EXPECT_LT(group.Button(2)->geometry().bottom(), group.height());
    EXPECT_GE(group.Button(0)->width(), (280 - 10) / 2);

    group.SetItemIndex(0);
    group.SetItemIndex(0);
    group.Button(3)->click();
    group.SetItemIndex(-1);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_FALSE(group.Button(3)->isChecked());
    group.SetItemIndex(4);
    EXPECT_EQ(group.SelectedText(), QStringLiteral("e"));
    EXPECT_EQ(clicks, 3);
}

} // namespace
