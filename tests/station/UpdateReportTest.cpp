#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <thread>

#include "station/DurableFile.h"
#include "station/UpdateReport.h"

namespace {

QDateTime Utc(const char *iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs); }

// A record with every field set, none at its default.
TUpdateRecord FullRecord()
{
    TUpdateRecord r;
    r.Start = Utc("2026-12-08T21:52:41.007Z");
    r.End = Utc("2026-12-08T21:53:54.123Z");
    r.UnitCode = 12;
    r.UnitName = QStringLiteral("TVR-4200");
    r.Port = QStringLiteral("ttyUSB0");
    r.AdapterDescription = QStringLiteral("FT232R USB UART");
    r.AdapterSerialNumber = QStringLiteral("A50285BI");
    r.AdapterByIdLink = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    r.FilePath = QStringLiteral("/srv/firmware/T42 v2.1 \u00e9dition.s19");
    r.FileSize = 5'000'000'123; // beyond 32 bits
    r.FileSha256 = QStringLiteral("eb59a9a6d50d021370a051054f7acf275dedac4cae235217d1fdcdaf8b236647");
    r.FileRecords = 1234;
    r.Acknowledged = 1236;
    r.AcknowledgedUnit = QStringLiteral("lines");
    r.Outcome = QStringLiteral("unit-rejected");
    r.OutcomeDetail = QStringLiteral("unit rejected: 'C'");
    r.UnitError = QStringLiteral("C");
    r.LastStatus = QStringLiteral("Checksum error.  Update failed. ");
    r.Retries = 3;
    r.DurationMs = 73116;
    r.VarnelVersion = QStringLiteral("1.70");
    r.Host = QStringLiteral("bench-2");
    return r;
}

void ExpectSameRecord(const TUpdateRecord &a, const TUpdateRecord &b)
{
    EXPECT_EQ(a.Start, b.Start);
    EXPECT_EQ(a.End, b.End);
    EXPECT_EQ(a.UnitCode, b.UnitCode);
    EXPECT_EQ(a.UnitName, b.UnitName);
    EXPECT_EQ(a.Port, b.Port);
    EXPECT_EQ(a.AdapterDescription, b.AdapterDescription);
    EXPECT_EQ(a.AdapterSerialNumber, b.AdapterSerialNumber);
    EXPECT_EQ(a.AdapterByIdLink, b.AdapterByIdLink);
    EXPECT_EQ(a.FilePath, b.FilePath);
    EXPECT_EQ(a.FileSize, b.FileSize);
    EXPECT_EQ(a.FileSha256, b.FileSha256);
    EXPECT_EQ(a.FileRecords, b.FileRecords);
    EXPECT_EQ(a.Acknowledged, b.Acknowledged);
    EXPECT_EQ(a.AcknowledgedUnit, b.AcknowledgedUnit);
    EXPECT_EQ(a.Outcome, b.Outcome);
    EXPECT_EQ(a.OutcomeDetail, b.OutcomeDetail);
    EXPECT_EQ(a.UnitError, b.UnitError);
    EXPECT_EQ(a.LastStatus, b.LastStatus);
    EXPECT_EQ(a.Retries, b.Retries);
    EXPECT_EQ(a.DurationMs, b.DurationMs);
    EXPECT_EQ(a.VarnelVersion, b.VarnelVersion);
    EXPECT_EQ(a.Host, b.Host);
}

bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The report printed, its two streams and the exit code.
struct TPrinted {
    int Code;
    QString Out;
    QString Err;
};

TPrinted Print(const QString &path, bool csv)
{
    TPrinted p{};
    QTextStream out(&p.Out);
    QTextStream err(&p.Err);
    p.Code = PrintReport(path, csv, out, err);
    out.flush();
    err.flush();
    return p;
}

// Reads CSV as RFC 4180 writes it: fields in double quotes may hold commas, line ends and
// doubled quotes.
std::vector<QStringList> ParseCsv(const QString &text)
{
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
            any = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            any = true;
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows.push_back(row);
            row.clear();
            field.clear();
            any = false;
        } else if (c != QLatin1Char('\r')) {
            field += c;
            any = true;
        }
    }
    if (any)
        rows.push_back(row << field);
    return rows;
}

TEST(UpdateReportLine, FullRecordRoundTrips)
{
    const TUpdateRecord r = FullRecord();
    const QByteArray line = ReportLine(r);
    EXPECT_FALSE(line.contains('\n'));
    const std::optional<TUpdateRecord> back = ParseReportLine(line);
    ASSERT_TRUE(back.has_value()) << line.toStdString();
    ExpectSameRecord(r, *back);
}

TEST(UpdateReportLine, LineEndsAndQuotesInTextsStayOneLine)
{
    TUpdateRecord r = FullRecord();
    r.LastStatus = QStringLiteral("first\nsecond\r\nthird \"quoted\", \\ and\ttab");
    const QByteArray line = ReportLine(r);
    EXPECT_FALSE(line.contains('\n'));
    EXPECT_FALSE(line.contains('\r'));
    const std::optional<TUpdateRecord> back = ParseReportLine(line);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->LastStatus, r.LastStatus);
}

// Where each field of a record stands in the line, and how it is written.
struct TFieldCase {
    const char *Object; // "" for the top level
    const char *Name;
    QJsonValue Expected;
};

void PrintTo(const TFieldCase &c, std::ostream *os) { *os << c.Object << "." << c.Name; }

class UpdateReportFields : public ::testing::TestWithParam<TFieldCase> {};

TEST_P(UpdateReportFields, CarryTheirNamesAndForms)
{
    const TFieldCase &c = GetParam();
    const QJsonDocument doc = QJsonDocument::fromJson(ReportLine(FullRecord()));
    ASSERT_TRUE(doc.isObject());
    QJsonObject o = doc.object();
    if (*c.Object)
        o = o.value(QLatin1String(c.Object)).toObject();
    ASSERT_TRUE(o.contains(QLatin1String(c.Name)));
    EXPECT_EQ(o.value(QLatin1String(c.Name)), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, UpdateReportFields,
    ::testing::Values(
        TFieldCase{"", "start", QStringLiteral("2026-12-08T21:52:41.007Z")},
        TFieldCase{"", "end", QStringLiteral("2026-12-08T21:53:54.123Z")},
        TFieldCase{"", "unitCode", 12},
        TFieldCase{"", "unit", QStringLiteral("TVR-4200")},
        TFieldCase{"", "port", QStringLiteral("ttyUSB0")},
        TFieldCase{"adapter", "description", QStringLiteral("FT232R USB UART")},
        TFieldCase{"adapter", "serialNumber", QStringLiteral("A50285BI")},
        TFieldCase{"adapter", "byIdLink", QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0")},
        TFieldCase{"file", "path", QStringLiteral("/srv/firmware/T42 v2.1 \u00e9dition.s19")},
        TFieldCase{"file", "size", qint64(5'000'000'123)},
        TFieldCase{"file", "sha256", QStringLiteral("eb59a9a6d50d021370a051054f7acf275dedac4cae235217d1fdcdaf8b236647")},
        TFieldCase{"file", "records", 1234},
        TFieldCase{"", "acknowledged", 1236},
        TFieldCase{"", "acknowledgedUnit", QStringLiteral("lines")},
        TFieldCase{"", "outcome", QStringLiteral("unit-rejected")},
        TFieldCase{"", "detail", QStringLiteral("unit rejected: 'C'")},
        TFieldCase{"", "unitError", QStringLiteral("C")},
        TFieldCase{"", "lastStatus", QStringLiteral("Checksum error.  Update failed. ")},
        TFieldCase{"", "retries", 3},
        TFieldCase{"", "durationMs", 73116},
        TFieldCase{"", "version", QStringLiteral("1.70")},
        TFieldCase{"", "host", QStringLiteral("bench-2")}),
    [](const auto &info) {
        return std::string(*info.param.Object ? info.param.Object : "top") + "_" + info.param.Name;
    });

TEST(UpdateReportLine, TimesAreWrittenInUtc)
{
    TUpdateRecord r = FullRecord();
    r.Start = QDateTime(QDate(2026, 12, 8), QTime(23, 52, 41, 7), QTimeZone(2 * 3600));
    r.End = QDateTime();
    const QJsonObject o = QJsonDocument::fromJson(ReportLine(r)).object();
    EXPECT_EQ(o.value(QLatin1String("start")).toString(), QStringLiteral("2026-12-08T21:52:41.007Z"));
    EXPECT_TRUE(o.value(QLatin1String("end")).isNull());
    const std::optional<TUpdateRecord> back = ParseReportLine(ReportLine(r));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->Start, Utc("2026-12-08T21:52:41.007Z"));
    EXPECT_EQ(back->Start.timeSpec(), Qt::UTC);
    EXPECT_FALSE(back->End.isValid());
}

struct TNotARecordCase {
    const char *Name;
    QByteArray Line;
};

void PrintTo(const TNotARecordCase &c, std::ostream *os) { *os << c.Name; }

class UpdateReportNotARecord : public ::testing::TestWithParam<TNotARecordCase> {};

TEST_P(UpdateReportNotARecord, IsRefused)
{
    EXPECT_FALSE(ParseReportLine(GetParam().Line).has_value()) << GetParam().Line.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UpdateReportNotARecord,
    ::testing::Values(
        TNotARecordCase{"Empty", ""},
        TNotARecordCase{"Garbage", "S1130000285F245F2212226A000424290008237C2A"},
        TNotARecordCase{"HalfARecord", ReportLine(FullRecord()).left(100)},
        TNotARecordCase{"AnArray", "[{\"outcome\":\"completed\"}]"},
        TNotARecordCase{"NoOutcome", "{\"unitCode\":12}"},
        TNotARecordCase{"OutcomeNotText", "{\"outcome\":5}"},
        TNotARecordCase{"NumberAsText", "{\"outcome\":\"completed\",\"retries\":\"3\"}"},
        TNotARecordCase{"FractionForACount", "{\"outcome\":\"completed\",\"acknowledged\":1.5}"},
        TNotARecordCase{"UnitCodeTooLarge", "{\"outcome\":\"completed\",\"unitCode\":99999999999}"},
        TNotARecordCase{"TextAsNumber", "{\"outcome\":\"completed\",\"port\":7}"},
        TNotARecordCase{"NoTime", "{\"outcome\":\"completed\",\"start\":\"yesterday\"}"},
        TNotARecordCase{"AdapterNotAnObject", "{\"outcome\":\"completed\",\"adapter\":\"FT232R\"}"},
        TNotARecordCase{"FileSizeAsText", "{\"outcome\":\"completed\",\"file\":{\"size\":\"big\"}}"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(UpdateReportLine, SmallestRecordAndWindowsLineEndAreRead)
{
    const std::optional<TUpdateRecord> r = ParseReportLine("{\"outcome\":\"stopped\"}\r");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->Outcome, QStringLiteral("stopped"));
    EXPECT_FALSE(r->Start.isValid());
}

TEST(UpdateReportCsv, QuotesCommasAndLineEndsSurvive)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.jsonl");
    TUpdateRecord tricky = FullRecord();
    tricky.LastStatus = QStringLiteral("He said \"stop\", then\nleft,\r\n\"twice\"");
    tricky.Port = QStringLiteral("COM3,B");
    const TUpdateRecord plain = FullRecord();
    QString error;
    ASSERT_TRUE(AppendReportLine(path, ReportLine(tricky), &error)) << error.toStdString();
    ASSERT_TRUE(AppendReportLine(path, ReportLine(plain), &error)) << error.toStdString();

    const TPrinted p = Print(path, true);
    EXPECT_EQ(p.Code, 0);
    EXPECT_TRUE(p.Err.isEmpty()) << p.Err.toStdString();
    const std::vector<QStringList> rows = ParseCsv(p.Out);
    ASSERT_EQ(rows.size(), 3u) << p.Out.toStdString();
    const QStringList &header = rows[0];
    EXPECT_EQ(header.size(), 22);
    for (const QStringList &row : rows)
        EXPECT_EQ(row.size(), header.size()) << row.join('|').toStdString();
    const auto at = [&](const QStringList &row, const char *name) { return row.value(header.indexOf(QLatin1String(name))); };
    EXPECT_EQ(at(rows[1], "lastStatus"), tricky.LastStatus);
    EXPECT_EQ(at(rows[1], "port"), QStringLiteral("COM3,B"));
    EXPECT_EQ(at(rows[2], "lastStatus"), plain.LastStatus);
    EXPECT_EQ(at(rows[2], "detail"), QStringLiteral("unit rejected: 'C'"));
    EXPECT_EQ(at(rows[2], "fileSize"), QStringLiteral("5000000123"));
    EXPECT_EQ(at(rows[2], "end"), QStringLiteral("2026-12-08T21:53:54.123Z"));
    EXPECT_EQ(at(rows[2], "adapterSerialNumber"), QStringLiteral("A50285BI"));
}

TEST(UpdateReportTable, GarbageAndAHalfLineAreNamedAndSkipped)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.jsonl");
    TUpdateRecord second = FullRecord();
    second.Port = QStringLiteral("ttyACM12");
    second.AdapterSerialNumber.clear();
    second.Outcome = QStringLiteral("completed");
    second.OutcomeDetail = QStringLiteral("completed");
    second.Acknowledged = 7;
    second.AcknowledgedUnit = QStringLiteral("records");
    second.DurationMs = 123456;
    ASSERT_TRUE(WriteFile(path, ReportLine(FullRecord()) + "\nnot json at all\n\n" + ReportLine(second) + "\n"
                                    + ReportLine(FullRecord()).left(80)));

    const TPrinted p = Print(path, false);
    EXPECT_EQ(p.Code, 0);
    EXPECT_EQ(p.Err, QStringLiteral("line 2 is not a record\nline 5 is not a record\n"));
    const QStringList lines = p.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << p.Out.toStdString();

    // Every column starts where its title starts, and every row has a cell there.
    const QStringList titles{"End", "Port", "Adapter", "Unit", "Outcome", "Acknowledged", "Duration", "File"};
    std::vector<qsizetype> starts;
    for (const QString &t : titles) {
        const qsizetype at = lines[0].indexOf(t);
        ASSERT_GE(at, 0) << t.toStdString();
        starts.push_back(at);
    }
    ASSERT_TRUE(std::is_sorted(starts.begin(), starts.end()));
    const std::vector<QStringList> cells{
        {"2026-12-08 21:53:54Z", "ttyUSB0", "A50285BI", "TVR-4200", "unit rejected: 'C'", "1236 lines", "73.1 s",
         QDir::toNativeSeparators(FullRecord().FilePath)},
        {"2026-12-08 21:53:54Z", "ttyACM12", "-", "TVR-4200", "completed", "7 records", "123.5 s",
         QDir::toNativeSeparators(FullRecord().FilePath)}}; // the file as the system writes paths
    for (size_t row = 0; row < cells.size(); ++row) {
        const QString &line = lines[qsizetype(row) + 1];
        EXPECT_FALSE(line.endsWith(QLatin1Char(' ')));
        for (size_t col = 0; col < starts.size(); ++col) {
            SCOPED_TRACE(testing::Message() << "row " << row + 1 << ", " << titles[qsizetype(col)].toStdString());
            EXPECT_EQ(line.mid(starts[col], cells[row][qsizetype(col)].size()), cells[row][qsizetype(col)]);
            if (col > 0) {
                EXPECT_EQ(line.at(starts[col] - 1), QLatin1Char(' '));
            }
        }
    }
}

// Garbage of any amount: a line longer than any record and many short ones are skipped, the
// first hundred named and the rest counted, and the records around them still printed.
TEST(UpdateReportTable, MuchGarbageIsCountedAndTheRecordsAroundItPrinted)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.jsonl");
    QByteArray content = QByteArray(3 * 1024 * 1024, 'x') + "\n" + ReportLine(FullRecord()) + "\n";
    for (int i = 0; i < 150; ++i)
        content += "garbage\n";
    content += ReportLine(FullRecord());
    ASSERT_TRUE(WriteFile(path, content));
    for (bool csv : {false, true}) {
        SCOPED_TRACE(csv ? "csv" : "table");
        const TPrinted p = Print(path, csv);
        EXPECT_EQ(p.Code, 0);
        EXPECT_EQ(p.Out.count(QLatin1Char('\n')), 3) << "a header and two rows";
        const QStringList complaints = p.Err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(complaints.size(), 101);
        EXPECT_EQ(complaints.first(), QStringLiteral("line 1 is not a record"));
        EXPECT_EQ(complaints.at(99), QStringLiteral("line 101 is not a record"));
        EXPECT_TRUE(complaints.last().startsWith(QStringLiteral("51 "))) << complaints.last().toStdString();
    }
}

TEST(UpdateReportTable, LineEndsInATextDoNotBreakTheRow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.jsonl");
    TUpdateRecord r = FullRecord();
    r.OutcomeDetail = QStringLiteral("unit rejected:\n'C'");
    ASSERT_TRUE(WriteFile(path, ReportLine(r) + "\n"));
    const TPrinted p = Print(path, false);
    EXPECT_EQ(p.Code, 0);
    EXPECT_EQ(p.Out.count(QLatin1Char('\n')), 2);
    EXPECT_TRUE(p.Out.contains(QStringLiteral("unit rejected: 'C'")));
}

TEST(UpdateReportTable, WhatCannotBeReadEndsWithExitFour)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.jsonl"));
    for (const char *name : {"missing.jsonl", "folder.jsonl"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QLatin1String(name));
        for (bool csv : {false, true}) {
            const TPrinted p = Print(path, csv);
            EXPECT_EQ(p.Code, 4);
            EXPECT_TRUE(p.Out.isEmpty());
            EXPECT_TRUE(p.Err.contains(QDir::toNativeSeparators(path))) << p.Err.toStdString();
            EXPECT_EQ(p.Err.count(QLatin1Char('\n')), 1);
        }
    }
}

TEST(UpdateReportAppend, LinesFollowEachOtherWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.jsonl");
    TUpdateRecord first = FullRecord();
    TUpdateRecord second = FullRecord();
    second.Host = QStringLiteral("bench-3");
    QString error;
    ASSERT_TRUE(AppendReportLine(path, ReportLine(first), &error)) << error.toStdString();
    ASSERT_TRUE(AppendReportLine(path, ReportLine(second), &error)) << error.toStdString();
    EXPECT_EQ(ReadFile(path), ReportLine(first) + "\n" + ReportLine(second) + "\n");
}

TEST(UpdateReportAppend, ALineCutShortIsNotGluedToTheNext)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.jsonl");
    const QByteArray cut = ReportLine(FullRecord()).left(90);
    ASSERT_TRUE(WriteFile(path, cut));
    QString error;
    ASSERT_TRUE(AppendReportLine(path, ReportLine(FullRecord()), &error)) << error.toStdString();
    EXPECT_EQ(ReadFile(path), cut + "\n" + ReportLine(FullRecord()) + "\n");

    const TPrinted p = Print(path, true);
    EXPECT_EQ(p.Err, QStringLiteral("line 1 is not a record\n"));
    EXPECT_EQ(ParseCsv(p.Out).size(), 2u);
}

// The check before a run: it says whether the report can take lines and leaves nothing behind.
TEST(UpdateReportAppend, TheCheckBeforeARunCreatesNothing)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath("existing.jsonl");
    ASSERT_TRUE(WriteFile(existing, "x"));
    const struct {
        QString Path;
        bool Appendable;
    } cases[] = {{existing, true},
                 {dir.filePath("new.jsonl"), true},
                 {dir.filePath("no-folder/new.jsonl"), false},
                 {dir.path(), false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QString error;
        EXPECT_EQ(CanAppendTo(c.Path, &error), c.Appendable) << error.toStdString();
        EXPECT_EQ(error.isEmpty(), c.Appendable) << error.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    }
    EXPECT_EQ(ReadFile(existing), "x");
}

TEST(UpdateReportAppend, ConcurrentAppendersKeepEveryLineWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.jsonl");
    constexpr int PerWriter = 200;
    std::vector<QString> failures(2);
    const auto writer = [&](int id) {
        for (int i = 0; i < PerWriter; ++i) {
            TUpdateRecord r = FullRecord();
            r.Host = QStringLiteral("writer-%1").arg(id);
            r.Retries = i;
            // Lines of different lengths, long enough that a torn write would show.
            r.LastStatus = QString(200 + 37 * (i % 11), QLatin1Char('a' + id));
            QString error;
            if (!AppendReportLine(path, ReportLine(r), &error))
                failures[size_t(id)] = error;
        }
    };
    std::thread a(writer, 0);
    std::thread b(writer, 1);
    a.join();
    b.join();
    EXPECT_TRUE(failures[0].isEmpty()) << failures[0].toStdString();
    EXPECT_TRUE(failures[1].isEmpty()) << failures[1].toStdString();

    const QByteArray content = ReadFile(path);
    ASSERT_TRUE(content.endsWith('\n'));
    const QList<QByteArray> lines = content.chopped(1).split('\n');
    ASSERT_EQ(lines.size(), 2 * PerWriter);
    QSet<QString> seen;
    for (const QByteArray &line : lines) {
        const std::optional<TUpdateRecord> r = ParseReportLine(line);
        ASSERT_TRUE(r.has_value()) << line.left(120).toStdString();
        const int id = r->Host == QStringLiteral("writer-1") ? 1 : 0;
        EXPECT_EQ(r->LastStatus, QString(200 + 37 * (r->Retries % 11), QLatin1Char('a' + id)));
        seen.insert(r->Host + QLatin1Char('/') + QString::number(r->Retries));
    }
    EXPECT_EQ(seen.size(), 2 * PerWriter);
}

TEST(UpdateReportAppend, AFolderThatDoesNotExistGivesFalseAndAReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("no-such-folder/report.jsonl");
    QString error;
    EXPECT_FALSE(AppendReportLine(path, ReportLine(FullRecord()), &error));
    EXPECT_TRUE(error.contains(QDir::toNativeSeparators(path))) << error.toStdString();
    EXPECT_FALSE(error.contains(QLatin1Char('\n')));
    EXPECT_FALSE(QFile::exists(path));

    error.clear();
    EXPECT_FALSE(AppendWhole(QString(), "x\n", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(UpdateReportAppend, ARecordOfTwoLinesIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("report.jsonl");
    for (const QByteArray &line : {QByteArray("{\"outcome\":\"completed\"}\n{\"outcome\":\"stopped\"}"),
                                   QByteArray("{\"outcome\":\"completed\"}\r")}) {
        QString error;
        EXPECT_FALSE(AppendReportLine(path, line, &error));
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
