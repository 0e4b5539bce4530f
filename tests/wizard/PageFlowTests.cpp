// The wizard's pages: what each shows, Next and Back, the product choice, Begin and the guards
// of Exit and close.
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "seriallink/LinkTexts.h"
#include "app/Picture.h"
#include "tests/wizard/WindowRig.h"
#include "updatefile/UnitCatalogue.h"
#include "wizard/WizardTexts.h"

namespace {

// What a stand-in for the engine returns.
TUpdateOutcome Ended(TOutcomeKind kind)
{
    TUpdateOutcome outcome;
    outcome.Kind = kind;
    return outcome;
}
TUpdateOutcome Completed()
{
    return Ended(TOutcomeKind::Completed);
}
TUpdateOutcome Stopped()
{
    return Ended(TOutcomeKind::Stopped);
}

// Names of the controls visible in the picture column.
QStringList VisiblePictures(const TWindowRig &rig)
{
    QStringList shown;
    for (const char *name : {"ImageGroup", "Image_TV_Group", "ImageKTR", "ImageKLN40", "ImageDWN40", "Image770",
                             "ImageKLN12B", "ImageDWN12", "Image_TV_KTR", "Image_TV_KLN40", "Image_TV_DWN40",
                             "Image_TV_770"})
        if (rig.Control(name)->isVisible())
            shown << QString::fromLatin1(name);
    return shown;
}

QStringList VisiblePages(const TWindowRig &rig)
{
    QStringList shown;
    for (const char *name : {"GroupBoxIntro", "GroupBoxProductList", "GroupBoxComPort", "GroupBoxSummary", "GroupBoxSREC"})
        if (rig.Control(name)->isVisible())
            shown << QString::fromLatin1(name);
    return shown;
}

// The state of the button row: "back next/disabled caption exit".
QString Buttons(const TWindowRig &rig)
{
    auto state = [&](const char *name) {
        QAbstractButton *button = rig.Button(name);
        return (button->isEnabled() ? QString() : QStringLiteral("(off)")) + button->text();
    };
    return state("ButtonBack") + QStringLiteral(" | ") + state("ButtonNext") + QStringLiteral(" | ") + state("ButtonExit");
}

TEST(WizardStart, ShippedBuildOpensOnTheWelcomePageWithTheSecondBrand)
{
    TWindowRig rig(false, {"COM1"});
    EXPECT_EQ(rig.State().CurrentPage, 1);
    EXPECT_EQ(rig.window->SelectedBrand, 0);
    EXPECT_EQ(rig.State().SelectedUnit, 1);
    EXPECT_FALSE(rig.Control("Test_P")->isVisible());
    EXPECT_EQ(VisiblePages(rig), QStringList{"GroupBoxIntro"});
    EXPECT_EQ(VisiblePictures(rig), QStringList{"Image_TV_Group"});
    EXPECT_TRUE(rig.Control("Image_TVHeader")->isVisible());
    EXPECT_FALSE(rig.Control("Image_Header")->isVisible());
    EXPECT_EQ(Buttons(rig), QStringLiteral("(off)< Back | Next > | Exit"));
    EXPECT_EQ(rig.window->StatusText(), LinkTexts::Ready);
    EXPECT_EQ(rig.Products()->Items(),
              (QStringList{"TVR-3770 Resistance Grounded Relay", "TVR-4200 Motor Protection Relay",
                           "TVR-4100 Motor Protection System", "TVR-5800 Feeder Protection Relay"}));
    EXPECT_EQ(rig.Products()->ItemIndex(), 0);
    // The maker's web address takes the place of the mark.
    QString productSelect = QString::fromUtf8(WizardTexts::ProductSelect);
    productSelect.replace(QStringLiteral("%s"), QStringLiteral("www.trivane.example"));
    EXPECT_EQ(rig.Control<QLabel>("product_select_L")->text(), productSelect);
}

TEST(WizardStart, BrandChoiceBuildOpensOnTheBrandPageAndTheFirstBrandOffersSixUnits)
{
    TWindowRig rig(true, {"COM1"});
    EXPECT_EQ(rig.State().CurrentPage, 0);
    QWidget *brandPage = rig.Control("Test_P");
    EXPECT_TRUE(brandPage->isVisible());
    EXPECT_EQ(brandPage->geometry(), rig.window->rect());
    // Drawn over everything: the topmost child widget.
    QWidget *topmost = nullptr;
    for (QObject *child : rig.window->children())
        if (child->isWidgetType())
            topmost = static_cast<QWidget *>(child);
    EXPECT_EQ(topmost, brandPage);

    emit rig.Control<TPicture>("qb_I")->Clicked();
    EXPECT_EQ(rig.window->SelectedBrand, 1);
    EXPECT_EQ(rig.State().CurrentPage, 1);
    EXPECT_FALSE(brandPage->isVisible());
    EXPECT_TRUE(rig.Control("Image_Header")->isVisible());
    EXPECT_FALSE(rig.Control("Image_TVHeader")->isVisible());
    EXPECT_EQ(VisiblePictures(rig), QStringList{"ImageGroup"});
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | Next > | Exit"));
    EXPECT_EQ(rig.Products()->Items(),
              (QStringList{"KLN-40 Motor Protection Unit", "KTR Motor Protection System", "DWN-40 Feeder Protection Unit",
                           "RG-770/LT/WB Neutral-Grounding Resistor Monitor", "KLN-12B Communications Module Only",
                           "DWN-12 Communications Module Only"}));

    // Back to the brand page, and the other brand: its list, with its first product selected.
    rig.Next();
    rig.ChooseProduct("DWN-12 Communications Module Only");
    rig.Back();
    rig.Back();
    EXPECT_EQ(rig.State().CurrentPage, 0);
    EXPECT_TRUE(brandPage->isVisible());
    emit rig.Control<TPicture>("tv_I")->Clicked();
    EXPECT_EQ(rig.window->SelectedBrand, 0);
    EXPECT_EQ(rig.Products()->ItemIndex(), 0);
    EXPECT_EQ(rig.Products()->Items().size(), 4);
    EXPECT_EQ(VisiblePictures(rig), QStringList{"Image_TV_Group"});
    EXPECT_EQ(rig.State().SelectedUnit, 1); // changes only with Next on the product page
}

TEST(WizardPages, EachPageShowsItsPanelPictureAndButtons)
{
    TWindowRig rig(false, {"COM1", "COM2"});
    const QString file = rig.MakeFile("T42_0417.s19");
    int checks = 0;
    rig.window->Hooks().CheckFormat = [&](TLink &, TRecordVariant) { return ++checks, 12; };

    rig.Next();
    EXPECT_EQ(rig.State().CurrentPage, 2);
    EXPECT_EQ(VisiblePages(rig), QStringList{"GroupBoxProductList"});
    EXPECT_EQ(VisiblePictures(rig), QStringList{"Image_TV_Group"});
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | Next > | Exit"));

    rig.ChooseProduct("TVR-4200 Motor Protection Relay");
    rig.Next();
    EXPECT_EQ(rig.State().CurrentPage, 3);
    EXPECT_EQ(VisiblePages(rig), QStringList{"GroupBoxComPort"});
    EXPECT_EQ(VisiblePictures(rig), QStringList{"Image_TV_KLN40"});
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | (off)Next > | Exit"));

    rig.Browse(file);
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | Next > | Exit"));
    rig.window->SetGaugePosition(50);
    rig.Next();
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(rig.State().CurrentPage, 4);
    EXPECT_EQ(VisiblePages(rig), QStringList{"GroupBoxSummary"});
    EXPECT_EQ(VisiblePictures(rig), QStringList{"Image_TV_KLN40"});
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | Begin | Exit"));
    EXPECT_EQ(rig.Control<QProgressBar>("ProgressBar1")->value(), 0);

    rig.window->Hooks().RunUpdate = [&](TLink &link, const TUnitType &) {
        link.Surface.SetLinesSent(QStringLiteral("11"));
        link.Surface.SetStatusText(QStringLiteral("the flow's last status"));
        return Completed();
    };
    rig.Next();
    EXPECT_EQ(rig.State().CurrentPage, 5);
    EXPECT_EQ(VisiblePages(rig), QStringList{"GroupBoxSREC"});
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | (off)Begin | Exit"));
    // The flow's last words stay on view.
    EXPECT_EQ(rig.Control<QLabel>("LabelSREClines")->text(), QStringLiteral("11"));
    EXPECT_EQ(rig.window->StatusText(), QStringLiteral("the flow's last status"));

    // Back walks the pages down again; the summary is not rebuilt and page 3 scans again.
    const QString summary = rig.Control<QTextEdit>("RichEditSummary")->toPlainText();
    rig.Back();
    EXPECT_EQ(rig.State().CurrentPage, 4);
    EXPECT_EQ(rig.Control<QTextEdit>("RichEditSummary")->toPlainText(), summary);
    EXPECT_EQ(rig.window->StatusText(), LinkTexts::Ready);
    const int opensBefore = rig.port.OpenCount;
    rig.Back();
    EXPECT_EQ(rig.State().CurrentPage, 3);
    EXPECT_EQ(rig.port.OpenCount, opensBefore + 2);
    rig.Back();
    EXPECT_EQ(rig.State().CurrentPage, 2);
    rig.Back();
    EXPECT_EQ(rig.State().CurrentPage, 1);
    EXPECT_EQ(Buttons(rig), QStringLiteral("(off)< Back | Next > | Exit"));
    EXPECT_EQ(checks, 1);
}

// Next on the product page turns the chosen name into the unit type code.
class ProductChoice : public ::testing::TestWithParam<int> {};

TEST_P(ProductChoice, NextOnTheProductPageSetsTheUnitTypeAndItsPicture)
{
    const TUnitType *unit = FindUnitType(GetParam());
    ASSERT_NE(unit, nullptr);
    const bool firstBrand = unit->Brand == FirstBrand;
    TWindowRig rig(firstBrand, {"COM1"});
    if (firstBrand)
        emit rig.Control<TPicture>("qb_I")->Clicked();
    rig.GoToPortPage(unit->FullName);
    EXPECT_EQ(rig.State().SelectedUnit, unit->Code);
    EXPECT_EQ(VisiblePictures(rig), QStringList{unit->Picture});
}

INSTANTIATE_TEST_SUITE_P(AllUnitTypes, ProductChoice, ::testing::Values(1, 2, 6, 3, 4, 5, 11, 12, 16, 13));

TEST(ProductChoiceKeepsTheCode, WhenNoProductIsSelected)
{
    TWindowRig rig(false, {"COM1"});
    rig.Next();
    rig.ChooseProduct("TVR-5800 Feeder Protection Relay");
    rig.Next();
    rig.Back();
    rig.Products()->SetItemIndex(-1);
    rig.Next();
    EXPECT_EQ(rig.State().SelectedUnit, 16);
}

// Which flow Begin runs for a unit type.
class FlowChoice : public ::testing::TestWithParam<int> {};

TEST_P(FlowChoice, BeginRunsTheUpdateOnceWithTheSelectedUnitsRow)
{
    TWindowRig rig;
    QList<const TUnitType *> ran;
    rig.window->Hooks().RunUpdate = [&](TLink &, const TUnitType &unit) { return ran << &unit, Completed(); };
    rig.State().SelectedUnit = GetParam();
    rig.window->ShowPage(4);
    rig.State().CurrentPage = 4;
    EXPECT_TRUE(rig.window->MovePage(TDirection::Next));
    EXPECT_EQ(ran, QList<const TUnitType *>{FindUnitType(GetParam())});
}

INSTANTIATE_TEST_SUITE_P(AllUnitTypes, FlowChoice, ::testing::Values(1, 2, 6, 11, 12, 16, 3, 13, 4, 5));

// Walks to the summary page with a valid file and a free port.
void WalkToSummary(TWindowRig &rig, const QString &product = QStringLiteral("TVR-4200 Motor Protection Relay"))
{
    rig.window->Hooks().CheckFormat = [](TLink &, TRecordVariant) { return 7; };
    rig.GoToPortPage(product);
    rig.Browse(rig.MakeFile("T42_0417.s19"));
    rig.Next();
    ASSERT_EQ(rig.State().CurrentPage, 4);
}

TEST(UpdateGuards, StopAndCloseDuringTheFlowOnlyAskItToStop)
{
    TWindowRig rig(false, {"COM1"});
    WalkToSummary(rig);
    int runs = 0;
    rig.window->Hooks().RunUpdate = [&](TLink &link, const TUnitType &) {
        ++runs;
        EXPECT_TRUE(rig.State().UpdateActive);
        EXPECT_EQ(Buttons(rig), QStringLiteral("(off)< Back | (off)Begin | Stop"));
        rig.Button("ButtonExit")->click();
        EXPECT_TRUE(link.State.StopRequested);
        link.State.StopRequested = false;
        EXPECT_FALSE(rig.window->close());
        EXPECT_TRUE(link.State.StopRequested);
        EXPECT_TRUE(rig.window->isVisible());
        return Stopped();
    };
    rig.Next();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(rig.window->Terminations, 0);
    // After the flow: Exit again, Back on, Begin off, the stop request cleared.
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | (off)Begin | Exit"));
    EXPECT_FALSE(rig.State().UpdateActive);
    EXPECT_FALSE(rig.State().StopRequested);
    EXPECT_EQ(rig.State().CurrentPage, 5);

    // Back and Begin again run the flow again, without the wizard's own check.
    rig.window->Hooks().CheckFormat = [](TLink &, TRecordVariant) -> int {
        ADD_FAILURE() << "checked again";
        return 0;
    };
    rig.window->Hooks().RunUpdate = [&](TLink &, const TUnitType &) { return ++runs, Completed(); };
    rig.Back();
    rig.Next();
    EXPECT_EQ(runs, 2);

    EXPECT_TRUE(rig.window->close());
    EXPECT_EQ(rig.window->Terminations, 1);
}

TEST(UpdateGuards, ExitAndCloseDuringTheFormatCheckAreIgnored)
{
    TWindowRig rig(false, {"COM1"});
    rig.GoToPortPage("TVR-3770 Resistance Grounded Relay");
    rig.Browse(rig.MakeFile("T3770_0417.s19"));
    bool checked = false;
    rig.window->Hooks().CheckFormat = [&](TLink &link, TRecordVariant) {
        checked = true;
        EXPECT_TRUE(link.State.UpdateRunning);
        EXPECT_EQ(Buttons(rig), QStringLiteral("(off)< Back | (off)Next > | Exit"));
        rig.Button("ButtonExit")->click();
        EXPECT_FALSE(rig.window->close());
        EXPECT_FALSE(link.State.StopRequested);
        // Browse stays usable but must not open the way to Next while the check runs.
        rig.Browse(rig.MakeFile("T3770_0418.s19"));
        EXPECT_FALSE(rig.Button("ButtonNext")->isEnabled());
        return 0;
    };
    rig.Next();
    EXPECT_TRUE(checked);
    EXPECT_EQ(rig.window->Terminations, 0);
    EXPECT_TRUE(rig.window->Boxes.isEmpty());
    EXPECT_EQ(rig.State().CurrentPage, 3);
    EXPECT_FALSE(rig.State().UpdateRunning);
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | Next > | Exit"));
    rig.Button("ButtonExit")->click();
    EXPECT_EQ(rig.window->Terminations, 1);
}

TEST(UpdateGuards, ACheckOrFlowThatFailsOutrightStillGivesTheWindowBack)
{
    TWindowRig rig(false, {"COM1"});
    rig.GoToPortPage("TVR-4200 Motor Protection Relay");
    rig.Browse(rig.MakeFile("T42_0417.s19"));
    rig.window->Hooks().CheckFormat = [](TLink &, TRecordVariant) -> int { throw std::runtime_error("disk gone"); };
    rig.Next();
    EXPECT_EQ(rig.State().CurrentPage, 3);
    EXPECT_FALSE(rig.State().UpdateRunning);
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | Next > | Exit"));

    rig.window->Hooks().CheckFormat = [](TLink &, TRecordVariant) { return 3; };
    rig.Next();
    ASSERT_EQ(rig.State().CurrentPage, 4);
    rig.window->Hooks().RunUpdate = [](TLink &link, const TUnitType &) -> TUpdateOutcome {
        link.State.StopRequested = true;
        throw std::runtime_error("port vanished");
    };
    rig.Next();
    EXPECT_FALSE(rig.State().UpdateActive);
    EXPECT_FALSE(rig.State().StopRequested);
    EXPECT_EQ(Buttons(rig), QStringLiteral("< Back | (off)Begin | Exit"));
    EXPECT_TRUE(rig.window->close());
}

TEST(UpdateGuards, HelpWorksWhileAFlowRuns)
{
    TWindowRig rig(false, {"COM1"});
    WalkToSummary(rig);
    QStringList opened;
    rig.window->HelpProgramFolder = [] { return QStringLiteral("/opt/varnel/"); };
    rig.window->HelpOpener = [&](const QString &path) { return opened << path, 42; };
    rig.window->Hooks().RunUpdate = [&](TLink &link, const TUnitType &) {
        rig.Button("ButtonHelp")->click();
        EXPECT_FALSE(link.State.StopRequested);
        return Completed();
    };
    rig.Next();
    EXPECT_EQ(opened, QStringList{QStringLiteral("/opt/varnel/help") + QDir::separator() + QStringLiteral("index.html")});
}

} // namespace
