#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <random>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "tests/updatefile/PipeRescue.h"
#include "tests/updatefile/SRecordText.h"
#include "updatefile/TextLineReader.h"

namespace {

constexpr qint64 Kept = TTextLineReader::MaxKeptLineLength;
constexpr qint64 Chunk = TTextLineReader::ChunkSize;

struct TRead {
    QByteArray Line;
    qint64 Full;
    bool Eof;
};

struct TReaderCase {
    const char *Name;
    QByteArray Content;
    std::vector<TRead> Reads; // every read up to and including the one that sets the mark
};

void PrintTo(const TReaderCase &c, std::ostream *os) { *os << c.Name; }

QByteArray X(qint64 n) { return QByteArray(qsizetype(n), 'x'); }

class TextLineReaderSemantics : public ::testing::TestWithParam<TReaderCase> {};

TEST_P(TextLineReaderSemantics, ReadsLinesLikeGetline)
{
    const TReaderCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("lines.txt");
    ASSERT_TRUE(SRecordText::WriteFile(path, c.Content));

    TTextLineReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_FALSE(reader.Eof());
    for (size_t i = 0; i < c.Reads.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "read " << i + 1);
        ASSERT_FALSE(reader.Eof()) << "end of file marked too early";
        QByteArray line("stale");
        qint64 full = -1;
        ASSERT_TRUE(reader.ReadLine(line, &full));
        EXPECT_EQ(line.size(), c.Reads[i].Line.size());
        EXPECT_TRUE(line == c.Reads[i].Line) << line.left(40).toStdString();
        EXPECT_EQ(full, c.Reads[i].Full);
        EXPECT_EQ(reader.Eof(), c.Reads[i].Eof);
    }
    EXPECT_TRUE(reader.Eof());
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextLineReaderSemantics,
    ::testing::Values(
        TReaderCase{"LfEndedLines", "A\nB\n", {{"A", 1, false}, {"B", 1, false}, {"", 0, true}}},
        TReaderCase{"LastLineWithoutLf", "A\nB", {{"A", 1, false}, {"B", 1, true}}},
        TReaderCase{"CrLfEndedLines", "A\r\nBC\r\n", {{"A", 1, false}, {"BC", 2, false}, {"", 0, true}}},
        TReaderCase{"LoneCrInsideLineKept", "A\rB\n", {{"A\rB", 3, false}, {"", 0, true}}},
        TReaderCase{"OnlyOneCrDropped", "A\r\r\n", {{"A\r", 2, false}, {"", 0, true}}},
        TReaderCase{"CrAtEndWithoutLfKept", "A\r", {{"A\r", 2, true}}},
        TReaderCase{"EmptyFile", "", {{"", 0, true}}},
        TReaderCase{"LoneLf", "\n", {{"", 0, false}, {"", 0, true}}},
        TReaderCase{"BlankLinesKept", "A\n\r\n\nB", {{"A", 1, false}, {"", 0, false}, {"", 0, false}, {"B", 1, true}}},
        TReaderCase{"NulBytesAreData", QByteArray("S0\0\0\n", 5), {{QByteArray("S0\0\0", 4), 4, false}, {"", 0, true}}},
        TReaderCase{"LongLineTruncated", X(Kept + 10) + "\r\nB", {{X(Kept), Kept + 10, false}, {"B", 1, true}}},
        TReaderCase{"LongLineCrBeyondKeptPart", X(Kept) + "\r\n", {{X(Kept), Kept, false}, {"", 0, true}}},
        TReaderCase{"CrLastByteOfBlock", X(Chunk - 1) + "\r\nB\n", {{X(Chunk - 1), Chunk - 1, false}, {"B", 1, false}, {"", 0, true}}},
        TReaderCase{"LfFirstByteOfBlock", X(Chunk) + "\nB", {{X(Chunk), Chunk, false}, {"B", 1, true}}},
        TReaderCase{"HugeLineWithoutLf", X(3 * Chunk + 5), {{X(Kept), 3 * Chunk + 5, true}}}),
    [](const auto &info) { return std::string(info.param.Name); });

// Many lines of every length, with both line ends, laid across block boundaries: the reader
// must give what a plain split gives.
TEST(TextLineReader, MatchesPlainSplitAcrossBlocks)
{
    std::mt19937 rng(4711);
    QByteArray content;
    QList<QByteArray> expected;
    while (content.size() < 5 * Chunk) {
        const int len = int(rng() % 700);
        QByteArray line(len, 'a');
        for (char &ch : line)
            ch = "S0123456789ABCDEF\r"[rng() % 18];
        if (!line.isEmpty() && line.back() == '\r')
            line.back() = 'E'; // a CR at the end would be taken for a line end
        content += line;
        content += (rng() % 2) ? "\r\n" : "\n";
        expected << line;
    }
    expected << QByteArray(); // the read that finds the end of the file

    QTemporaryDir dir;
    const QString path = dir.filePath("many.txt");
    ASSERT_TRUE(SRecordText::WriteFile(path, content));
    TTextLineReader reader(path);
    ASSERT_TRUE(reader.IsOpen());
    QList<QByteArray> got;
    QByteArray line;
    qint64 full = 0;
    while (!reader.Eof()) {
        ASSERT_TRUE(reader.ReadLine(line, &full));
        ASSERT_EQ(full, line.size());
        got << line;
    }
    ASSERT_EQ(got.size(), expected.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        ASSERT_TRUE(got[i] == expected[i]) << "line " << i + 1;
}

TEST(TextLineReader, OpensOnlyRegularFiles)
{
    QTemporaryDir dir;
    TTextLineReader reader;
    EXPECT_FALSE(reader.Open(QString()));
    EXPECT_FALSE(reader.Open(dir.filePath("missing.s19")));
    EXPECT_FALSE(reader.Open(dir.path())); // a directory
#ifdef Q_OS_UNIX
    const QString fifo = dir.filePath("pipe.s19");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    {
        const TPipeRescue rescue(QFile::encodeName(fifo));
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(reader.Open(fifo));
        EXPECT_LT(timer.elapsed(), 2000) << "waited for a writer on the pipe";
    }
    EXPECT_FALSE(reader.Open(QStringLiteral("/dev/zero")));
#endif
    EXPECT_FALSE(reader.IsOpen());
    QByteArray line;
    EXPECT_FALSE(reader.ReadLine(line)) << "reading an unopened file must fail";

    const QString file = dir.filePath("ok.s19");
    ASSERT_TRUE(SRecordText::WriteFile(file, "A\n"));
    EXPECT_TRUE(reader.Open(file));
    EXPECT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, QByteArray("A"));
    reader.Close();
    EXPECT_FALSE(reader.ReadLine(line));
    // Reopening starts afresh: the mark of the last file does not carry over.
    ASSERT_TRUE(reader.Open(file));
    EXPECT_FALSE(reader.Eof());
}

#ifdef Q_OS_LINUX
// A file that opens but cannot be read (reading this process's memory at address 0 fails).
TEST(TextLineReader, ReadFailureIsReported)
{
    TTextLineReader reader;
    ASSERT_TRUE(reader.Open(QStringLiteral("/proc/self/mem")));
    QByteArray line;
    EXPECT_FALSE(reader.ReadLine(line));
}
#endif

} // namespace
