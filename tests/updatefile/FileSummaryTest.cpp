#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "tests/updatefile/SRecordText.h"
#include "updatefile/FileSummary.h"

using namespace SRecordText;

namespace {

// What a summary of one small file must say (size and hash apart).
struct TExpected {
    qint64 Lines = 0;
    qint64 OtherLines = 0;
    QMap<QByteArray, int> Types;
    qint64 DataBytes = 0;
    std::optional<quint32> Lowest;
    std::optional<quint32> Highest;
    std::vector<qint64> BadChecksum;
    std::vector<qint64> Malformed;
};

struct TSummaryCase {
    const char *Name;
    QByteArray Content;
    TExpected Expected;
};

void PrintTo(const TSummaryCase &c, std::ostream *os) { *os << c.Name; }

// A 16-bit data record of 16 bytes at the address.
QByteArray S1At(quint32 address, int dataBytes = 16) { return Record("S1", 2, address, dataBytes, int(address)); }

// The record with its last checksum digit changed.
QByteArray WrongChecksum(QByteArray record)
{
    char &last = record.back();
    last = last == '0' ? '1' : '0';
    return record;
}

QByteArray Lower(const QByteArray &record) { return record.left(2) + record.mid(2).toLower(); }

// Padding that puts the CR of a record's CR LF on the last byte of the first 64 KiB, so that the
// LF comes with the next block the summary reads.
QByteArray CrLfAcrossBlocks()
{
    const QByteArray record = S1At(0x100);
    const qsizetype blockSize = 64 * 1024;
    const QByteArray padding = QByteArray(blockSize - record.size() - 2, 'x') + "\n";
    return padding + record + "\r\n" + End("S9") + "\n";
}

const QByteArray FileLf = Join({Header(), S1At(0x00), S1At(0x10), S1At(0x20), End("S9")});
const QByteArray FileCrLf = Join({Header(), S1At(0x00), S1At(0x10), S1At(0x20), End("S9")}, "\r\n");
const TExpected FileExpected{5, 0, {{"S0", 1}, {"S1", 3}, {"S9", 1}}, 48, 0x00, 0x2F, {}, {}};

class FileSummaryTable : public ::testing::TestWithParam<TSummaryCase> {};

TEST_P(FileSummaryTable, CountsAndDecodesTheRecords)
{
    const TSummaryCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("update.s19");
    ASSERT_TRUE(WriteFile(path, c.Content));

    const std::optional<TFileSummary> s = SummariseUpdateFile(path);
    ASSERT_TRUE(s.has_value());
    const TExpected &e = c.Expected;
    EXPECT_EQ(s->FileSize, c.Content.size());
    EXPECT_EQ(s->Lines, e.Lines);
    EXPECT_EQ(s->OtherLines, e.OtherLines);
    EXPECT_EQ(s->RecordsByType, e.Types);
    EXPECT_EQ(s->DataBytes, e.DataBytes);
    EXPECT_EQ(s->LowestAddress, e.Lowest);
    EXPECT_EQ(s->HighestAddress, e.Highest);
    EXPECT_EQ(s->BadChecksumLines, e.BadChecksum);
    EXPECT_EQ(s->MalformedLines, e.Malformed);
    EXPECT_EQ(s->Sha256Hex.size(), 64);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileSummaryTable,
    ::testing::Values(
        TSummaryCase{"EmptyFile", "", {}},
        TSummaryCase{"HeaderDataAndEndWithLf", FileLf, FileExpected},
        TSummaryCase{"SameFileWithCrLf", FileCrLf, FileExpected},
        TSummaryCase{"WrongChecksumStillCountsItsData",
                     Join({Header(), S1At(0x00), WrongChecksum(S1At(0x10)), End("S9")}),
                     {4, 0, {{"S0", 1}, {"S1", 2}, {"S9", 1}}, 32, 0x00, 0x1F, {3}, {}}},
        TSummaryCase{"EveryWrongChecksumNamed",
                     Join({WrongChecksum(S1At(0x00)), S1At(0x10), WrongChecksum(S1At(0x20))}),
                     {3, 0, {{"S1", 3}}, 48, 0x00, 0x2F, {1, 3}, {}}},
        TSummaryCase{"LowerCaseHexIsMalformed",
                     Join({Header(), Lower(S1At(0xA0)), S1At(0xB0), End("S9")}),
                     {4, 0, {{"S0", 1}, {"S1", 2}, {"S9", 1}}, 16, 0xB0, 0xBF, {}, {2}}},
        TSummaryCase{"LowerCaseTypeIsNoRecord", Join({"s1" + S1At(0x00).mid(2)}), {1, 1, {}, 0, {}, {}, {}, {}}},
        TSummaryCase{"OddNumberOfDigits", Join({S1At(0x00) + "0", S1At(0x10)}),
                     {2, 0, {{"S1", 2}}, 16, 0x10, 0x1F, {}, {1}}},
        TSummaryCase{"CountLongerThanTheLine", Join({S1At(0x00).chopped(2)}), {1, 0, {{"S1", 1}}, 0, {}, {}, {}, {1}}},
        TSummaryCase{"CountShorterThanTheLine", Join({S1At(0x00) + "00"}), {1, 0, {{"S1", 1}}, 0, {}, {}, {}, {1}}},
        TSummaryCase{"NonHexDigit", Join({S1At(0x00).left(20) + "G" + S1At(0x00).mid(21)}),
                     {1, 0, {{"S1", 1}}, 0, {}, {}, {}, {1}}},
        TSummaryCase{"CountTooSmallForTheAddress", Join({"S10200FD", "S2030000FC"}),
                     {2, 0, {{"S1", 1}, {"S2", 1}}, 0, {}, {}, {}, {1, 2}}},
        TSummaryCase{"TypeWithoutDigits", Join({"S1", "S5", "S"}), {3, 1, {{"S1", 1}, {"S5", 1}}, 0, {}, {}, {}, {1}}},
        TSummaryCase{"OverlongRecordLine", Join({"S1" + QByteArray(600, '0'), S1At(0x40)}),
                     {2, 0, {{"S1", 2}}, 16, 0x40, 0x4F, {}, {1}}},
        TSummaryCase{"AddressRangeAcrossS2AndS3",
                     Join({Header(), Record("S2", 3, 0x001000, 4), Record("S3", 4, 0x80000000, 16),
                           Record("S3", 4, 0x00020000, 8), End("S7")}),
                     {5, 0, {{"S0", 1}, {"S2", 1}, {"S3", 2}, {"S7", 1}}, 28, 0x1000, 0x8000000F, {}, {}}},
        TSummaryCase{"S1ReachesTheTopOfItsRange", Join({S1At(0xFFF0)}), {1, 0, {{"S1", 1}}, 16, 0xFFF0, 0xFFFF, {}, {}}},
        TSummaryCase{"S1RunsPastTheTopOfItsRange", Join({S1At(0xFFF1), S1At(0x0000, 1)}),
                     {2, 0, {{"S1", 2}}, 1, 0x0000, 0x0000, {}, {1}}},
        TSummaryCase{"S3AtTheLastAddress", Join({Record("S3", 4, 0xFFFFFFFF, 1)}),
                     {1, 0, {{"S3", 1}}, 1, 0xFFFFFFFF, 0xFFFFFFFF, {}, {}}},
        TSummaryCase{"S3PastTheLastAddress", Join({Record("S3", 4, 0xFFFFFFFF, 2)}),
                     {1, 0, {{"S3", 1}}, 0, {}, {}, {}, {1}}},
        TSummaryCase{"RecordsWithoutDataGiveNoRange", Join({Header(), S1At(0x50, 0), End("S9")}),
                     {3, 0, {{"S0", 1}, {"S1", 1}, {"S9", 1}}, 0, {}, {}, {}, {}}},
        TSummaryCase{"OtherRecordTypesAreNotDecoded", Join({"S0XYZ", WrongChecksum(End("S9"))}),
                     {2, 0, {{"S0", 1}, {"S9", 1}}, 0, {}, {}, {}, {}}},
        TSummaryCase{"LastLineWithoutLineEnd", Join({Header(), S1At(0x30)}, "\n", false),
                     {2, 0, {{"S0", 1}, {"S1", 1}}, 16, 0x30, 0x3F, {}, {}}},
        TSummaryCase{"BlankAndTextLines", "notes\n\n\r\n" + S1At(0x60) + "\n  \n",
                     {5, 4, {{"S1", 1}}, 16, 0x60, 0x6F, {}, {}}},
        // A CR without LF after it is part of the line, as the update reads the file: two
        // records joined by it are one line the unit could not take.
        TSummaryCase{"LoneCrStaysInsideTheLine", S1At(0x00) + "\r" + S1At(0x10) + "\n",
                     {1, 0, {{"S1", 1}}, 0, {}, {}, {}, {1}}},
        TSummaryCase{"CrAtTheEndOfTheFileStaysInsideTheLine", S1At(0x00) + "\r",
                     {1, 0, {{"S1", 1}}, 0, {}, {}, {}, {1}}},
        TSummaryCase{"OnlyTheCrBeforeTheLfIsDropped", S1At(0x00) + "\r\r\n", {1, 0, {{"S1", 1}}, 0, {}, {}, {}, {1}}},
        TSummaryCase{"CrLfSplitAcrossReadBlocks", CrLfAcrossBlocks(),
                     {3, 1, {{"S1", 1}, {"S9", 1}}, 16, 0x100, 0x10F, {}, {}}}),
    [](const auto &info) { return std::string(info.param.Name); });

struct THashCase {
    const char *Name;
    QByteArray Content;
    const char *Sha256; // from sha256sum
};

void PrintTo(const THashCase &c, std::ostream *os) { *os << c.Name; }

class FileSummaryHash : public ::testing::TestWithParam<THashCase> {};

TEST_P(FileSummaryHash, IsTheSha256OfTheExactBytes)
{
    const THashCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("known.s19");
    ASSERT_TRUE(WriteFile(path, c.Content));
    const std::optional<TFileSummary> s = SummariseUpdateFile(path);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->Sha256Hex.toStdString(), c.Sha256);
    EXPECT_EQ(s->FileSize, c.Content.size());
    EXPECT_EQ(s->Lines, 3);
    EXPECT_TRUE(s->BadChecksumLines.empty());
    EXPECT_TRUE(s->MalformedLines.empty());
    EXPECT_EQ(s->DataBytes, 3);
}

INSTANTIATE_TEST_SUITE_P(
    KnownContent, FileSummaryHash,
    ::testing::Values(
        THashCase{"LineFeeds", "S00600004844521B\nS1060000010203F3\nS9030000FC\n",
                  "064de94879e6c15a54a840fa991541af473cfc8a53fa6246a0000944e7aa6785"},
        THashCase{"CrLf", "S00600004844521B\r\nS1060000010203F3\r\nS9030000FC\r\n",
                  "7cfe8f0426771465a1ddd3ae6cce581f309117bf3742e4b6de4c2ebc50d791e1"},
        THashCase{"CrLfNoFinalLineEnd", "S00600004844521B\r\nS1060000010203F3\r\nS9030000FC",
                  "c81ca4920f804f28aad2805cdfa17837372d134196868f6903915c3a6a6f9ec1"}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(FileSummary, EmptyFileHasTheHashOfNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.s19");
    ASSERT_TRUE(WriteFile(path, ""));
    const std::optional<TFileSummary> s = SummariseUpdateFile(path);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->Sha256Hex, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(s->FileSize, 0);
    EXPECT_EQ(s->Lines, 0);
    EXPECT_TRUE(s->RecordsByType.isEmpty());
}

TEST(FileSummary, NothingForWhatIsNoReadableFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.s19"));
    for (const QString &path : {dir.filePath("missing.s19"), dir.filePath("folder.s19"), QString()}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(SummariseUpdateFile(path).has_value());
    }
}

} // namespace

namespace {

// Lines with a problem beyond the listed ones are counted, not kept; the copy taken in the same
// read is the file byte for byte.
TEST(FileSummaryProblemLines, AreAllCountedAndTheFirstListed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("many.s19");
    const qint64 bad = qint64(TFileSummary::ListedLines) + 150;
    QByteArray content;
    for (qint64 i = 0; i < bad; ++i)
        content += "S1zz\n" + WrongChecksum(S1At(quint32(16 * i))) + "\n";
    ASSERT_TRUE(WriteFile(path, content));
    const QString copy = dir.filePath("copy.s19");
    const std::optional<TFileSummary> s = SummariseAndCopyUpdateFile(path, copy, nullptr);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->MalformedCount, bad);
    EXPECT_EQ(s->BadChecksumCount, bad);
    ASSERT_EQ(s->MalformedLines.size(), TFileSummary::ListedLines);
    ASSERT_EQ(s->BadChecksumLines.size(), TFileSummary::ListedLines);
    EXPECT_EQ(s->MalformedLines.front(), 1);
    EXPECT_EQ(s->BadChecksumLines.back(), 2 * qint64(TFileSummary::ListedLines));
    QFile copied(copy);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), content);
    // A name that is taken is not written over.
    QString why;
    EXPECT_FALSE(SummariseAndCopyUpdateFile(path, copy, &why).has_value());
    EXPECT_FALSE(why.isEmpty());
}

} // namespace
