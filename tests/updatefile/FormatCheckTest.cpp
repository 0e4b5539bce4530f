#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "seriallink/LinkPrimitives.h"
#include "tests/support/RecordingSurface.h"
#include "tests/updatefile/PipeRescue.h"
#include "tests/updatefile/SRecordText.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/VirtualClock.h"
#include "updatefile/FileTexts.h"
#include "updatefile/FormatCheck.h"

using namespace SRecordText;
using V = TRecordVariant;

namespace {

// What the technician sees at the end of a check.
enum class TSeenEnd {
    Valid,       // "Checking..." only, no box
    FormatBox,   // "Problem with update file format." and the format error box
    LimitBox,    // "Problem with update file format." and the limit box
    Silent,      // "Problem with update file format." and no box
    Stopped,     // "Checking..." only, no box, result 0
    ReadError,   // "Problem reading update file." and the file error box
    Unexpected,  // "Checking..." only, no box, the file warning label set
};

// Everything a check runs with.
struct TRig {
    TVirtualClock Clock;
    TInProcessPort Port{Clock};
    TWizardState State;
    TRecordingSurface Surface{&Clock};
    TLink Link{Surface, Port, Clock, State};
};

struct TCheckCase {
    const char *Name;
    V Variant;
    std::function<QByteArray()> Content; // unset: no file is written
    int Result;
    TSeenEnd End;
    int Pumps = -1; // lines read (one pass of window events before each); -1: not checked
    std::function<void(TRig &, const QString &path)> Arrange = {};
};

void PrintTo(const TCheckCase &c, std::ostream *os) { *os << c.Name; }

QStringList ExpectedStatuses(TSeenEnd end)
{
    switch (end) {
    case TSeenEnd::Valid:
    case TSeenEnd::Stopped:
    case TSeenEnd::Unexpected: return {FileTexts::CheckingFormat};
    case TSeenEnd::FormatBox:
    case TSeenEnd::LimitBox:
    case TSeenEnd::Silent: return {FileTexts::CheckingFormat, FileTexts::ProblemFormat};
    case TSeenEnd::ReadError: return {FileTexts::CheckingFormat, FileTexts::ProblemReading};
    }
    return {};
}

QStringList ExpectedBoxes(TSeenEnd end)
{
    const QString sep = QStringLiteral(": ");
    switch (end) {
    case TSeenEnd::FormatBox: return {FileTexts::FormatErrorTitle + sep + FileTexts::FormatErrorText};
    case TSeenEnd::LimitBox: return {FileTexts::FormatErrorTitle + sep + FileTexts::LimitText};
    case TSeenEnd::ReadError: return {FileTexts::FileErrorTitle + sep + FileTexts::CouldNotBeRead};
    default: return {};
    }
}

// Why the check gave its count, as the flows learn it, for what the technician saw.
TFormatVerdict VerdictOf(TSeenEnd end)
{
    switch (end) {
    case TSeenEnd::Valid: return TFormatVerdict::Usable;
    case TSeenEnd::FormatBox:
    case TSeenEnd::LimitBox:
    case TSeenEnd::Silent: return TFormatVerdict::NotValid;
    case TSeenEnd::Stopped: return TFormatVerdict::Stopped;
    case TSeenEnd::ReadError: return TFormatVerdict::Unreadable;
    case TSeenEnd::Unexpected: return TFormatVerdict::Failed;
    }
    return TFormatVerdict::Failed;
}

// Runs the check on the case's file and compares everything the technician saw, and the
// verdict (by default the one that goes with what was seen).
void RunAndCompare(TRig &rig, V variant, int result, TSeenEnd end, int pumps = -1,
                   std::optional<TFormatVerdict> verdict = std::nullopt)
{
    const TFormatCheckResult got = CheckUpdateFileFormatWithVerdict(rig.Link.Surface, rig.Link.State, variant);
    EXPECT_EQ(got.Records, result);
    EXPECT_EQ(int(got.Verdict), int(verdict.value_or(VerdictOf(end))));
    EXPECT_EQ(rig.Surface.Statuses(), ExpectedStatuses(end));
    EXPECT_EQ(rig.Surface.Boxes(), ExpectedBoxes(end));
    for (const TSeen &seen : rig.Surface.Seen) {
        if (seen.What == TSeen::Report) {
            EXPECT_EQ(seen.Icon, TBoxIcon::Warning);
        }
    }
    EXPECT_EQ(rig.Surface.FileWarning, end == TSeenEnd::Unexpected ? FileTexts::FileNotFound : QString());
    if (pumps >= 0) {
        EXPECT_EQ(rig.Surface.PumpCount, pumps);
    }
}

class UpdateFileFormatCheck : public ::testing::TestWithParam<TCheckCase> {};

TEST_P(UpdateFileFormatCheck, ResultStatusAndBoxes)
{
    const TCheckCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("T420170.S19");
    if (c.Content) {
        ASSERT_TRUE(WriteFile(path, c.Content()));
    }
    TRig rig;
    rig.Surface.FileName = path;
    if (c.Arrange)
        c.Arrange(rig, path);
    RunAndCompare(rig, c.Variant, c.Result, c.End, c.Pumps);
}

// --- file contents ---

QByteArray ThreeS3() { return Join(Lines("S3", "S7", 3)); }

QByteArray S1File(const QByteArray &dataLine)
{
    return Join({Header(), Data("S1", 0), dataLine, Data("S1", 2), End("S9")});
}

// A 16-bit data line of 0x13 bytes (2 address, 16 data, 1 checksum) is 42 characters long;
// change the data part to make it shorter or longer while the count stays 13.
QByteArray Count13Line(int extraChars)
{
    QByteArray line = Data("S1", 1, 16);
    if (line.mid(2, 2) != "13")
        return {};
    if (extraChars < 0)
        line.chop(-extraChars);
    else
        line.append(QByteArray(extraChars, '0'));
    return line;
}

QByteArray LinesBefore(int n)
{
    QList<QByteArray> lines;
    for (int i = 0; i < n; ++i)
        lines << (i % 3 == 0 ? QByteArray() : QByteArray("comment line ") + QByteArray::number(i));
    return Join(lines + Lines("S2", "S8", 2));
}

QByteArray Garbage()
{
    QByteArray bytes(256 * 1024, '\0');
    quint32 x = 12345;
    for (char &b : bytes) {
        x = x * 1103515245u + 12345u;
        b = char(x >> 24);
        if (b == 'S')
            b = 's'; // keeps every line from looking like a header
    }
    return bytes;
}

void StopAtPump(TRig &rig, int pump)
{
    rig.Surface.OnPump = [&rig, pump] {
        if (rig.Surface.PumpCount == pump)
            rig.State.StopRequested = true;
    };
}

using E = TSeenEnd;

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateFileFormatCheck,
    ::testing::Values(
        TCheckCase{"S3File32Bit", V::Addr32, ThreeS3, 4, E::Valid, 5},
        TCheckCase{"S3File24Bit", V::Addr24, ThreeS3, 0, E::FormatBox, 2},
        TCheckCase{"S2File", V::Addr24, [] { return Join(Lines("S2", "S8", 5)); }, 6, E::Valid, 7},
        TCheckCase{"S1File", V::Addr16, [] { return Join(Lines("S1", "S9", 1)); }, 2, E::Valid, 3},
        TCheckCase{"OtherVariantsEndRecord", V::Addr32, [] { return Join(Lines("S3", "S9", 2)); }, 0, E::FormatBox},
        TCheckCase{"TwoLinesBeforeHeader", V::Addr24, [] { return LinesBefore(2); }, 3, E::Valid, 6},
        TCheckCase{"ThirtyLinesBeforeHeader", V::Addr24, [] { return LinesBefore(30); }, 3, E::Valid, 34},
        TCheckCase{"ThirtyOneLinesBeforeHeader", V::Addr24, [] { return LinesBefore(31); }, 0, E::FormatBox, 31},
        TCheckCase{"NoHeaderAtAll", V::Addr16, [] { return Join({Data("S1", 0), End("S9")}); }, 0, E::FormatBox, 3},
        TCheckCase{"HeaderOnlyWithLf", V::Addr16, [] { return Join({Header()}); }, 0, E::FormatBox, 2},
        TCheckCase{"HeaderOnlyWithoutLf", V::Addr16, [] { return Header(); }, 0, E::Silent, 1},
        TCheckCase{"EmptyFile", V::Addr16, [] { return QByteArray(); }, 0, E::FormatBox, 1},
        TCheckCase{"Count13At42Characters", V::Addr16, [] { return S1File(Count13Line(0)); }, 4, E::Valid},
        TCheckCase{"Count13At40Characters", V::Addr16, [] { return S1File(Count13Line(-2)); }, 0, E::FormatBox, 3},
        TCheckCase{"Count13At44Characters", V::Addr16, [] { return S1File(Count13Line(2)); }, 0, E::FormatBox, 3},
        TCheckCase{"LowerCaseCount", V::Addr16,
                   [] { QByteArray l = Data("S1", 1, 23); l.replace(2, 2, "1a"); return S1File(l); }, 0, E::FormatBox},
        TCheckCase{"UpperCaseCountOfSameLine", V::Addr16, [] { return S1File(Data("S1", 1, 23)); }, 4, E::Valid},
        TCheckCase{"NonHexCount", V::Addr16,
                   [] { QByteArray l = Data("S1", 1, 16); l.replace(2, 2, "G3"); return S1File(l); }, 0, E::FormatBox},
        TCheckCase{"TenCharacterRecord", V::Addr16, [] { return S1File(Data("S1", 1, 0)); }, 0, E::FormatBox, 3},
        TCheckCase{"TwelveCharacterRecord", V::Addr16, [] { return S1File(Data("S1", 1, 1)); }, 4, E::Valid},
        TCheckCase{"ShortLineWithBigCount", V::Addr16, [] { return S1File("S1FF00"); }, 0, E::FormatBox},
        TCheckCase{"BlankLineBetweenRecords", V::Addr16,
                   [] { return Join({Header(), Data("S1", 0), "", Data("S1", 1), End("S9")}); }, 0, E::FormatBox, 3},
        TCheckCase{"BlankLineAfterEndNeverRead", V::Addr16,
                   [] { return Join(Lines("S1", "S9", 2) + QList<QByteArray>{"", "trailing text"}); }, 3, E::Valid, 4},
        TCheckCase{"EndRecordWithoutLf", V::Addr16, [] { return Join(Lines("S1", "S9", 2), "\n", false); }, 3, E::Valid, 4},
        TCheckCase{"MissingEndWithFinalLf", V::Addr32,
                   [] { return Join({Header(), Data("S3", 0), Data("S3", 1)}); }, 0, E::FormatBox, 4},
        TCheckCase{"MissingEndWithoutFinalLf", V::Addr32,
                   [] { return Join({Header(), Data("S3", 0), Data("S3", 1)}, "\n", false); }, 0, E::Silent, 3},
        TCheckCase{"HeaderThenEnd", V::Addr16, [] { return Join({Header(), End("S9")}); }, 0, E::Silent, 2},
        TCheckCase{"CrLfLineEnds", V::Addr32, [] { return Join(Lines("S3", "S7", 3), "\r\n"); }, 4, E::Valid, 5},
        TCheckCase{"CountRecordBetween", V::Addr16,
                   [] { return Join({Header(), Data("S1", 0), Record("S5", 2, 1, 0), End("S9")}); }, 0, E::FormatBox, 3},
        TCheckCase{"SecondHeaderBetween", V::Addr16,
                   [] { return Join({Header(), Data("S1", 0), Header(), End("S9")}); }, 0, E::FormatBox, 3},
        TCheckCase{"LowerCaseDataType", V::Addr32,
                   [] { QByteArray l = Data("S3", 1); l[0] = 's'; return Join({Header(), Data("S3", 0), l, End("S7")}); },
                   0, E::FormatBox, 3},
        TCheckCase{"LeadingBlankBeforeRecord", V::Addr32,
                   [] { return Join({Header(), " " + Data("S3", 0), End("S7")}); }, 0, E::FormatBox},
        TCheckCase{"WrongChecksumPasses", V::Addr32,
                   [] { QByteArray l = Data("S3", 1); l.back() = l.back() == '0' ? '1' : '0'; return Join({Header(), l, End("S7")}); },
                   2, E::Valid},
        TCheckCase{"NonHexDataPasses", V::Addr16,
                   [] { QByteArray l = Data("S1", 1); l.replace(8, 4, "ZZZZ"); return Join({Header(), l, End("S9")}); },
                   2, E::Valid},
        TCheckCase{"MaxRecords", V::Addr16, [] { return Join(Lines("S1", "S9", 20000)); }, 20001, E::Valid, 20002},
        TCheckCase{"OneRecordTooMany", V::Addr16, [] { return Join(Lines("S1", "S9", 20001)); }, 0, E::LimitBox, 20002},
        TCheckCase{"BinaryGarbage", V::Addr16, Garbage, 0, E::FormatBox},
        TCheckCase{"BinaryAfterHeader", V::Addr16, [] { return Join({Header()}) + Garbage(); }, 0, E::FormatBox, 2},
        TCheckCase{"MissingFile", V::Addr32, nullptr, 0, E::ReadError, 0},
        TCheckCase{"NoFileChosen", V::Addr32, ThreeS3, 0, E::ReadError, 0,
                   [](TRig &rig, const QString &) { rig.Surface.FileName.clear(); }},
        TCheckCase{"DirectoryInsteadOfFile", V::Addr32, nullptr, 0, E::ReadError, 0,
                   [](TRig &, const QString &path) { QDir().mkpath(path); }},
        TCheckCase{"StopBeforeStart", V::Addr32, ThreeS3, 0, E::Stopped, 0,
                   [](TRig &rig, const QString &) { rig.State.StopRequested = true; }},
        TCheckCase{"StopBeforeStartMissingFile", V::Addr32, nullptr, 0, E::Stopped, 0,
                   [](TRig &rig, const QString &) { rig.State.StopRequested = true; }},
        TCheckCase{"StopWhileSeekingHeader", V::Addr24, [] { return LinesBefore(10); }, 0, E::Stopped, 4,
                   [](TRig &rig, const QString &) { StopAtPump(rig, 4); }},
        TCheckCase{"StopWhileScanningRecords", V::Addr16, [] { return Join(Lines("S1", "S9", 100)); }, 0, E::Stopped, 50,
                   [](TRig &rig, const QString &) { StopAtPump(rig, 50); }},
        TCheckCase{"StopBeforeLastLineIsTooLate", V::Addr32, ThreeS3, 4, E::Valid, 5,
                   [](TRig &rig, const QString &) { StopAtPump(rig, 5); }},
        TCheckCase{"FileDeletedDuringCheck", V::Addr32, ThreeS3, 4, E::Valid, 5,
                   [](TRig &rig, const QString &path) {
                       rig.Surface.OnPump = [&rig, path] { if (rig.Surface.PumpCount == 2) QFile::remove(path); };
                   }},
        TCheckCase{"FailureOnTheWay", V::Addr32, ThreeS3, 0, E::Unexpected, 2,
                   [](TRig &rig, const QString &) {
                       rig.Surface.OnPump = [&rig] { if (rig.Surface.PumpCount == 2) throw std::runtime_error("window gone"); };
                   }}),
    [](const auto &info) { return std::string(info.param.Name); });

#ifdef Q_OS_LINUX
qint64 PeakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Starts the peak resident size afresh, so that a later reading shows this test's peak.
bool ResetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}
#endif

// A line of 100 MB without a line end: read quickly, in flat memory, and judged like any other
// bad line.
TEST(UpdateFileFormatCheckLimits, HugeLineWithoutLineEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("K400417.S19");
    constexpr qint64 Size = 100LL * 1024 * 1024;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(Join({Header()})), Header().size() + 1);
        ASSERT_EQ(f.write("S315"), 4);
        const QByteArray block(1024 * 1024, 'A');
        for (qint64 written = 0; written < Size; written += block.size())
            ASSERT_EQ(f.write(block), block.size());
    }
#ifdef Q_OS_LINUX
    const bool peakReset = ResetPeakResident();
    const qint64 before = PeakResidentKiB();
#endif
    QElapsedTimer timer;
    timer.start();
    TRig rig;
    rig.Surface.FileName = path;
    RunAndCompare(rig, V::Addr32, 0, E::FormatBox, 2);
    EXPECT_LT(timer.elapsed(), 10000);
#ifdef Q_OS_LINUX
    if (peakReset && before > 0) {
        EXPECT_LT(PeakResidentKiB() - before, 16 * 1024) << "memory grew with the line";
    }
#endif
}

#ifdef Q_OS_LINUX
// A file that opens but fails on reading: the check gives up with the file warning only.
TEST(UpdateFileFormatCheckLimits, ReadFailureAfterOpening)
{
    TRig rig;
    rig.Surface.FileName = QStringLiteral("/proc/self/mem");
    // Only the label says so, but the flows learn that the file could not be read.
    RunAndCompare(rig, V::Addr32, 0, E::Unexpected, 1, TFormatVerdict::Unreadable);
}
#endif

#ifdef Q_OS_UNIX
// A named pipe in place of the file is refused at once instead of waiting for a writer.
TEST(UpdateFileFormatCheckLimits, NamedPipeDoesNotBlock)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("T420170.S19");
    const QByteArray native = QFile::encodeName(path);
    ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);

    const TPipeRescue rescue(native);
    QElapsedTimer timer;
    timer.start();
    TRig rig;
    rig.Surface.FileName = path;
    RunAndCompare(rig, V::Addr32, 0, E::ReadError, 0);
    EXPECT_LT(timer.elapsed(), 2000);
}
#endif

} // namespace
