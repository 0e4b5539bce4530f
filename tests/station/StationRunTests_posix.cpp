// A job's run over four bays, each a pseudo-terminal to a simulated unit (varnel-unitsim), in
// real time: the units updated from the copy that matched the job's hash, one refusing a line,
// one bay refused because the file changed, and a record of every unit with its bay and serial.
#include "tests/cli/CliRig.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QTimer>

#include "protocols/FlowTexts.h"
#include "seriallink/LinkTexts.h"
#include "station/FlowQuestion.h"
#include "station/StationRun.h"
#include "updatefile/UnitCatalogue.h"

namespace {

// A front end that records what each bay showed and answers the Begin question Yes.
class TBenchSink : public TStationSink {
public:
    QMap<int, QStringList> Statuses;
    QStringList Titles; // of every question that reached the front end
    std::function<void(int)> OnGauge;

    void Status(int port, const QString &text) override { Statuses[port] << text; }
    void Box(int, const QString &, const QString &, TBoxIcon) override {}
    void GaugeMaximum(int, int) override {}
    void GaugePosition(int port, int position) override
    {
        if (OnGauge && position > 0)
            OnGauge(port);
    }
    void LinesSent(int, const QString &) override {}
    void Ask(int, const QString &title, const QString &, TStationAnswer answer) override
    {
        Titles << title;
        answer(ClassifyQuestion(title) == TFlowQuestion::Begin);
    }
};

QString Sha256Of(const QString &path)
{
    return QString::fromLatin1(QCryptographicHash::hash(ReadAll(path), QCryptographicHash::Sha256).toHex());
}

struct TEnd {
    TPortRun Run;
    TUpdateRecord Record;
    QString RecordError;
};

// Runs the event loop until count bays have ended (at most two minutes).
QMap<int, TEnd> WaitForEnds(TStationRun &run, int count)
{
    QMap<int, TEnd> ends;
    QEventLoop loop;
    QObject::connect(&run, &TStationRun::BayEnded, &loop,
                     [&](int bay, const TPortRun &r, const TUpdateRecord &record, const QString &error) {
                         ends.insert(bay, TEnd{r, record, error});
                         if (ends.size() >= count)
                             loop.quit();
                     });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    return ends;
}

const TUnitType &Tvr4200()
{
    const TUnitType *unit = FindUnitType(12);
    EXPECT_NE(unit, nullptr);
    return *unit;
}

} // namespace

TEST(StationRun, FourBaysOneRejectsALineOneRefusedForAChangedFile)
{
    TSimUnit units[4];
    ASSERT_TRUE(units[0].Start(QStringLiteral("update-mode"))) << units[0].Error.toStdString();
    ASSERT_TRUE(units[1].Start(QStringLiteral("update-mode"), {QStringLiteral("--fault"), QStringLiteral("line@10=C*4")}));
    ASSERT_TRUE(units[2].Start(QStringLiteral("update-mode"))) << units[2].Error.toStdString();
    ASSERT_TRUE(units[3].Start(QStringLiteral("update-mode"))) << units[3].Error.toStdString();

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("T4200170.s19"));
    ASSERT_TRUE(QFile::copy(Sample("T4200170.s19"), file));
    // Bay A3 is named by a link to its line, as a by-path link names a socket.
    const QString link = dir.filePath(QStringLiteral("bay-a3"));
    ASSERT_TRUE(QFile::link(units[2].Path, link));

    TJob job;
    job.Unit = QStringLiteral("TVR-4200");
    job.File = QStringLiteral("T4200170.s19");
    job.Sha256 = Sha256Of(file);
    job.Restart = false;
    job.Report = QStringLiteral("station.jsonl");
    job.JobPath = dir.filePath(QStringLiteral("line3.json"));
    job.Bays = {{QStringLiteral("A1"), units[0].Path}, {QStringLiteral("A2"), units[1].Path},
                {QStringLiteral("A3"), link}, {QStringLiteral("A4"), units[3].Path}};

    TBenchSink bench;
    TStationRun run(job, Tvr4200(), bench);
    const QList<TBayPort> ports = ResolveBays(job.Bays);
    ASSERT_EQ(ports.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(ports[i].PortName.isEmpty()) << ports[i].Given.toStdString();
        run.SetPort(i, ports[i]);
    }

    EXPECT_TRUE(run.FileProblem().isEmpty()) << run.FileProblem().toStdString();
    run.Start({0, 1, 2}, {QStringLiteral("SN-1"), QStringLiteral("SN-2"), QStringLiteral("SN-3")});
    EXPECT_TRUE(run.IsRunning(0) && run.IsRunning(2));
    EXPECT_FALSE(run.IsRunning(3));
    // The file changes before any bay has read it: the three bays send the bytes that were
    // hashed, and a bay started now is refused.
    {
        // Another valid file: the first hundred lines and the termination.
        QList<QByteArray> lines = ReadAll(file).split('\n');
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        const QByteArray shorter = lines.mid(0, 100).join('\n') + '\n' + lines.last() + '\n';
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(shorter), shorter.size());
    }
    const QString changedSha = Sha256Of(file);
    EXPECT_TRUE(run.FileProblem().contains(changedSha));
    run.Start({3}, {QStringLiteral("SN-4")});
    const QMap<int, TEnd> ends = WaitForEnds(run, 4);
    QString summaries[4];
    for (int i = 0; i < 4; ++i)
        summaries[i] = units[i].Stop();

    ASSERT_EQ(ends.size(), 4);
    EXPECT_FALSE(run.AnyRunning());
    const QByteArray expected = ExpectedRecord(QStringLiteral("update-mode"), Sample("T4200170.s19"));
    EXPECT_TRUE(units[0].Record() == expected);
    EXPECT_TRUE(units[2].Record() == expected);
    EXPECT_TRUE(units[3].Record().isEmpty());
    EXPECT_TRUE(summaries[3].contains("contact requests: 0")) << summaries[3].toStdString();

    const QStringList kinds = {"completed", "unit-rejected", "completed", "file-problem"};
    for (int i = 0; i < 4; ++i) {
        const TEnd &end = ends.value(i);
        EXPECT_EQ(OutcomeKindName(end.Run.Outcome.Kind), kinds[i]) << i;
        EXPECT_EQ(end.Record.Bay, job.Bays[i].Name);
        EXPECT_EQ(end.Record.UnitSerial, QStringLiteral("SN-%1").arg(i + 1));
        EXPECT_TRUE(end.RecordError.isEmpty()) << end.RecordError.toStdString();
        EXPECT_EQ(end.Record.FilePath, QDir::cleanPath(file));
    }
    EXPECT_EQ(ends.value(1).Record.UnitError, "C");
    EXPECT_EQ(ends.value(0).Record.FileSha256, job.Sha256);
    EXPECT_EQ(ends.value(3).Record.FileSha256, changedSha) << "the record names the hash that was found";
    EXPECT_TRUE(ends.value(3).Run.LastStatus.contains("not the job's file")) << ends.value(3).Run.LastStatus.toStdString();
    EXPECT_EQ(bench.Statuses.value(3), QStringList{ends.value(3).Run.LastStatus}) << "the bay shows why";
    EXPECT_EQ(bench.Statuses.value(0).last(), "Update complete.");
    // The job answers the restart question; the Begin question reaches the front end per bay.
    EXPECT_FALSE(bench.Titles.contains(FlowTexts::UpdateModeTexts::RestartTitle));
    EXPECT_EQ(bench.Titles.count(FlowTexts::BeginTitle), 3);

    // The report holds the same four records, each whole, with bay and serial.
    QMap<QString, TUpdateRecord> byBay;
    for (const QByteArray &line : ReadAll(job.ReportPath()).split('\n')) {
        if (line.isEmpty())
            continue;
        EXPECT_TRUE(line.contains("\"bay\":") && line.contains("\"unitSerial\":")) << line.toStdString();
        const std::optional<TUpdateRecord> record = ParseReportLine(line);
        ASSERT_TRUE(record.has_value()) << line.toStdString();
        byBay.insert(record->Bay, *record);
    }
    ASSERT_EQ(byBay.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ReportLine(byBay.value(job.Bays[i].Name)), ReportLine(ends.value(i).Record));
}

TEST(StationRun, TerminateStopsEveryBayWithoutAskingAndOneNotPluggedInEndsAtOnce)
{
    TSimUnit unit;
    // Slow answers, so that the update is still running when it is terminated.
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"), {QStringLiteral("--answer-delay"), QStringLiteral("30")}))
        << unit.Error.toStdString();
    QTemporaryDir dir;
    TJob job;
    job.Unit = QStringLiteral("12");
    job.File = Sample("T4200170.s19");
    job.Sha256 = Sha256Of(job.File);
    job.JobPath = dir.filePath(QStringLiteral("bench.json"));
    job.Bays = {{QStringLiteral("B1"), unit.Path}, {QStringLiteral("B2"), dir.filePath(QStringLiteral("unplugged"))}};

    TBenchSink bench;
    TStationRun run(job, Tvr4200(), bench);
    const QList<TBayPort> ports = ResolveBays(job.Bays);
    run.SetPort(0, ports[0]);
    run.SetPort(1, ports[1]);
    EXPECT_TRUE(ports[1].PortName.isEmpty());
    bench.OnGauge = [&run](int) { run.Terminate(); };
    run.Start({0, 1}, {});
    const QMap<int, TEnd> ends = WaitForEnds(run, 2);
    const QString summary = unit.Stop();

    ASSERT_EQ(ends.size(), 2);
    EXPECT_EQ(ends.value(0).Run.Outcome.Kind, TOutcomeKind::Stopped);
    EXPECT_EQ(ends.value(1).Run.Outcome.Kind, TOutcomeKind::PortNotAvailable);
    EXPECT_TRUE(ends.value(1).Run.LastStatus.contains("not plugged in"));
    EXPECT_FALSE(bench.Titles.contains(LinkTexts::StopPromptTitle)) << "terminated without asking";
    EXPECT_TRUE(summary.contains("quit: yes")) << summary.toStdString();
}

TEST(StationRun, AskingWhetherTheReportTakesRecordsMakesNoFile)
{
    QTemporaryDir dir;
    TJob job;
    job.Unit = QStringLiteral("12");
    job.File = Sample("T4200170.s19");
    job.Sha256 = Sha256Of(job.File);
    job.JobPath = dir.filePath(QStringLiteral("bench.json"));
    job.Report = QStringLiteral("station.jsonl");
    job.Bays = {{QStringLiteral("B1"), dir.filePath(QStringLiteral("unplugged"))}};
    TBenchSink bench;
    TStationRun run(job, Tvr4200(), bench);
    EXPECT_EQ(run.ReportProblem(), QString());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("station.jsonl"))));
    // A folder where the report should be cannot take records.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("station.jsonl")));
    EXPECT_NE(run.ReportProblem(), QString());
}
