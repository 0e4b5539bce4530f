// The sample update files: each one must be accepted for its unit type by the name rule and
// the format check, be a well-formed S-record file in every field (checksums included, which
// the format check leaves to the unit), stay inside the address space its unit can reach, and
// be exactly what the generator writes, so that files and generator never drift apart.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <set>

#include "protocols/UpdateFlows.h"
#include "seriallink/LinkPrimitives.h"
#include "tests/support/RecordingSurface.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/UnitFamilies.h"
#include "unitsim/VirtualClock.h"
#include "updatefile/FileNameRules.h"
#include "updatefile/FormatCheck.h"
#include "updatefile/UnitCatalogue.h"

namespace {

const QString SamplesDir = QStringLiteral(VARNEL_SOURCE_DIR "/samples");
const QString Generator = QStringLiteral(VARNEL_BINARY_DIR "/samples/make_samples");

struct TSampleCase {
    int UnitType;
    const char *FileName;
    int DataRecords;
    quint64 LowestAddress;  // first data address
    quint64 HighestAddress; // last data address
};

// What the sample set must hold, one file per unit type of the catalogue.
const TSampleCase SampleCases[] = {
    {1, "KTR0170.s19", 256, 0x010000, 0x010FFF},
    {2, "K400170.s19", 256, 0x00100000, 0x00100FFF},
    {3, "R7700170.s19", 64, 0xE000, 0xFFFF},
    {4, "GRA0170.s19", 128, 0x4000, 0x47FF},
    {5, "NRA0170.s19", 128, 0x4000, 0x47FF},
    {6, "D400170.s19", 256, 0x00100000, 0x00100FFF},
    {11, "T4100170.s19", 256, 0x010000, 0x010FFF},
    {12, "T4200170.s19", 256, 0x00100000, 0x00100FFF},
    {13, "T3770170.s19", 64, 0xE000, 0xFFFF},
    {16, "T5800170.s19", 256, 0x00100000, 0x00100FFF},
};

void PrintTo(const TSampleCase &c, std::ostream *os) { *os << c.FileName; }

// One parsed S-record line.
struct TRecord {
    char Type = 0;
    quint64 Address = 0;
    QByteArray Data;
};

int AddressBytesOf(char type)
{
    switch (type) {
    case '0': case '1': case '9': return 2;
    case '2': case '8': return 3;
    case '3': case '7': return 4;
    default: return -1;
    }
}

// Parses one line strictly: "S", type digit, then upper-case hex only, byte count equal to the
// bytes that follow it, checksum the ones' complement of the low byte of the sum.
bool ParseRecord(const QByteArray &line, TRecord &rec, QString &why)
{
    if (line.size() < 4 || line[0] != 'S') {
        why = QStringLiteral("no record start");
        return false;
    }
    rec.Type = line[1];
    const int addressBytes = AddressBytesOf(rec.Type);
    if (addressBytes < 0) {
        why = QStringLiteral("record type S%1").arg(QChar(rec.Type));
        return false;
    }
    const QByteArray hex = line.mid(2);
    for (char c : hex)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            why = QStringLiteral("not an upper-case hex digit: '%1'").arg(QChar(c));
            return false;
        }
    if (hex.size() % 2) {
        why = QStringLiteral("odd number of hex digits");
        return false;
    }
    const QByteArray bytes = QByteArray::fromHex(hex);
    const int count = quint8(bytes[0]);
    if (count != bytes.size() - 1) {
        why = QStringLiteral("byte count %1 but %2 bytes follow").arg(count).arg(bytes.size() - 1);
        return false;
    }
    if (count < addressBytes + 1) {
        why = QStringLiteral("record too short for its address");
        return false;
    }
    unsigned sum = 0;
    for (int i = 0; i < bytes.size() - 1; ++i)
        sum += quint8(bytes[i]);
    if (quint8(~sum) != quint8(bytes.back())) {
        why = QStringLiteral("wrong checksum");
        return false;
    }
    rec.Address = 0;
    for (int i = 0; i < addressBytes; ++i)
        rec.Address = (rec.Address << 8) | quint8(bytes[1 + i]);
    rec.Data = bytes.mid(1 + addressBytes, count - addressBytes - 1);
    return true;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Runs the format check on a file the way the wizard does: the file is the open-file dialog's.
struct TCheckRun {
    TVirtualClock Clock;
    TInProcessPort Port{Clock};
    TWizardState State;
    TRecordingSurface Surface{&Clock};
    TLink Link{Surface, Port, Clock, State};

    int Check(const QString &path, TRecordVariant variant)
    {
        Surface.FileName = path;
        return CheckUpdateFileFormat(Link.Surface, Link.State, variant);
    }
};

struct TGeneratorRun {
    int ExitCode = -1;
    QByteArray Out, Err;
};

TGeneratorRun RunGenerator(const QStringList &args)
{
    TGeneratorRun run;
    QProcess p;
    p.start(Generator, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.ExitCode = p.exitCode();
    run.Out = p.readAllStandardOutput();
    run.Err = p.readAllStandardError();
    return run;
}

class SampleFile : public ::testing::TestWithParam<TSampleCase> {
protected:
    QString Path() const { return SamplesDir + QLatin1Char('/') + QLatin1String(GetParam().FileName); }
};

TEST_P(SampleFile, PassesTheNameRuleOfItsUnitType)
{
    QString warning;
    EXPECT_TRUE(CheckUpdateFileName(GetParam().UnitType, Path(), warning)) << qPrintable(warning);
}

TEST_P(SampleFile, PassesTheFormatCheckWithItsRecordCount)
{
    TCheckRun run;
    EXPECT_EQ(run.Check(Path(), WizardRecordVariant(GetParam().UnitType)), GetParam().DataRecords + 1);
    EXPECT_TRUE(run.Surface.Boxes().isEmpty()) << qPrintable(run.Surface.Boxes().join('\n'));
}

TEST_P(SampleFile, IsWellFormedInEveryFieldAndStaysInItsAddressRange)
{
    const QByteArray text = ReadAll(Path());
    ASSERT_FALSE(text.isEmpty());
    ASSERT_TRUE(text.endsWith('\n'));
    EXPECT_FALSE(text.contains('\r')) << "samples use LF line ends";

    const TRecordVariant variant = WizardRecordVariant(GetParam().UnitType);
    const char dataType = DataRecordLetters(variant)[1];
    const char endType = EndRecordLetters(variant)[1];

    QList<QByteArray> lines = text.split('\n');
    lines.removeLast(); // after the final LF
    ASSERT_GE(lines.size(), 3);

    std::set<quint64> addresses;
    int dataRecords = 0;
    for (int i = 0; i < lines.size(); ++i) {
        TRecord rec;
        QString why;
        ASSERT_TRUE(ParseRecord(lines[i], rec, why)) << "line " << i + 1 << ": " << qPrintable(why);
        const char expected = i == 0 ? '0' : i == lines.size() - 1 ? endType : dataType;
        ASSERT_EQ(rec.Type, expected) << "line " << i + 1;
        if (rec.Type != dataType)
            continue;
        ++dataRecords;
        EXPECT_FALSE(rec.Data.isEmpty()) << "line " << i + 1;
        for (int k = 0; k < rec.Data.size(); ++k) {
            const quint64 a = rec.Address + quint64(k);
            EXPECT_TRUE(addresses.insert(a).second) << "address written twice: " << a;
        }
    }
    EXPECT_EQ(dataRecords, GetParam().DataRecords);
    ASSERT_FALSE(addresses.empty());
    EXPECT_EQ(*addresses.begin(), GetParam().LowestAddress);
    EXPECT_EQ(*addresses.rbegin(), GetParam().HighestAddress);
}

// The whole update of each sample against a simulated unit of its family on virtual time: the
// flow ends with "Update complete." and the unit has received exactly the file's contents.
TEST_P(SampleFile, UpdatesASimulatedUnitOfItsFamilyWithExactlyItsContents)
{
    const TUnitType *type = FindUnitType(GetParam().UnitType);
    ASSERT_NE(type, nullptr);
    QList<QByteArray> lines = ReadAll(Path()).split('\n');
    lines.removeLast();

    TVirtualClock clock;
    TUpdateModeUnit updateModeUnit;
    TMonitorUnit monitorUnit;
    TModuleUnit moduleUnit;
    TUnitModel *unit = type->Flow == TUpdateFlowKind::UpdateMode        ? static_cast<TUnitModel *>(&updateModeUnit)
                       : type->Flow == TUpdateFlowKind::ResistorMonitor ? static_cast<TUnitModel *>(&monitorUnit)
                                                                        : static_cast<TUnitModel *>(&moduleUnit);
    TInProcessPort port(clock, unit);
    TWizardState state;
    state.SelectedUnit = GetParam().UnitType;
    TRecordingSurface surface(&clock);
    surface.FileName = Path();
    TLink link(surface, port, clock, state);

    bool ok = false;
    int linesSent = 0;
    switch (type->Flow) {
    case TUpdateFlowKind::UpdateMode:
        ok = UpdateModeFlow(link, *type).IsCompleted();
        EXPECT_EQ(updateModeUnit.Accepted, lines) << "every line, header and end record included";
        linesSent = GetParam().DataRecords + 1; // the header counts, the end record does not
        break;
    case TUpdateFlowKind::ResistorMonitor: {
        ok = ResistorMonitorFlow(link, *type).IsCompleted();
        QMap<int, quint8> program;
        for (const QByteArray &line : lines) {
            TRecord rec;
            QString why;
            ASSERT_TRUE(ParseRecord(line, rec, why));
            if (rec.Type == '1')
                for (int k = 0; k < rec.Data.size(); ++k)
                    program[int(rec.Address) + k] = quint8(rec.Data[k]);
        }
        EXPECT_TRUE(monitorUnit.BlockMatchesImage);
        EXPECT_EQ(monitorUnit.Programmed, program);
        linesSent = GetParam().DataRecords;
        break;
    }
    case TUpdateFlowKind::CommsModule: {
        ok = CommsModuleFlow(link, *type).IsCompleted();
        QList<QByteArray> records;
        for (const QByteArray &line : lines)
            if (line.startsWith("S1"))
                records << line;
        EXPECT_TRUE(moduleUnit.BlockMatchesImage);
        EXPECT_EQ(moduleUnit.Records, records);
        linesSent = GetParam().DataRecords;
        break;
    }
    }
    EXPECT_TRUE(ok) << qPrintable(surface.Timeline().join('\n'));
    EXPECT_EQ(surface.StatusText(), QStringLiteral("Update complete."));
    EXPECT_EQ(surface.LinesSent, QString::number(linesSent));
}

INSTANTIATE_TEST_SUITE_P(Committed, SampleFile, ::testing::ValuesIn(SampleCases),
                         [](const auto &info) { return QFileInfo(info.param.FileName).baseName().toStdString(); });

TEST(SampleSet, HoldsOneFileForEveryUnitTypeOfTheCatalogue)
{
    std::set<int> covered;
    for (const TSampleCase &c : SampleCases)
        EXPECT_TRUE(covered.insert(c.UnitType).second) << "two samples for unit type " << c.UnitType;
    std::set<int> catalogue;
    for (const TUnitType &u : UnitCatalogue())
        catalogue.insert(u.Code);
    EXPECT_EQ(covered, catalogue);
}

TEST(SampleSet, IsExactlyWhatTheGeneratorWrites)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const TGeneratorRun run = RunGenerator({QStringLiteral("--samples"), dir.path()});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.constData();

    const QStringList filter{QStringLiteral("*.s19")};
    const QStringList written = QDir(dir.path()).entryList(filter, QDir::Files, QDir::Name);
    const QStringList committed = QDir(SamplesDir).entryList(filter, QDir::Files, QDir::Name);
    EXPECT_EQ(written, committed);
    for (const QString &name : written) {
        const QByteArray fresh = ReadAll(dir.filePath(name));
        EXPECT_FALSE(fresh.isEmpty()) << qPrintable(name);
        EXPECT_TRUE(fresh == ReadAll(SamplesDir + QLatin1Char('/') + name))
            << qPrintable(name) << " differs from the generator's output: run the `samples` target";
    }
}

// A file made on demand (benchmarks, limits): the requested number of data bytes in records of
// the requested width, accepted by the format check, the same bytes on every run.
struct TOnDemandCase {
    int Variant;
    int Size;
    int RecordBytes;
    int ExpectedRecords;
    quint64 LowestAddress;
    quint64 HighestAddress;
};

void PrintTo(const TOnDemandCase &c, std::ostream *os)
{
    *os << c.Variant << "-bit, " << c.Size << " bytes by " << c.RecordBytes;
}

class OnDemandFile : public ::testing::TestWithParam<TOnDemandCase> {};

TEST_P(OnDemandFile, HoldsTheRequestedBytesAndPassesTheFormatCheck)
{
    const TOnDemandCase c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("BENCH.s19"));
    const QStringList args{QStringLiteral("--size"), QString::number(c.Size), QStringLiteral("--variant"),
                           QString::number(c.Variant), QStringLiteral("--record-bytes"),
                           QString::number(c.RecordBytes), QStringLiteral("--out"), path};
    const TGeneratorRun run = RunGenerator(args);
    ASSERT_EQ(run.ExitCode, 0) << run.Err.constData();
    const QByteArray text = ReadAll(path);

    const TRecordVariant variant = c.Variant == 16 ? TRecordVariant::Addr16
                                 : c.Variant == 24 ? TRecordVariant::Addr24
                                                   : TRecordVariant::Addr32;
    TCheckRun check;
    EXPECT_EQ(check.Check(path, variant), c.ExpectedRecords + 1);

    const char dataType = DataRecordLetters(variant)[1];
    qint64 bytes = 0;
    quint64 next = c.LowestAddress, last = 0;
    int records = 0;
    for (const QByteArray &line : text.split('\n')) {
        TRecord rec;
        QString why;
        if (line.isEmpty())
            continue;
        ASSERT_TRUE(ParseRecord(line, rec, why)) << qPrintable(why);
        if (rec.Type != dataType)
            continue;
        ++records;
        EXPECT_EQ(rec.Address, next) << "data must be contiguous";
        bytes += rec.Data.size();
        next = rec.Address + quint64(rec.Data.size());
        last = next - 1;
    }
    EXPECT_EQ(records, c.ExpectedRecords);
    EXPECT_EQ(bytes, c.Size);
    EXPECT_EQ(last, c.HighestAddress);

    const TGeneratorRun again = RunGenerator(args);
    ASSERT_EQ(again.ExitCode, 0);
    EXPECT_TRUE(ReadAll(path) == text) << "the same options must give the same bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, OnDemandFile,
    ::testing::Values(
        // 64 KiB of a monitor or module file fills the whole 16-bit space, up to 0xFFFF
        TOnDemandCase{16, 65536, 16, 4096, 0x0000, 0xFFFF},
        TOnDemandCase{24, 65536, 16, 4096, 0x010000, 0x01FFFF},
        TOnDemandCase{32, 65536, 16, 4096, 0x00100000, 0x0010FFFF},
        // a size that is no multiple of the record width: the last record holds the rest
        TOnDemandCase{16, 1000, 16, 63, 0xFC18, 0xFFFF},
        TOnDemandCase{32, 100, 250, 1, 0x00100000, 0x00100063},
        // the largest file the format check accepts
        TOnDemandCase{32, 320000, 16, 20000, 0x00100000, 0x0014E1FF}));

struct TRejectedOptions {
    const char *Why;
    QStringList Args;
};

void PrintTo(const TRejectedOptions &c, std::ostream *os) { *os << c.Why; }

class GeneratorOptions : public ::testing::TestWithParam<TRejectedOptions> {};

TEST_P(GeneratorOptions, AreRejectedWithoutWritingAFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("X.s19"));
    QStringList args = GetParam().Args;
    args.replaceInStrings(QStringLiteral("OUT"), out);
    const TGeneratorRun run = RunGenerator(args);
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_NE(run.ExitCode, -1) << "the generator did not run";
    EXPECT_FALSE(run.Err.isEmpty());
    EXPECT_FALSE(QFile::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    Bad, GeneratorOptions,
    ::testing::Values(
        TRejectedOptions{"variant 20", {"--size", "16", "--variant", "20", "--out", "OUT"}},
        TRejectedOptions{"past 0xFFFF", {"--size", "65537", "--variant", "16", "--out", "OUT"}},
        TRejectedOptions{"base too high", {"--size", "32", "--variant", "16", "--base", "0xFFF0", "--out", "OUT"}},
        TRejectedOptions{"zero size", {"--size", "0", "--variant", "32", "--out", "OUT"}},
        TRejectedOptions{"record of 251 bytes", {"--size", "1000", "--variant", "32", "--record-bytes", "251", "--out", "OUT"}},
        TRejectedOptions{"no out", {"--size", "16", "--variant", "32"}},
        TRejectedOptions{"not a number", {"--size", "12k", "--variant", "32", "--out", "OUT"}},
        TRejectedOptions{"unknown option", {"--colour", "--size", "16", "--variant", "32", "--out", "OUT"}}));

TEST(Generator, HelpNamesEveryOption)
{
    const TGeneratorRun run = RunGenerator({QStringLiteral("--help")});
    ASSERT_EQ(run.ExitCode, 0);
    for (const char *option : {"--samples", "--list", "--size", "--variant", "--out", "--record-bytes", "--base",
                               "--seed", "--header"})
        EXPECT_TRUE(run.Out.contains(option)) << option;
}

} // namespace
