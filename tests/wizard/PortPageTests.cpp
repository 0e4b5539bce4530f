// The port-and-file page: the port scan, the file choice, and leaving the page.
#include <QLabel>

#include "app/PathLabel.h"
#include "tests/wizard/WindowRig.h"
#include "updatefile/UnitCatalogue.h"
#include "wizard/WizardTexts.h"

namespace {

QStringList PortNames(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << QStringLiteral("COM%1").arg(i);
    return names;
}

struct TScanCase {
    int Ports;
    int Columns;
    int Items;
};

class PortScan : public ::testing::TestWithParam<TScanCase> {};

TEST_P(PortScan, ListsThePortsInColumnsAndCutsAtFifteen)
{
    const TScanCase scan = GetParam();
    TWindowRig rig(false, PortNames(scan.Ports));
    rig.GoToPortPage("TVR-3770 Resistance Grounded Relay");
    TRadioGroup *list = rig.PortList();
    EXPECT_EQ(int(list->Items().size()), scan.Items);
    EXPECT_FALSE(rig.Control("find_coms_L")->isVisible());
    EXPECT_EQ(rig.State().PortsFound, scan.Ports > 0);
    EXPECT_EQ(rig.Control("RichEditNoComPort")->isVisible(), scan.Ports == 0);
    EXPECT_EQ(list->isVisible(), scan.Ports > 0);
    // Every listed port was opened and closed once to see whether it is free.
    EXPECT_EQ(rig.port.OpenCount, scan.Ports);
    EXPECT_EQ(rig.port.CloseCount, scan.Ports);
    if (scan.Ports == 0) {
        EXPECT_EQ(rig.window->ComPort().Port(), QStringLiteral("COM1")); // left as it was
        return;
    }
    EXPECT_EQ(list->Columns(), scan.Columns);
    // The list keeps the sorted order of the system's names (COM10 before COM2).
    QStringList sorted = PortNames(scan.Ports);
    SortPortNames(sorted);
    EXPECT_EQ(list->Items(), sorted.mid(0, scan.Items));
    EXPECT_EQ(list->ItemIndex(), 0);
    EXPECT_EQ(rig.window->ComPort().Port(), sorted.first());
}

INSTANTIATE_TEST_SUITE_P(Counts, PortScan,
                         ::testing::Values(TScanCase{0, 1, 0}, TScanCase{5, 1, 5}, TScanCase{6, 2, 6},
                                           TScanCase{10, 2, 10}, TScanCase{11, 3, 11}, TScanCase{20, 3, 15}),
                         [](const ::testing::TestParamInfo<TScanCase> &info) {
                             return std::to_string(info.param.Ports) + "ports";
                         });

// A port whose listing is watched: what the page showed while the system's ports were listed.
class TWatchedPort : public TInProcessPort {
public:
    using TInProcessPort::TInProcessPort;
    std::function<void()> OnList;
    void ListSerialPorts(QStringList &list) override
    {
        if (OnList)
            OnList();
        TInProcessPort::ListSerialPorts(list);
    }
};

TEST(PortScanScreen, ShowsFindingComportsWhileTheScanRuns)
{
    TVirtualClock clock;
    TWatchedPort port(clock);
    port.PortNames = {"COM1"};
    TTestMainF window(false, &port, &clock);
    window.show();
    bool searching = false;
    bool listHidden = false;
    port.OnList = [&] {
        searching = window.findChild<QWidget *>("find_coms_L")->isVisible();
        listHidden = !window.findChild<QWidget *>("comm_RG")->isVisible();
    };
    window.MovePage(TDirection::Next);
    window.MovePage(TDirection::Next);
    EXPECT_TRUE(searching);
    EXPECT_TRUE(listHidden);
    EXPECT_FALSE(window.findChild<QWidget *>("find_coms_L")->isVisible());
}

TEST(PortScanScreen, APortThatCannotBeOpenedIsListedAsBusyAndCanStillBeChosen)
{
    TWindowRig rig(false, {"COM1", "COM2", "COM3"});
    rig.port.BusyPorts = {"COM2"};
    rig.GoToPortPage("TVR-3770 Resistance Grounded Relay");
    EXPECT_EQ(rig.PortList()->Items(), (QStringList{"COM1", "COM2 (busy)", "COM3"}));
    rig.PortList()->Button(1)->click();
    EXPECT_EQ(rig.window->ComPort().Port(), QStringLiteral("COM2 (busy)"));
}

TEST(PortScanScreen, APortWithoutPermissionReadsBusyAndItsHintSaysWhy)
{
    TWindowRig rig(false, {"COM1", "COM2", "COM3"});
    rig.port.BusyPorts = {"COM1"};
    rig.port.DeniedPorts = {"COM3"};
    rig.GoToPortPage("TVR-3770 Resistance Grounded Relay");
    EXPECT_EQ(rig.PortList()->Items(), (QStringList{"COM1 (busy)", "COM2", "COM3 (busy)"}));
    // Held elsewhere by a program that cannot be named: the hint says it may be held.
    EXPECT_EQ(rig.PortList()->Button(0)->toolTip(), QString::fromUtf8(WizardTexts::PortNotOpened));
    EXPECT_TRUE(rig.PortList()->Button(1)->toolTip().isEmpty());
    EXPECT_EQ(rig.PortList()->Button(2)->toolTip(), QString::fromUtf8(WizardTexts::NoPermissionHint));

    // Once the permission is granted the next scan drops the mark and the hint.
    rig.port.DeniedPorts.clear();
    rig.Back();
    rig.Next();
    EXPECT_EQ(rig.PortList()->Items().last(), QStringLiteral("COM3"));
    EXPECT_TRUE(rig.PortList()->Button(2)->toolTip().isEmpty());
}

TEST(PortScanScreen, RemembersTheChosenPortWhileItStaysFree)
{
    TWindowRig rig(false, {"COM1", "COM2", "COM3"});
    rig.GoToPortPage("TVR-3770 Resistance Grounded Relay");
    rig.PortList()->Button(2)->click();
    EXPECT_EQ(rig.window->ComPort().Port(), QStringLiteral("COM3"));
    rig.Back();
    rig.Next();
    EXPECT_EQ(rig.PortList()->ItemIndex(), 2);
    EXPECT_EQ(rig.window->ComPort().Port(), QStringLiteral("COM3"));

    // Taken by another program meanwhile: marked busy, and the first port is chosen instead.
    rig.port.BusyPorts = {"COM3"};
    rig.Back();
    rig.Next();
    EXPECT_EQ(rig.PortList()->Items().last(), QStringLiteral("COM3 (busy)"));
    EXPECT_EQ(rig.PortList()->ItemIndex(), 0);
    EXPECT_EQ(rig.window->ComPort().Port(), QStringLiteral("COM1"));
}

TEST(PortScanScreen, AListThatCannotBeReadShowsTheNoPortNotice)
{
    TWindowRig rig(false, {"COM1"});
    rig.port.ListFails = true;
    const QString file = rig.MakeFile("T3770_0417.s19");
    rig.Next();
    rig.Next();
    rig.Browse(file);
    EXPECT_EQ(rig.State().CurrentPage, 3);
    EXPECT_TRUE(rig.Control("RichEditNoComPort")->isVisible());
    EXPECT_FALSE(rig.Control("find_coms_L")->isVisible());
    EXPECT_FALSE(rig.PortList()->isVisible());
    EXPECT_FALSE(rig.State().PortsFound);
    EXPECT_FALSE(rig.Button("ButtonNext")->isEnabled());
    EXPECT_TRUE(rig.Button("ButtonBack")->isEnabled());
}

TEST(FileChoice, BrowseShowsThePathChecksTheNameAndOpensTheWayOn)
{
    TWindowRig rig(false, {"COM1"});
    rig.GoToPortPage("TVR-4200 Motor Protection Relay");
    auto *label = rig.Control<TPathLabel>("LabelFileName");
    auto *warning = rig.Control<QLabel>("LabelFileWarning");
    EXPECT_FALSE(rig.Button("ButtonNext")->isEnabled());

    const QString wrong = rig.MakeFile("T3770_0417.s19");
    rig.Browse(wrong);
    EXPECT_EQ(label->text(), wrong);
    EXPECT_EQ(rig.window->UpdateFileName(), wrong);
    EXPECT_TRUE(rig.State().FileChosen);
    EXPECT_TRUE(warning->isVisible());
    EXPECT_EQ(warning->text(), FindUnitType(12)->NameWarning);
    EXPECT_TRUE(rig.Button("ButtonNext")->isEnabled()); // the warning does not block

    const QString right = rig.MakeFile("T42_0417.s19");
    rig.Browse(right);
    EXPECT_FALSE(warning->isVisible());

    // Cancel changes nothing, the warning included.
    rig.Browse(wrong);
    rig.Browse(QString());
    EXPECT_EQ(label->text(), wrong);
    EXPECT_EQ(rig.window->UpdateFileName(), wrong);
    EXPECT_TRUE(warning->isVisible());
    EXPECT_TRUE(rig.Button("ButtonNext")->isEnabled());
}

TEST(FileChoice, AFileChosenEarlierKeepsNextOpenAndIsCheckedForTheNewUnit)
{
    TWindowRig rig(false, {"COM1"});
    rig.GoToPortPage("TVR-4200 Motor Protection Relay");
    rig.Browse(rig.MakeFile("T42_0417.s19"));
    auto *warning = rig.Control<QLabel>("LabelFileWarning");
    EXPECT_FALSE(warning->isVisible());
    int dialogs = 0;
    rig.window->Hooks().ChooseFile = [&] { return ++dialogs, QString(); };

    rig.Back();
    rig.ChooseProduct("TVR-5800 Feeder Protection Relay");
    rig.Next();
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(rig.State().FileChosen);
    EXPECT_TRUE(rig.Button("ButtonNext")->isEnabled());
    EXPECT_TRUE(warning->isVisible());
    EXPECT_EQ(warning->text(), FindUnitType(16)->NameWarning);
    EXPECT_EQ(rig.Control("Image_TV_DWN40")->isVisible(), true);
}

TEST(FileChoice, NoPortKeepsNextClosedWhateverTheFile)
{
    TWindowRig rig(false, {});
    rig.GoToPortPage("TVR-4200 Motor Protection Relay");
    rig.Browse(rig.MakeFile("T42_0417.s19"));
    EXPECT_TRUE(rig.State().FileChosen);
    EXPECT_FALSE(rig.Button("ButtonNext")->isEnabled());
}

// Leaving the port-and-file page.
struct TLeaveRig : TWindowRig {
    TLeaveRig() : TWindowRig(false, {"COM1", "COM2"})
    {
        window->Hooks().CheckFormat = [this](TLink &, TRecordVariant variant) {
            Variants << variant;
            return Records;
        };
        GoToPortPage("TVR-4200 Motor Protection Relay");
        File = MakeFile("T42_0417.s19");
        Browse(File);
        PortList()->Button(1)->click();
    }
    QList<TRecordVariant> Variants;
    int Records = 9;
    QString File;
};

TEST(LeavingThePortPage, AnUnusableFileKeepsThePage)
{
    TLeaveRig rig;
    rig.Records = 0;
    const int opens = rig.port.OpenCount;
    rig.Next();
    EXPECT_EQ(rig.Variants, QList<TRecordVariant>{TRecordVariant::Addr32});
    EXPECT_EQ(rig.State().CurrentPage, 3);
    EXPECT_EQ(rig.port.OpenCount, opens); // the port is not probed
    EXPECT_TRUE(rig.window->Boxes.isEmpty());
    EXPECT_TRUE(rig.Button("ButtonNext")->isEnabled());
    EXPECT_TRUE(rig.Button("ButtonBack")->isEnabled());
}

TEST(LeavingThePortPage, AValidFileAndAFreePortGiveTheSummary)
{
    TLeaveRig rig;
    rig.Next();
    EXPECT_EQ(rig.State().CurrentPage, 4);
    EXPECT_EQ(rig.Control<QTextEdit>("RichEditSummary")->toPlainText(),
              QStringLiteral("Selected unit to update: TVR-4200\n\nUpdate file: ") + rig.File +
                  QStringLiteral("\n\nPort selected: COM2"));
    EXPECT_TRUE(rig.window->Boxes.isEmpty());
    EXPECT_FALSE(rig.port.Connected());
}

TEST(LeavingThePortPage, APortGoneMeanwhileGivesTheBoxAndAFreshScan)
{
    TLeaveRig rig;
    rig.port.BusyPorts = {"COM2"};
    rig.Next();
    ASSERT_EQ(rig.window->Boxes.size(), 1);
    const TShownBox box = rig.window->Boxes.first();
    EXPECT_EQ(box.Title, QString::fromUtf8(WizardTexts::PortGoneTitle));
    EXPECT_EQ(box.Text, QString::fromUtf8(WizardTexts::PortGone));
    EXPECT_TRUE(box.Text.contains(QStringLiteral("available.  Press OK"))); // two blanks
    EXPECT_EQ(box.Icon, QMessageBox::Warning);
    EXPECT_EQ(box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(box.Owned);
    EXPECT_EQ(box.Modality, Qt::ApplicationModal);
    EXPECT_EQ(rig.State().CurrentPage, 3);
    EXPECT_EQ(rig.PortList()->Items(), (QStringList{"COM1", "COM2 (busy)"}));
    EXPECT_EQ(rig.window->ComPort().Port(), QStringLiteral("COM1"));
    // The summary was begun before the probe; the chosen file stays chosen.
    EXPECT_EQ(rig.Control<QTextEdit>("RichEditSummary")->toPlainText(),
              QStringLiteral("Selected unit to update: TVR-4200\n\nUpdate file: ") + rig.File + QStringLiteral("\n"));
    EXPECT_TRUE(rig.State().FileChosen);
    EXPECT_TRUE(rig.Button("ButtonNext")->isEnabled());

    // With the other port the next try goes through, and the summary is rebuilt.
    rig.Next();
    EXPECT_EQ(rig.State().CurrentPage, 4);
    EXPECT_TRUE(rig.Control<QTextEdit>("RichEditSummary")->toPlainText().endsWith(QStringLiteral("Port selected: COM1")));
}

// The format check reads each unit type's files with its address width.
struct TVariantCase {
    int Unit;
    TRecordVariant Variant;
};

class CheckVariant : public ::testing::TestWithParam<TVariantCase> {};

TEST_P(CheckVariant, LeavingThePortPageChecksWithTheUnitsVariant)
{
    TWindowRig rig(false, {"COM1"});
    QList<TRecordVariant> asked;
    rig.window->Hooks().CheckFormat = [&](TLink &, TRecordVariant variant) { return asked << variant, 0; };
    rig.State().SelectedUnit = GetParam().Unit;
    rig.window->ShowPage(3);
    rig.State().CurrentPage = 3;
    rig.window->MovePage(TDirection::Next);
    EXPECT_EQ(asked, QList<TRecordVariant>{GetParam().Variant});
}

INSTANTIATE_TEST_SUITE_P(
    AllUnitTypes, CheckVariant,
    ::testing::Values(TVariantCase{11, TRecordVariant::Addr24}, TVariantCase{12, TRecordVariant::Addr32},
                      TVariantCase{13, TRecordVariant::Addr16}, TVariantCase{4, TRecordVariant::Addr16}));

} // namespace
