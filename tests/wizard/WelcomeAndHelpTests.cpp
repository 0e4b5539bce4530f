// The welcome text, the help launcher and the focus handlers of the read-only text boxes.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTest>
#include <QTextBlock>

#include "app/Picture.h"
#include "tests/wizard/WindowRig.h"
#include "wizard/HelpLauncher.h"
#include "wizard/HelpShell.h"
#include "wizard/WelcomeText.h"
#include "wizard/WizardTexts.h"

namespace {

// The welcome text's lines, the indented ones marked with a leading ">".
QStringList WelcomeLines(QTextEdit *box)
{
    QStringList lines;
    for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
        const qreal indent = block.blockFormat().textIndent();
        EXPECT_TRUE(indent == 0 || qFuzzyCompare(indent, 20.0)) << indent; // 15 pt
        lines << (indent > 0 ? QStringLiteral(">") : QString()) + block.text();
    }
    return lines;
}

TEST(WelcomeText, NamesTheProgramTheFamilyAndTheBrandsUnitsIndented)
{
    TWindowRig rig;
    EXPECT_EQ(WelcomeLines(rig.Control<QTextEdit>("Intro_RE")),
              (QStringList{"Welcome to Varnel - a firmware update application for the following TRIVANE products:", "",
                           ">TVR-3770 Resistance Grounded Relay", ">TVR-4200 Motor Protection Relay",
                           ">TVR-4100 Motor Protection System", ">TVR-5800 Feeder Protection Relay", "",
                           "Please review the help section for detailed instructions",
                           "before beginning any update."}));
}

TEST(WelcomeText, IsRebuiltForTheFirstBrandWithTheSameFamilyName)
{
    TWindowRig rig(true);
    emit rig.Control<TPicture>("qb_I")->Clicked();
    const QStringList lines = WelcomeLines(rig.Control<QTextEdit>("Intro_RE"));
    ASSERT_EQ(lines.size(), 11);
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("the following TRIVANE products:")));
    EXPECT_EQ(lines.mid(2, 6), (QStringList{">KLN-40 Motor Protection Unit", ">KTR Motor Protection System",
                                            ">DWN-40 Feeder Protection Unit",
                                            ">RG-770/LT/WB Neutral-Grounding Resistor Monitor",
                                            ">KLN-12B Communications Module Only", ">DWN-12 Communications Module Only"}));
    EXPECT_EQ(lines.at(8), QString());
    EXPECT_EQ(lines.at(9), QStringLiteral("Please review the help section for detailed instructions"));
}

// Help results and the text each one explains.
struct THelpCase {
    int Result;
    const char *Text;   // the expected message
    const char *Marker; // a phrase that text must hold
};

class HelpResult : public ::testing::TestWithParam<THelpCase> {};

TEST_P(HelpResult, AFailedOpenIsExplainedInABoxWithoutIcon)
{
    TWindowRig rig;
    const THelpCase help = GetParam();
    rig.window->HelpProgramFolder = [] { return QStringLiteral("/opt/varnel/"); };
    rig.window->HelpOpener = [&](const QString &) { return help.Result; };
    rig.Button("ButtonHelp")->click();
    ASSERT_EQ(rig.window->Boxes.size(), 1);
    const TShownBox box = rig.window->Boxes.first();
    QString expected = QString::fromUtf8(help.Text);
    expected.replace(QStringLiteral("%s"), QStringLiteral("Varnel"));
    EXPECT_EQ(box.Text, expected);
    EXPECT_TRUE(box.Text.contains(QString::fromUtf8(help.Marker)));
    EXPECT_FALSE(box.Text.contains(QStringLiteral("%s")));
    EXPECT_EQ(box.Title, QString::fromUtf8(WizardTexts::HelpErrorTitle));
    EXPECT_EQ(box.Icon, QMessageBox::NoIcon);
    EXPECT_EQ(box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(box.Owned);
    EXPECT_EQ(box.Modality, Qt::ApplicationModal);
}

INSTANTIATE_TEST_SUITE_P(
    ShellResults, HelpResult,
    ::testing::Values(THelpCase{0, WizardTexts::HelpNoMemory, "not enough memory"},
                      THelpCase{8, WizardTexts::HelpNoMemory, "not enough memory"},
                      THelpCase{2, WizardTexts::HelpNotFound, "Varnel was not found"},
                      THelpCase{3, WizardTexts::HelpNotFound, "reinstalled"},
                      THelpCase{5, WizardTexts::HelpPermissions, "wrong permissions"},
                      THelpCase{26, WizardTexts::HelpPermissions, "wrong permissions"},
                      THelpCase{11, WizardTexts::HelpNoBrowser, "in the Varnel installation"},
                      THelpCase{27, WizardTexts::HelpNoBrowser, "web browser must be present"},
                      THelpCase{31, WizardTexts::HelpNoBrowser, "web browser must be present"},
                      THelpCase{1, WizardTexts::HelpSystemError, "system may be busy"},
                      THelpCase{4, WizardTexts::HelpSystemError, "system may be busy"},
                      THelpCase{32, WizardTexts::HelpSystemError, "system may be busy"}));

TEST(Help, OpensTheStartPageBesideTheProgramWithoutABox)
{
    TWindowRig rig;
    QStringList opened;
    rig.window->HelpProgramFolder = [] { return QStringLiteral("/opt/varnel/"); };
    rig.window->HelpOpener = [&](const QString &path) { return opened << path, 33; };
    rig.Button("ButtonHelp")->click();
    EXPECT_EQ(opened, QStringList{QStringLiteral("/opt/varnel/help") + QDir::separator() + QStringLiteral("index.html")});
    EXPECT_TRUE(rig.window->Boxes.isEmpty());
}

TEST(Help, TheProgramFolderEndsInTheSeparatorAndThePathUsesThePlatformsSeparator)
{
    const QString folder = ProgramFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.endsWith(QDir::separator()));
    const QString path = HelpStartPagePath(folder);
    EXPECT_EQ(path, folder + QStringLiteral("help") + QDir::separator() + QStringLiteral("index.html"));
    EXPECT_FALSE(path.contains(QDir::separator() == QLatin1Char('/') ? QLatin1Char('\\') : QLatin1Char('/')));
}

TEST(Help, AMissingHelpFolderSaysTheFileWasNotFound)
{
    QTemporaryDir install;
    TWindowRig rig;
    rig.window->HelpProgramFolder = [&] { return install.path() + QDir::separator(); };
    rig.Button("ButtonHelp")->click();
    ASSERT_EQ(rig.window->Boxes.size(), 1);
    const QString text = rig.window->Boxes.first().Text;
    EXPECT_TRUE(text.contains(QStringLiteral("was not found")));
    EXPECT_EQ(text.count(QStringLiteral("Varnel")), 2);
}

// An installation folder far longer than 256 characters, holding the help pages.
QString DeepInstallFolder(const QTemporaryDir &root)
{
    QString folder = root.path();
    while (folder.size() < 300)
        folder += QStringLiteral("/a-rather-long-installation-folder-name");
    EXPECT_TRUE(QDir().mkpath(folder + QStringLiteral("/help")));
    QFile page(folder + QStringLiteral("/help/index.html"));
    EXPECT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html></html>");
    return folder + QDir::separator();
}

TEST(Help, ALongInstallationPathIsNotCutShort)
{
    QTemporaryDir root;
    const QString folder = DeepInstallFolder(root);
    TWindowRig rig;
    QStringList opened;
    rig.window->HelpProgramFolder = [&] { return folder; };
    rig.window->HelpOpener = [&](const QString &path) { return opened << path, 42; };
    rig.Button("ButtonHelp")->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_GT(opened.first().size(), 300);
    // The whole path of the page that is there, not a cut one.
    EXPECT_EQ(opened.first(), folder + QStringLiteral("help") + QDir::separator() + QStringLiteral("index.html"));
    EXPECT_TRUE(rig.window->Boxes.isEmpty());
}

struct TFocusCase {
    const char *Box;
    const char *Button;
    int Page;
};

class FocusHandOver : public ::testing::TestWithParam<TFocusCase> {};

TEST_P(FocusHandOver, AClickInAReadOnlyBoxPutsTheFocusOnItsButton)
{
    TWindowRig rig(false, {});
    rig.window->ShowPage(GetParam().Page);
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    auto *box = rig.Control<QTextEdit>(GetParam().Box);
    ASSERT_TRUE(box->isVisible());
    QAbstractButton *button = rig.Button(GetParam().Button);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_TRUE(button->hasFocus());
    rig.Button("ButtonHelp")->setFocus();
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_TRUE(button->hasFocus());
    EXPECT_FALSE(box->hasFocus());
}

INSTANTIATE_TEST_SUITE_P(Boxes, FocusHandOver,
                         ::testing::Values(TFocusCase{"Intro_RE", "ButtonNext", 1},
                                           TFocusCase{"RichEditSummary", "ButtonBack", 4},
                                           TFocusCase{"RichEditNoComPort", "ButtonBack", 3}));

} // namespace
