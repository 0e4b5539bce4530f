// The station window's tiles, prompt, counters and accessible names, driven through the sink
// the run reports to, as the bays' workers do.
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <optional>

#include "protocols/FlowTexts.h"
#include "seriallink/LinkTexts.h"
#include "tests/station_window/StationRig.h"

namespace {

QAccessibleInterface *ChildDescribed(QAccessibleInterface *parent, const QString &description)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface *child = parent->child(i);
        if (child && child->text(QAccessible::Description) == description)
            return child;
    }
    return nullptr;
}

QStringList ChildNames(QAccessibleInterface *parent)
{
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i)
        if (QAccessibleInterface *child = parent->child(i))
            names << child->text(QAccessible::Name);
    return names;
}

} // namespace

TEST(StationTile, ShowsTheFlowsStatusGaugeAndBoxCoalescedOnItsOwnTile)
{
    TStationRig rig({QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB1")});
    TStationSink &sink = rig.window->Sink();
    const QString before = rig.Tile(0).StatusText();

    for (int line = 0; line <= 200; ++line) {
        sink.Status(0, FlowTexts::UpdatingDots[line % 4]);
        sink.GaugeMaximum(0, 258);
        sink.GaugePosition(0, line);
    }
    sink.Status(0, FlowTexts::EraseTexts::InitialContact);
    // Nothing is painted until the tile's next repaint, however many changes came.
    EXPECT_EQ(rig.Tile(0).StatusText(), before);
    const int paints = rig.Tile(0).Paints();
    rig.window->FlushTiles();
    EXPECT_EQ(rig.Tile(0).Paints(), paints + 1);
    EXPECT_EQ(rig.Tile(0).StatusText(), FlowTexts::EraseTexts::InitialContact);
    auto *gauge = rig.Tile(0).findChild<QProgressBar *>();
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->maximum(), 258);
    EXPECT_EQ(gauge->value(), 200);

    sink.Box(0, FlowTexts::UpdateErrorTitle, FlowTexts::ErrorRBox, TBoxIcon::Warning);
    EXPECT_EQ(rig.Tile(0).BoxText(), FlowTexts::ErrorRBox);
    EXPECT_EQ(rig.Tile(0).BoxIcon(), TBoxIcon::Warning);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // no box blocks the other bays
    EXPECT_TRUE(rig.Tile(1).BoxText().isEmpty());
    EXPECT_NE(rig.Tile(1).StatusText(), FlowTexts::EraseTexts::InitialContact);
}

struct TEndCase {
    const char *Name;
    TOutcomeKind Kind;
    QByteArray UnitAnswer;
    const char *RecordError;
    const char *Outcome;   // the tile's outcome text
    TReportCounts Session; // completed / failed / total after this end
};

class StationOutcome : public ::testing::TestWithParam<TEndCase> {};

TEST_P(StationOutcome, TheTileSaysHowTheBayEndedAndTheSessionCountsIt)
{
    const TEndCase &c = GetParam();
    TStationRig rig({QStringLiteral("ttyUSB0")});
    TPortRun run;
    run.Outcome.Kind = c.Kind;
    run.Outcome.UnitAnswer = c.UnitAnswer;
    run.LastStatus = QStringLiteral("the last status");
    run.DurationMs = 75'000;
    rig.Tile(0).Started();
    emit rig.window->Run().BayEnded(0, run, TUpdateRecord{}, QString::fromUtf8(c.RecordError));

    EXPECT_EQ(rig.Tile(0).OutcomeText(), QString::fromUtf8(c.Outcome));
    EXPECT_EQ(rig.Tile(0).StatusText(), QStringLiteral("the last status"));
    const TReportCounts session = rig.window->SessionCounts();
    EXPECT_EQ(session.Completed, c.Session.Completed);
    EXPECT_EQ(session.Failed, c.Session.Failed);
    EXPECT_EQ(session.Total, c.Session.Total);
    EXPECT_TRUE(rig.Tile(0).StartButton()->isEnabled());
    EXPECT_FALSE(rig.Tile(0).StopButton()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Ends, StationOutcome,
    ::testing::Values(TEndCase{"Completed", TOutcomeKind::Completed, {}, "", "Completed", {1, 0, 1}},
                      TEndCase{"Stopped", TOutcomeKind::Stopped, {}, "", "Stopped", {0, 1, 1}},
                      TEndCase{"Rejected", TOutcomeKind::UnitRejected, "C", "", "Failed: unit rejected: 'C'", {0, 1, 1}},
                      TEndCase{"NotRecorded", TOutcomeKind::Completed, {}, "disk full",
                               "Completed; Not recorded: disk full", {1, 0, 1}}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(StationTile, AsksEachBaysQuestionOnItsTileAndTakesTheAnswersInAnyOrder)
{
    TStationRig rig({QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB1")});
    TStationSink &sink = rig.window->Sink();
    std::optional<bool> first, second;
    sink.Ask(0, LinkTexts::StopPromptTitle, LinkTexts::StopPromptText, TStationAnswer([&](bool yes) { first = yes; }));
    sink.Ask(1, LinkTexts::StopPromptTitle, LinkTexts::StopPromptText, TStationAnswer([&](bool yes) { second = yes; }));
    EXPECT_TRUE(rig.Tile(0).Asking() && rig.Tile(1).Asking());
    EXPECT_FALSE(rig.window->PromptShown());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // A bay's flow is shown while the questions wait.
    sink.Status(1, FlowTexts::EraseTexts::Erased);
    rig.window->FlushTiles();
    EXPECT_EQ(rig.Tile(1).StatusText(), FlowTexts::EraseTexts::Erased);

    // Each answer reaches its bay at once, whichever question came first; the other stays open.
    rig.Tile(0).YesButton()->click();
    EXPECT_EQ(first, std::optional<bool>(true));
    EXPECT_FALSE(second);
    EXPECT_FALSE(rig.Tile(0).Asking());
    EXPECT_TRUE(rig.Tile(1).Asking());
    rig.Tile(1).NoButton()->click();
    EXPECT_EQ(second, std::optional<bool>(false));
    EXPECT_FALSE(rig.Tile(1).YesButton()->isVisible());
}

TEST(StationAccessibility, TilesButtonsStatusAndOutcomeAreNamed)
{
    TStationRig rig({QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB1")});
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(rig.window.get());
    ASSERT_NE(window, nullptr);
    const QString names = ChildNames(window).join(QLatin1Char('|'));
    EXPECT_TRUE(names.contains(QStringLiteral("Start all"))) << names.toStdString();
    EXPECT_TRUE(names.contains(QStringLiteral("Stop all"))) << names.toStdString();

    rig.window->Sink().Status(1, FlowTexts::EraseTexts::WaitingForUnit);
    rig.window->FlushTiles();
    for (int bay = 0; bay < 2; ++bay) {
        QAccessibleInterface *tile = QAccessible::queryAccessibleInterface(&rig.Tile(bay));
        ASSERT_NE(tile, nullptr);
        EXPECT_EQ(tile->text(QAccessible::Name), QStringLiteral("Bay A%1").arg(bay + 1));
        const QStringList buttons = ChildNames(tile);
        EXPECT_TRUE(buttons.contains(QStringLiteral("Start")));
        EXPECT_TRUE(buttons.contains(QStringLiteral("Stop")));
        QAccessibleInterface *status = ChildDescribed(tile, QStringLiteral("Status"));
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(status->text(QAccessible::Name), rig.Tile(bay).StatusText());
    }
    EXPECT_EQ(ChildDescribed(QAccessible::queryAccessibleInterface(&rig.Tile(1)), QStringLiteral("Status"))
                  ->text(QAccessible::Name),
              FlowTexts::EraseTexts::WaitingForUnit);

    TPortRun run;
    run.Outcome.Kind = TOutcomeKind::NoAnswer;
    run.Outcome.Stage = TNoAnswerStage::Erase;
    emit rig.window->Run().BayEnded(0, run, TUpdateRecord{}, QString());
    QAccessibleInterface *outcome = ChildDescribed(QAccessible::queryAccessibleInterface(&rig.Tile(0)), QStringLiteral("Outcome"));
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->text(QAccessible::Name), QStringLiteral("Failed: no answer: erase"));
}

TEST(StationBays, AnUnpluggedBaySaysSoAndComesAliveWhenPluggedIn)
{
    TStationRig rig({QStringLiteral("ttyUSB0"), QStringLiteral("/dev/serial/by-path/pci-0:2:1.0-port0")});
    rig.unplugged = {QStringLiteral("A2")};
    rig.window->Rescan();
    EXPECT_FALSE(rig.Tile(1).Plugged());
    EXPECT_FALSE(rig.Tile(1).StartButton()->isEnabled());
    EXPECT_TRUE(rig.Tile(1).StatusText().contains(QStringLiteral("/dev/serial/by-path/pci-0:2:1.0-port0")));
    EXPECT_TRUE(rig.Tile(0).StartButton()->isEnabled());

    // Plugged in: the next reading of the ports brings the bay to life, without anyone asking.
    rig.unplugged.clear();
    rig.window->SetRescanInterval(20);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.Tile(1).StartButton()->isEnabled(); }, 5000));
    EXPECT_EQ(rig.Tile(1).State(), TBayTile::TState::Idle);
    EXPECT_FALSE(rig.Tile(1).StatusText().contains(QStringLiteral("by-path")));

    // Pulled out again while idle: not plugged in once more; Start all starts nobody there.
    rig.unplugged = {QStringLiteral("A1"), QStringLiteral("A2")};
    EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.Tile(0).Plugged() && !rig.Tile(1).Plugged(); }, 5000));
    EXPECT_FALSE(rig.window->StartAllButton()->isEnabled());
}

TEST(StationHeader, SaysBeforeAnyStartThatTheFileIsNotTheJobsAndWhatTheStartDidWithIt)
{
    TStationRig rig({QStringLiteral("ttyUSB0")}, QString(64, QLatin1Char('0')));
    const QString problem = rig.window->JobProblemText();
    EXPECT_TRUE(problem.contains(Sha256Of(SampleFile()))) << problem.toStdString();
    EXPECT_FALSE(problem.contains(QLatin1Char('\n'))) << "the report has no problem";
    // Start refuses the bay with the same reason, on its tile, without opening its port.
    rig.Tile(0).StartButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.window->AnyRunning(); }, 5000));
    rig.window->FlushTiles();
    EXPECT_TRUE(rig.Tile(0).OutcomeText().startsWith(QStringLiteral("Failed: "))) << rig.Tile(0).OutcomeText().toStdString();
    EXPECT_EQ(rig.window->SessionCounts().Failed, 1);
}
