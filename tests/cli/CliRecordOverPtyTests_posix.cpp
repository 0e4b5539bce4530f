// What varnel-cli leaves on the disk, seen from outside the process: the system calls on the
// report (traced with strace), and the record of a file rewritten while the units were updated.
#include "tests/cli/CliRig.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "station/UpdateReport.h"

namespace {

QStringList Unattended(const QString &file, const QString &port, const QString &report)
{
    return {QStringLiteral("update"), QStringLiteral("--unit"), QStringLiteral("12"), QStringLiteral("--file"), file,
            QStringLiteral("--yes"), QStringLiteral("--restart"), QStringLiteral("no"), QStringLiteral("--json"),
            QStringLiteral("--port"), port, QStringLiteral("--report"), report};
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// ---------------------------------------------------------------------------------------------
// The report's system calls: a new report's folder is flushed once, and every look at the
// report's last byte goes through the descriptor that appends.

struct TTracedReport {
    const char *Name;
    QByteArray Before;      // the report's content before the run; null: no report yet
    int FolderSyncs;
};

void PrintTo(const TTracedReport &c, std::ostream *os) { *os << c.Name; }

class CliReportTrace : public ::testing::TestWithParam<TTracedReport> {};

TEST_P(CliReportTrace, FlushesANewReportsFolderOnceAndOpensTheReportOnce)
{
    const TTracedReport &c = GetParam();
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        GTEST_SKIP() << "needs strace";
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"))) << unit.Error.toStdString();
    QTemporaryDir dir;
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    const QString report = folder + QStringLiteral("/station.jsonl");
    if (!c.Before.isNull()) {
        ASSERT_TRUE(WriteFile(report, c.Before));
    }
    const QString trace = folder + QStringLiteral("/trace");

    QStringList args = {QStringLiteral("-f"), QStringLiteral("-y"), QStringLiteral("-e"),
                        QStringLiteral("trace=open,openat,fsync,fdatasync"), QStringLiteral("-o"), trace, CliPath()};
    args << Unattended(Sample("T4200170.s19"), unit.Path, report);
    QProcess cli;
    // LeakSanitizer cannot look at a traced process; everything else of a sanitizer build stays on.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.contains(QStringLiteral("ASAN_OPTIONS")))
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    cli.setProcessEnvironment(env);
    cli.start(strace, args);
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForFinished(60000));
    unit.Stop();
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();

    const QString calls = QString::fromLocal8Bit(ReadAll(trace));
    ASSERT_FALSE(calls.isEmpty());
    const QString quoted = QRegularExpression::escape(folder);
    const qsizetype folderSyncs =
        calls.count(QRegularExpression(QStringLiteral("f(data)?sync\\(\\d+<%1>(\\)| <unfinished)").arg(quoted)));
    EXPECT_EQ(folderSyncs, c.FolderSyncs) << calls.toStdString();
    const qsizetype reportSyncs =
        calls.count(QRegularExpression(QStringLiteral("f(data)?sync\\(\\d+<%1/station\\.jsonl>(\\)| <unfinished)").arg(quoted)));
    EXPECT_EQ(reportSyncs, 1) << "one record, flushed once";
    // Every open of the report reads and appends through one descriptor.
    const QRegularExpression opens(QStringLiteral("open(at)?\\([^\"]*\"%1/station\\.jsonl\", ([A-Z_|]+)").arg(quoted));
    int reportOpens = 0;
    for (auto it = opens.globalMatch(calls); it.hasNext();) {
        const QString flags = it.next().captured(2);
        ++reportOpens;
        EXPECT_TRUE(flags.contains(QLatin1String("O_RDWR")) && flags.contains(QLatin1String("O_APPEND")))
            << flags.toStdString();
    }
    EXPECT_GE(reportOpens, 1);

    const QByteArray after = ReadAll(report);
    const QList<QByteArray> lines = after.split('\n');
    ASSERT_EQ(lines.size(), c.Before.count('\n') + (c.Before.isEmpty() || c.Before.endsWith('\n') ? 2 : 3))
        << after.toStdString();
    EXPECT_TRUE(after.startsWith(c.Before));
    EXPECT_TRUE(ParseReportLine(lines.at(lines.size() - 2)).has_value()) << "the record is a line of its own";
}

INSTANTIATE_TEST_SUITE_P(
    Reports, CliReportTrace,
    ::testing::Values(TTracedReport{"NewReport", QByteArray(), 1},
                      TTracedReport{"EmptyReport", QByteArray(""), 1},
                      TTracedReport{"ReportEndingInACutLine", QByteArray("{\"outcome\":\"compl"), 0}),
    [](const ::testing::TestParamInfo<TTracedReport> &info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------
// The file rewritten on the disk while the unit erases: the unit gets the bytes the run began
// with, and the record's size and SHA-256 are those of the bytes it got.

TEST(CliSentFile, AFileRewrittenDuringTheRunChangesNeitherTheUnitNorTheRecord)
{
    TSimUnit unit;
    ASSERT_TRUE(unit.Start(QStringLiteral("update-mode"), {QStringLiteral("--erase-time"), QStringLiteral("2500")}))
        << unit.Error.toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("T4200170.s19"));
    const QByteArray original = ReadAll(Sample("T4200170.s19"));
    const QByteArray other = ReadAll(Sample("T5800170.s19"));
    ASSERT_NE(original, other);
    ASSERT_TRUE(WriteFile(file, original));
    const QString report = dir.filePath(QStringLiteral("station.jsonl"));

    QProcess cli;
    cli.setProgram(CliPath());
    cli.setArguments(Unattended(file, unit.Path, report));
    cli.start();
    cli.closeWriteChannel();
    ASSERT_TRUE(cli.waitForStarted(5000));
    // The Begin question answered: the unit is being erased, nothing of the file sent yet.
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains("\"event\":\"answer\"") && t.elapsed() < 20000) {
        cli.waitForReadyRead(50);
        out += cli.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("\"event\":\"answer\"")) << out.toStdString();
    ASSERT_TRUE(WriteFile(file, other)); // rewritten in place, as a copy over it does
    ASSERT_TRUE(cli.waitForFinished(60000));
    unit.Stop();
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();

    ASSERT_TRUE(WriteFile(file, original));
    EXPECT_TRUE(unit.Record() == ExpectedRecord(QStringLiteral("update-mode"), file))
        << "the unit did not get the file the run began with";
    const QList<QByteArray> lines = ReadAll(report).split('\n');
    ASSERT_EQ(lines.size(), 2);
    const std::optional<TUpdateRecord> record = ParseReportLine(lines.first());
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->Outcome, "completed");
    EXPECT_EQ(record->FileSize, original.size());
    EXPECT_EQ(record->FileSha256, QString::fromLatin1(QCryptographicHash::hash(original, QCryptographicHash::Sha256).toHex()));
}

} // namespace
