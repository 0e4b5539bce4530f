// Whole updates through the station window: two bays on pseudo-terminals, each with a
// varnel-unitsim of its own, one of them refusing a line; the job read from its file, the bays
// resolved from the real port list, every button pressed as an operator would.
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "protocols/FlowTexts.h"
#include "station/UpdateReport.h"
#include "tests/cli/CliRig.h"
#include "tests/station_window/StationRig.h"

TEST(StationOverPty, TwoBaysStartTogetherOneCompletesOneFailsBothRecorded)
{
    TSimUnit good, failing;
    ASSERT_TRUE(good.Start(QStringLiteral("update-mode"))) << good.Error.toStdString();
    ASSERT_TRUE(failing.Start(QStringLiteral("update-mode"), {QStringLiteral("--fault"), QStringLiteral("line@5=R")}))
        << failing.Error.toStdString();

    QTemporaryDir dir;
    const QString jobPath = dir.filePath(QStringLiteral("bench.json"));
    QFile jobFile(jobPath);
    ASSERT_TRUE(jobFile.open(QIODevice::WriteOnly));
    jobFile.write(QStringLiteral(R"({"unit": "TVR-4200", "file": "%1", "sha256": "%2", "restart": "no",
        "report": "station.jsonl", "bays": [{"name": "A1", "port": "%3"}, {"name": "A2", "port": "%4"}]})")
                      .arg(SampleFile(), Sha256Of(SampleFile()), good.Path, failing.Path)
                      .toUtf8());
    jobFile.close();
    TJobError error;
    const std::optional<TJob> job = LoadJob(jobPath, error);
    ASSERT_TRUE(job) << error.Text.toStdString();

    TStationWindow window(*job, Tvr4200());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(window.Tile(0)->Plugged() && window.Tile(1)->Plugged());
    // A scanner types each serial number and presses Enter, which moves on to the next bay.
    window.Tile(0)->FocusSerial();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("SN-0001"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("SN-0002"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), window.StartAllButton());
    EXPECT_EQ(window.Tile(1)->UnitSerial(), QStringLiteral("SN-0002"));

    int prompts = 0;
    window.OnQuestion = [&](int bay) {
        // The Begin question of the two bays is the window's, once.
        EXPECT_EQ(bay, -1);
        ++prompts;
        QTimer::singleShot(0, window.PromptYes(), &QPushButton::click);
    };
    window.StartAllButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.AnyRunning(); }, 90'000));
    EXPECT_EQ(prompts, 1);

    EXPECT_EQ(window.Tile(0)->OutcomeText(), QStringLiteral("Completed"));
    EXPECT_EQ(window.Tile(1)->OutcomeText(), QStringLiteral("Failed: unit rejected: 'R'"));
    EXPECT_EQ(window.Tile(1)->BoxIcon(), TBoxIcon::Warning);
    EXPECT_FALSE(window.Tile(1)->BoxText().isEmpty());
    EXPECT_EQ(window.SessionCountsText(), QStringLiteral("This session: 1 completed / 1 failed / 2 total"));
    EXPECT_EQ(window.TodayCountsText(), QStringLiteral("Report today: 1 completed / 1 failed / 2 total"));
    good.Stop();
    EXPECT_EQ(good.Record(), ExpectedRecord(QStringLiteral("update-mode"), SampleFile()));

    QFile report(dir.filePath(QStringLiteral("station.jsonl")));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    QMap<QString, TUpdateRecord> byBay;
    for (const QByteArray &line : report.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const std::optional<TUpdateRecord> record = ParseReportLine(line);
        ASSERT_TRUE(record) << line.toStdString();
        byBay[record->Bay] = *record;
    }
    ASSERT_EQ(byBay.size(), 2);
    EXPECT_EQ(byBay[QStringLiteral("A1")].UnitSerial, QStringLiteral("SN-0001"));
    EXPECT_EQ(byBay[QStringLiteral("A1")].Outcome, QStringLiteral("completed"));
    EXPECT_EQ(byBay[QStringLiteral("A2")].UnitSerial, QStringLiteral("SN-0002"));
    EXPECT_EQ(byBay[QStringLiteral("A2")].Outcome, QStringLiteral("unit-rejected"));
    EXPECT_EQ(byBay[QStringLiteral("A2")].Port, failing.Path);
}

TEST(StationOverPty, ClosingWhileBaysRunAsksThenStopsEveryBayAndRecordsIt)
{
    TSimUnit first, second;
    for (TSimUnit *unit : {&first, &second})
        ASSERT_TRUE(unit->Start(QStringLiteral("update-mode"), {QStringLiteral("--pace"), QStringLiteral("9600")}))
            << unit->Error.toStdString();
    TStationRig rig({first.Path, second.Path});
    TStationWindow window(rig.job, Tvr4200());
    window.show();
    window.OnQuestion = [&](int bay) {
        if (bay == -1 && window.PromptText().contains(FlowTexts::BeginTitle))
            QTimer::singleShot(0, window.PromptYes(), &QPushButton::click);
    };
    window.StartAllButton()->click();
    // Both bays are sending lines.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        window.FlushTiles();
        return window.Tile(0)->findChild<QProgressBar *>()->value() > 10 &&
               window.Tile(1)->findChild<QProgressBar *>()->value() > 10;
    }, 30'000));

    window.OnQuestion = nullptr;
    EXPECT_FALSE(window.close()); // asks first
    EXPECT_TRUE(window.PromptShown());
    EXPECT_TRUE(window.AnyRunning());
    window.PromptNo()->click(); // No: the bays go on
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.AnyRunning());

    window.close();
    window.PromptYes()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 30'000));
    EXPECT_FALSE(window.AnyRunning());
    EXPECT_EQ(window.Tile(0)->OutcomeText(), QStringLiteral("Stopped"));
    EXPECT_EQ(window.Tile(1)->OutcomeText(), QStringLiteral("Stopped"));
    QFile report(rig.dir.filePath(QStringLiteral("station.jsonl")));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = report.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    for (const QByteArray &line : lines)
        EXPECT_EQ(ParseReportLine(line).value_or(TUpdateRecord{}).Outcome, QStringLiteral("stopped"));
}

// Two bays started one after the other ask their Begin questions on their own tiles at once; the
// bay asked first and answered first begins while the later question is still open.
TEST(StationOverPty, TheBayAnsweredFirstBeginsWhileAnotherBaysQuestionIsOpen)
{
    TSimUnit first, second;
    for (TSimUnit *unit : {&first, &second})
        ASSERT_TRUE(unit->Start(QStringLiteral("update-mode"))) << unit->Error.toStdString();
    TStationRig rig({first.Path, second.Path});
    TStationWindow window(rig.job, Tvr4200());
    window.show();
    window.Tile(0)->StartButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Tile(0)->Asking(); }, 10'000));
    window.Tile(1)->StartButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Tile(1)->Asking(); }, 10'000));

    window.Tile(0)->YesButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        window.FlushTiles();
        return window.Tile(0)->findChild<QProgressBar *>()->value() > 10;
    }, 30'000)) << "the bay answered Yes did not begin while the other bay's question was open";
    EXPECT_TRUE(window.Tile(1)->Asking());

    window.Tile(1)->NoButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.AnyRunning(); }, 90'000));
    EXPECT_EQ(window.Tile(0)->OutcomeText(), QStringLiteral("Completed"));
    first.Stop();
    EXPECT_EQ(first.Record(), ExpectedRecord(QStringLiteral("update-mode"), SampleFile()));
}
