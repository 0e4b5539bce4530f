#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QTemporaryDir>
#include <QTimeZone>

#include "station/Job.h"
#include "station/ReportCounts.h"
#include "station/UpdateReport.h"

namespace {

// Where the jobs of these tests say they were read from; on Windows the system puts a drive first.
QString JobFile(const char *name = "line3.json")
{
    return QFileInfo(QStringLiteral("/srv/jobs/") + QString::fromLatin1(name)).absoluteFilePath();
}

const char *const Sha = "eb59a9a6d50d021370a051054f7acf275dedac4cae235217d1fdcdaf8b236647";

// A job with every field, where one replacement (key -> raw JSON value, or a whole document)
// makes it wrong.
QByteArray JobWith(const char *field, const char *value)
{
    QByteArray json = QByteArray(R"({"unit": "TVR-4200", "file": "T4200170.s19", "sha256": ")") + Sha
                      + R"(", "restart": "yes", "report": "station.jsonl",
                          "bays": [{"name": "A1", "port": "ttyUSB0"}, {"name": "A2", "port": "ttyUSB1"}]})";
    if (!field)
        return json;
    const QByteArray key = QByteArray("\"") + field + "\": ";
    const qsizetype at = json.indexOf(key);
    if (at < 0) // a field the job does not have: added
        return json.left(1) + key + value + ", " + json.mid(1);
    // The value runs to the next top-level comma or the end; bays are last.
    const qsizetype from = at + key.size();
    qsizetype to = QByteArray(field) == "bays" ? json.size() - 1 : json.indexOf(',', from);
    return json.left(from) + value + json.mid(to);
}

struct TRefusal {
    const char *Name;
    QByteArray Json;
    const char *Names; // what the one-line error names
};

class JobRefusal : public ::testing::TestWithParam<TRefusal> {};

} // namespace

TEST_P(JobRefusal, IsOneLineNamingTheField)
{
    TJobError error;
    const std::optional<TJob> job = ParseJob(GetParam().Json, JobFile(), error);
    ASSERT_FALSE(job.has_value());
    EXPECT_EQ(error.ExitCode, 2);
    EXPECT_TRUE(error.Text.startsWith(QDir::toNativeSeparators(JobFile()) + ": "))
        << error.Text.toStdString();
    EXPECT_TRUE(error.Text.contains(QString::fromUtf8(GetParam().Names))) << error.Text.toStdString();
    EXPECT_FALSE(error.Text.contains(QLatin1Char('\n')));
}

INSTANTIATE_TEST_SUITE_P(
    Table, JobRefusal,
    ::testing::Values(
        TRefusal{"NotJson", "{\"unit\": ", "not a job"},
        TRefusal{"NotAnObject", "[1, 2]", "not a job"},
        TRefusal{"UnknownField", JobWith("baud", "9600"), "baud: unknown field"},
        TRefusal{"UnknownBayField", JobWith("bays", R"([{"name": "A1", "port": "ttyUSB0", "speed": 1}])"),
                 "bays[0].speed: unknown field"},
        TRefusal{"UnitMissing", JobWith("unit", "null").replace("\"unit\": null, ", ""), "unit is missing"},
        TRefusal{"UnitNotText", JobWith("unit", "12"), "unit: a text"},
        TRefusal{"FileEmpty", JobWith("file", "\" \""), "file is empty"},
        TRefusal{"ShaShort", JobWith("sha256", "\"eb59a9\""), "sha256: 64 hexadecimal digits"},
        TRefusal{"ShaNotHex", JobWith("sha256", "\"zb59a9a6d50d021370a051054f7acf275dedac4cae235217d1fdcdaf8b236647\""),
                 "sha256: 64 hexadecimal digits"},
        TRefusal{"ShaMissing", JobWith("sha256", "0").replace("\"sha256\": 0, ", ""), "sha256 is missing"},
        TRefusal{"RestartMaybe", JobWith("restart", "\"maybe\""), "restart: \"yes\" or \"no\""},
        TRefusal{"RestartBoolean", JobWith("restart", "true"), "restart: \"yes\" or \"no\""},
        TRefusal{"ReportNotText", JobWith("report", "[]"), "report: a text"},
        TRefusal{"BaysNotAList", JobWith("bays", "{}"), "bays: a list"},
        TRefusal{"NoBay", JobWith("bays", "[]"), "bays: the job has no bay"},
        TRefusal{"BayNotAnObject", JobWith("bays", R"(["ttyUSB0"])"), "bays[0]: a bay"},
        TRefusal{"BayPortMissing", JobWith("bays", R"([{"name": "A1", "port": "ttyUSB0"}, {"name": "A2"}])"),
                 "bays[1].port is missing"},
        TRefusal{"BayNameEmpty", JobWith("bays", R"([{"name": "", "port": "ttyUSB0"}])"), "bays[0].name is empty"},
        TRefusal{"BayNamedTwice", JobWith("bays", R"([{"name": "A1", "port": "ttyUSB0"}, {"name": "a1", "port": "ttyUSB1"}])"),
                 "bays[1].name: bay a1 is named twice"},
        TRefusal{"TwoBaysOnOnePort", JobWith("bays", R"([{"name": "A1", "port": "ttyUSB0"}, {"name": "A2", "port": "ttyUSB0"}])"),
                 "bays[1].port: bays A1 and A2 are on one port (ttyUSB0)"}),
    [](const ::testing::TestParamInfo<TRefusal> &info) { return std::string(info.param.Name); });

TEST(Job, ReadsBackWhatItWritesWithPathsAgainstTheJobsFolder)
{
    TJobError error;
    QByteArray json = JobWith(nullptr, nullptr);
    json.replace(Sha, QByteArray(Sha).toUpper());
    const std::optional<TJob> job = ParseJob(json, JobFile(), error);
    ASSERT_TRUE(job.has_value()) << error.Text.toStdString();
    EXPECT_EQ(job->Sha256, QString::fromLatin1(Sha)) << "kept in lower case";
    EXPECT_EQ(job->Restart, std::optional<bool>(true));
    EXPECT_EQ(job->Name(), "line3");
    EXPECT_EQ(job->FilePath(), JobFile("T4200170.s19"));
    EXPECT_EQ(job->ReportPath(), JobFile("station.jsonl"));
    ASSERT_EQ(job->Bays.size(), 2);
    EXPECT_EQ(job->Bays[1].Name, "A2");
    EXPECT_EQ(job->Bays[1].Port, "ttyUSB1");
    EXPECT_EQ(FindBay(*job, QStringLiteral("a2")), 1);

    const std::optional<TJob> again = ParseJob(JobJson(*job), job->JobPath, error);
    ASSERT_TRUE(again.has_value()) << error.Text.toStdString();
    EXPECT_EQ(JobJson(*again), JobJson(*job));
    EXPECT_EQ(again->Unit, job->Unit);
    EXPECT_EQ(again->Report, job->Report);

    // Restart and report may be left out; an absolute file stays as it is.
    TJob bare = *job;
    bare.Restart.reset();
    bare.Report.clear();
    bare.File = QStringLiteral("/opt/fw/T4200170.s19");
    const QByteArray bareJson = JobJson(bare);
    EXPECT_FALSE(bareJson.contains("restart") || bareJson.contains("report"));
    const std::optional<TJob> read = ParseJob(bareJson, job->JobPath, error);
    ASSERT_TRUE(read.has_value());
    EXPECT_FALSE(read->Restart.has_value());
    EXPECT_TRUE(read->ReportPath().isEmpty());
    EXPECT_EQ(read->FilePath(), "/opt/fw/T4200170.s19");
}

TEST(Job, AJobFileThatCannotBeReadIsAFileProblemAndSaveWritesIt)
{
    QTemporaryDir dir;
    TJobError error;
    EXPECT_FALSE(LoadJob(dir.filePath(QStringLiteral("none.json")), error).has_value());
    EXPECT_EQ(error.ExitCode, 4);
    EXPECT_FALSE(LoadJob(dir.path(), error).has_value());
    EXPECT_EQ(error.ExitCode, 4);

    TJob job = *ParseJob(JobWith(nullptr, nullptr), QString(), error);
    const QString path = dir.filePath(QStringLiteral("line3.json"));
    QString why;
    ASSERT_TRUE(SaveJob(job, path, &why)) << why.toStdString();
    const std::optional<TJob> loaded = LoadJob(path, error);
    ASSERT_TRUE(loaded.has_value()) << error.Text.toStdString();
    EXPECT_EQ(loaded->JobPath, path);
    EXPECT_EQ(loaded->FilePath(), dir.filePath(QStringLiteral("T4200170.s19")));
    EXPECT_FALSE(SaveJob(job, dir.filePath(QStringLiteral("no/such/folder/x.json")), &why));
    EXPECT_TRUE(why.contains("x.json")) << why.toStdString();
}

TEST(PinnedFile, SendsOnlyTheBytesThatMatchedTheHash)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fw.s19"));
    const auto write = [&](const QByteArray &bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    };
    // SHA-256 of "abc".
    const QString abc = QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    TPinnedFile pin;
    QString reason;
    TFileProblem problem = TFileProblem::None;
    EXPECT_FALSE(pin.Pin(path, abc, &reason, &problem));
    EXPECT_EQ(problem, TFileProblem::Gone);
    ASSERT_TRUE(write("abd"));
    EXPECT_FALSE(pin.Pin(path, abc, &reason, &problem));
    EXPECT_EQ(problem, TFileProblem::NotValid);
    EXPECT_TRUE(reason.contains(abc) && reason.contains("nothing is sent")) << reason.toStdString();
    EXPECT_TRUE(pin.CopyPath().isEmpty());

    ASSERT_TRUE(write("abc"));
    ASSERT_TRUE(pin.Pin(path, abc.toUpper(), &reason, &problem)) << reason.toStdString();
    const QString copy = pin.CopyPath();
    EXPECT_NE(copy, path);
    EXPECT_TRUE(copy.endsWith(QStringLiteral("/fw.s19")));
    EXPECT_EQ(pin.Size(), 3);
    // A change afterwards is refused, and the copy the running bays send stays as it was.
    ASSERT_TRUE(write("abcd"));
    EXPECT_FALSE(pin.Pin(path, abc, &reason, &problem));
    QFile c(copy);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_EQ(c.readAll(), "abc");
}

TEST(ReportCounts, CountsTheRecordsThatEndedOnTheLocalDay)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("station.jsonl"));
    const QDate day(2026, 12, 9);
    // Noon local time, and local midnight less a second (the day before).
    const QDateTime noon(day, QTime(12, 0));
    const QDateTime lateBefore(day, QTime(0, 0));
    const auto line = [](const QDateTime &end, const char *outcome) {
        TUpdateRecord r;
        r.Start = end.addSecs(-60).toUTC();
        r.End = end.toUTC();
        r.Outcome = QString::fromLatin1(outcome);
        return ReportLine(r) + '\n';
    };
    QByteArray report = line(noon, "completed") + line(noon.addSecs(60), "unit-rejected") + line(noon, "stopped")
                        + line(lateBefore.addSecs(-1), "completed") + "not a record\n" + line(noon, "completed").left(30)
                        + "\n" + line(noon.addDays(1), "completed");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(report) == report.size());
    f.close();

    const TReportCounts counts = CountReportDay(path, day);
    EXPECT_EQ(counts.Completed, 1);
    EXPECT_EQ(counts.Failed, 2);
    EXPECT_EQ(counts.Total, 3);
    EXPECT_EQ(CountReportDay(dir.filePath(QStringLiteral("none.jsonl")), day).Total, 0);
}

TEST(UpdateReport, BayAndUnitSerialAreWrittenOnlyWhenSet)
{
    TUpdateRecord r;
    r.Outcome = QStringLiteral("completed");
    EXPECT_FALSE(ReportLine(r).contains("bay") || ReportLine(r).contains("unitSerial"));
    r.Bay = QStringLiteral("A1");
    r.UnitSerial = QStringLiteral("SN 0042");
    const std::optional<TUpdateRecord> back = ParseReportLine(ReportLine(r));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->Bay, "A1");
    EXPECT_EQ(back->UnitSerial, "SN 0042");
}

TEST(UpdateReport, BaysAndSerialsGetColumnsOnlyWhereTheReportHasThem)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("station.jsonl"));
    TUpdateRecord plain;
    plain.Outcome = QStringLiteral("completed");
    plain.Port = QStringLiteral("ttyUSB0");
    TUpdateRecord bench = plain;
    bench.Bay = QStringLiteral("A2");
    bench.UnitSerial = QStringLiteral("SN-0042");
    const auto print = [&](bool csv) {
        QString out, err;
        QTextStream o(&out), e(&err);
        EXPECT_EQ(PrintReport(path, csv, o, e), 0);
        o.flush();
        return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(ReportLine(plain) + '\n') > 0);
    f.flush();
    const QStringList before = print(true);
    EXPECT_FALSE(before.first().contains(QStringLiteral("bay")));
    EXPECT_FALSE(print(false).first().contains(QStringLiteral("Bay")));

    ASSERT_TRUE(f.write(ReportLine(bench) + '\n') > 0);
    f.close();
    const QStringList csv = print(true);
    ASSERT_EQ(csv.size(), 3);
    EXPECT_EQ(csv[0], before[0] + QStringLiteral(",bay,unitSerial"));
    EXPECT_TRUE(csv[1].endsWith(QStringLiteral(",,"))) << csv[1].toStdString();
    EXPECT_TRUE(csv[2].endsWith(QStringLiteral(",A2,SN-0042"))) << csv[2].toStdString();
    const QStringList table = print(false);
    ASSERT_EQ(table.size(), 3);
    EXPECT_TRUE(table[0].contains(QRegularExpression(QStringLiteral("^End +Bay +Port .* Unit +Serial +Outcome"))))
        << table[0].toStdString();
    EXPECT_TRUE(table[2].contains(QRegularExpression(QStringLiteral("^- +A2 +ttyUSB0 .* SN-0042 +completed"))))
        << table[2].toStdString();
}
