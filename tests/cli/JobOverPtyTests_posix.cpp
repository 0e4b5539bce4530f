// varnel-cli's jobs against simulated units behind pseudo-terminals: a job written by job make
// and run by update --job, and every bad job refused in one line before anything is sent.
#include "tests/cli/CliRig.h"

#include <QCryptographicHash>
#include <QJsonArray>

#include "station/UpdateReport.h"

namespace {

QByteArray JobText(const QString &sha, const QString &bays, const QString &extra = QString())
{
    return QStringLiteral(R"({"unit": "TVR-4200", "file": "fw.s19", "sha256": "%1", "restart": "no",
                              "report": "station.jsonl", "bays": [%2]%3})")
        .arg(sha, bays, extra)
        .toUtf8();
}

QString Bay(const char *name, const QString &port)
{
    return QStringLiteral(R"({"name": "%1", "port": "%2"})").arg(QString::fromLatin1(name), port);
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

TEST(CliJob, MadeByJobMakeAndRunOnItsBaysWithTheRecordsNamingThem)
{
    TSimUnit units[2];
    ASSERT_TRUE(units[0].Start(QStringLiteral("update-mode"))) << units[0].Error.toStdString();
    ASSERT_TRUE(units[1].Start(QStringLiteral("update-mode"), {QStringLiteral("--fault"), QStringLiteral("line@3=F*4")}));
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("socket-2"));
    ASSERT_TRUE(QFile::link(units[1].Path, link));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("jobs")));
    const QString jobPath = dir.filePath(QStringLiteral("jobs/line3.json"));

    const TCliResult made = RunCli({QStringLiteral("job"), QStringLiteral("make"), QStringLiteral("--unit"),
                                    QStringLiteral("TVR-4200"), QStringLiteral("--file"), Sample("T4200170.s19"),
                                    QStringLiteral("--restart"), QStringLiteral("no"), QStringLiteral("--report"),
                                    dir.filePath(QStringLiteral("station.jsonl")), QStringLiteral("--bay"),
                                    QStringLiteral("A1=") + units[0].Path, QStringLiteral("--bay"),
                                    QStringLiteral("A2=") + link, QStringLiteral("-o"), jobPath});
    ASSERT_EQ(made.ExitCode, 0) << made.Err.toStdString();
    const QJsonObject job = QJsonDocument::fromJson(ReadAll(jobPath)).object();
    EXPECT_EQ(job.value("report").toString(), "../station.jsonl") << "kept relative to the job's folder";
    EXPECT_EQ(job.value("sha256").toString(),
              QString::fromLatin1(QCryptographicHash::hash(ReadAll(Sample("T4200170.s19")), QCryptographicHash::Sha256).toHex()));

    const TCliResult r = RunCli({QStringLiteral("update"), QStringLiteral("--job"), jobPath, QStringLiteral("--yes"),
                                 QStringLiteral("--json")});
    units[0].Stop();
    units[1].Stop();
    EXPECT_EQ(r.ExitCode, 7) << r.Err.toStdString();
    EXPECT_TRUE(units[0].Record() == ExpectedRecord(QStringLiteral("update-mode"), Sample("T4200170.s19")));
    const QJsonObject summary = r.Events().last();
    EXPECT_EQ(summary.value("retry").toString(), "varnel-cli update --job " + jobPath + " --bay A2 --yes");

    QMap<QString, TUpdateRecord> byBay;
    for (const QByteArray &line : ReadAll(dir.filePath(QStringLiteral("station.jsonl"))).split('\n')) {
        if (line.isEmpty())
            continue;
        const std::optional<TUpdateRecord> record = ParseReportLine(line);
        ASSERT_TRUE(record.has_value()) << line.toStdString();
        byBay.insert(record->Bay, *record);
    }
    ASSERT_EQ(byBay.keys(), QStringList({"A1", "A2"}));
    EXPECT_EQ(byBay.value("A1").Outcome, "completed");
    EXPECT_EQ(byBay.value("A2").Outcome, "unit-rejected");
    EXPECT_EQ(byBay.value("A2").UnitError, "F");
    EXPECT_EQ(byBay.value("A1").FilePath, Sample("T4200170.s19"));
}

TEST(CliJob, EveryBadJobIsOneLineAndNothingIsSent)
{
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"))) << unit.Error.toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("fw.s19"));
    ASSERT_TRUE(QFile::copy(Sample("T4200170.s19"), file));
    const QString sha =
        QString::fromLatin1(QCryptographicHash::hash(ReadAll(file), QCryptographicHash::Sha256).toHex());
    const QString wrongSha = QString(sha).replace(0, 1, sha.startsWith(QLatin1Char('0')) ? QStringLiteral("1") : QStringLiteral("0"));
    const QString link = dir.filePath(QStringLiteral("same-line"));
    ASSERT_TRUE(QFile::link(unit.Path, link));
    const QString unplugged = dir.filePath(QStringLiteral("not-there"));

    struct TCase {
        const char *Name;
        QByteArray Job;
        QStringList Extra;
        int Exit;
        const char *Says;
    };
    const QList<TCase> cases = {
        {"WrongHash", JobText(wrongSha, Bay("A1", unit.Path)), {}, 4, "is not the job's file"},
        {"UnknownField", JobText(sha, Bay("A1", unit.Path), QStringLiteral(R"(, "speed": 9600)")), {}, 2, "speed: unknown field"},
        {"BayPortMissing", JobText(sha, Bay("A1", unit.Path) + QStringLiteral(R"(, {"name": "A2"})")), {}, 2, "bays[1].port is missing"},
        {"NotPluggedIn", JobText(sha, Bay("A1", unit.Path) + ", " + Bay("A2", unplugged)), {}, 5, "bay A2: port"},
        {"TwoBaysOnOneLine", JobText(sha, Bay("A1", unit.Path) + ", " + Bay("A2", link)), {}, 2, "bay A2 is on the line of bay A1"},
        {"UnknownBay", JobText(sha, Bay("A1", unit.Path)), {QStringLiteral("--bay"), QStringLiteral("B7")}, 2, "--bay B7"},
    };
    const QString jobPath = dir.filePath(QStringLiteral("line3.json"));
    for (const TCase &c : cases) {
        ASSERT_TRUE(Write(jobPath, c.Job));
        QStringList args = {QStringLiteral("update"), QStringLiteral("--job"), jobPath, QStringLiteral("--yes")};
        args << c.Extra;
        const TCliResult r = RunCli(args);
        EXPECT_EQ(r.ExitCode, c.Exit) << c.Name << ": " << r.Err.toStdString();
        EXPECT_EQ(r.Err.count('\n'), 1) << c.Name << ": " << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(c.Says)) << c.Name << ": " << r.Err.toStdString();
        EXPECT_TRUE(r.Out.isEmpty()) << c.Name;
    }
    const TCliResult missing = RunCli({QStringLiteral("update"), QStringLiteral("--job"), dir.filePath(QStringLiteral("none.json")),
                                       QStringLiteral("--yes")});
    EXPECT_EQ(missing.ExitCode, 4) << missing.Err.toStdString();
    EXPECT_TRUE(unit.Stop().contains("contact requests: 0")) << "the unit was sent something";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("station.jsonl")))) << "no record of a job never run";
}
