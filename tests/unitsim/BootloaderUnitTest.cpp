#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "CaptureLine.h"
#include "protocols/UpdateFlows.h"
#include "unitsim/UnitFamilies.h"

namespace {

QByteArray Download(TBootloaderImage image) { return QByteArray(1, char(0xF0)) + BootloaderBlock(image); }

QByteArray DataByte(int address, int data)
{
    QByteArray command("S");
    command += char(address >> 8);
    command += char(address & 0xFF);
    command += char(data);
    return command;
}

// --- resistor monitor ---

struct TLoadedMonitor {
    explicit TLoadedMonitor(TFaultScript script = {}) : Unit(std::move(script))
    {
        Unit.AttachLine(&Line);
        Unit.FromHost(Download(TBootloaderImage::Monitor));
        Unit.FromHost(".");
        EXPECT_EQ(Line.TakeNew(), ".");
    }
    QByteArray Send(const QByteArray &bytes)
    {
        Unit.FromHost(bytes);
        return Line.TakeNew();
    }
    TCaptureLine Line;
    TMonitorUnit Unit;
};

TEST(MonitorUnit, ProgramsEchoedBytesAndAcknowledgesTheEnd)
{
    TLoadedMonitor m;
    EXPECT_TRUE(m.Unit.BlockMatchesImage);
    EXPECT_EQ(m.Unit.Block, BootloaderBlock(TBootloaderImage::Monitor));
    // Data bytes and addresses that look like commands are still data.
    const QList<std::pair<int, int>> bytes = {{0xE000, 0x45}, {0xE001, 0xF0}, {0x2E21, 0x2E},
                                              {0xF053, 0x21}, {0xFFFF, 0x53}, {0x0000, 0x00}};
    for (const auto &[address, data] : bytes)
        EXPECT_EQ(m.Send(DataByte(address, data)), QByteArray(1, char(data))) << address;
    EXPECT_EQ(m.Send("!"), "!");
    EXPECT_TRUE(m.Unit.Finished);
    EXPECT_EQ(m.Unit.Programmed.size(), bytes.size());
    for (const auto &[address, data] : bytes)
        EXPECT_EQ(m.Unit.Programmed.value(address), data) << address;
    EXPECT_EQ(m.Unit.DataCommands, 6);
    EXPECT_EQ(m.Unit.BytesAccepted, 6);
    EXPECT_EQ(m.Unit.StrayBytes, 0);
}

TEST(MonitorUnit, SaysNothingBeforeItsBootloaderIsLoaded)
{
    TCaptureLine line;
    TMonitorUnit unit;
    unit.AttachLine(&line);
    unit.FromHost(".!" + DataByte(0x100, 1));
    EXPECT_EQ(line.All(), "");
    EXPECT_EQ(unit.StrayBytes, 6);
    // Half a block is no bootloader either.
    unit.FromHost(Download(TBootloaderImage::Monitor).left(300));
    unit.FromHost(".");
    EXPECT_EQ(line.All(), "");
    EXPECT_EQ(unit.BlocksReceived, 0);
    EXPECT_TRUE(unit.Summary().contains(QStringLiteral("incomplete")));
}

TEST(MonitorUnit, WrongBlockIsReportedButTheUnitGoesOn)
{
    for (const int position : {0, 256, 512}) {
        TCaptureLine line;
        TMonitorUnit unit;
        unit.AttachLine(&line);
        QByteArray download = Download(TBootloaderImage::Monitor);
        download[1 + position] = char(download[1 + position] ^ 0x01);
        unit.FromHost(download + ".");
        EXPECT_FALSE(unit.BlockMatchesImage) << position;
        EXPECT_TRUE(unit.Summary().contains(QStringLiteral("MISMATCH"))) << position;
        EXPECT_EQ(line.All(), ".") << position;
    }
}

struct TByteFault {
    const char *Rule;
    QByteArray Answers; // to commands for bytes 0x11, 0x22, 0x33, 0x44 in turn ('-' = silence)
    int Programmed;
};

class MonitorByteFaults : public ::testing::TestWithParam<TByteFault> {};

TEST_P(MonitorByteFaults, RuleAnswerReplacesTheEchoAndNothingIsProgrammed)
{
    TLoadedMonitor m(ScriptOf({GetParam().Rule}));
    QByteArray answers;
    for (int i = 0; i < 4; ++i) {
        const QByteArray got = m.Send(DataByte(0x8000 + i, 0x11 * (i + 1)));
        answers += got.isEmpty() ? QByteArray("-") : got;
    }
    EXPECT_EQ(answers, GetParam().Answers);
    EXPECT_EQ(m.Unit.Programmed.size(), GetParam().Programmed);
    EXPECT_EQ(m.Unit.BytesAccepted, GetParam().Programmed);
    EXPECT_EQ(m.Unit.DataCommands, 4);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MonitorByteFaults,
    ::testing::Values(TByteFault{"byte@2=R*1", "\x11R\x33\x44", 3},   // item 2 again: the next command
                      TByteFault{"byte@2=V", "\x11VVV", 1},           // item 2 never gets through
                      TByteFault{"byte=silent*2", "--\x33\x44", 2},
                      TByteFault{"byte@1=0x74*1", "t\x22\x33\x44", 3},
                      TByteFault{"byte@3=0x33", "\x11\x22\x33\x44", 4})); // rule answer equal to the echo

TEST(MonitorUnit, ContactAndEndRulesApply)
{
    TCaptureLine line;
    TMonitorUnit unit(ScriptOf({"contact=silent*1", "end=E*1"}));
    unit.AttachLine(&line);
    unit.FromHost(Download(TBootloaderImage::Monitor) + "..!!");
    EXPECT_EQ(line.All(), ".E!");
    EXPECT_EQ(unit.ContactRequests, 2);
    EXPECT_EQ(unit.EndCommands, 2);
    EXPECT_TRUE(unit.Finished);
    EXPECT_EQ(unit.Faults.size(), 2);
}

TEST(MonitorUnit, NewDownloadBetweenCommandsStartsAnotherRun)
{
    TLoadedMonitor m;
    m.Send(DataByte(0x9000, 0x5A) + "!");
    ASSERT_TRUE(m.Unit.Finished);
    EXPECT_EQ(m.Send(Download(TBootloaderImage::Monitor) + "."), ".");
    EXPECT_FALSE(m.Unit.Finished);
    EXPECT_EQ(m.Unit.BlocksReceived, 2);
    EXPECT_TRUE(m.Unit.BlockMatchesImage);
    EXPECT_EQ(m.Unit.Programmed.value(0x9000), 0x5A);
}

// --- communications module ---

TEST(ModuleUnit, TakesRecordsToColonAndAcknowledgesTheEnd)
{
    TCaptureLine line;
    TModuleUnit unit;
    unit.AttachLine(&line);
    unit.FromHost(Download(TBootloaderImage::Module));
    EXPECT_TRUE(unit.BlockMatchesImage);
    unit.FromHost(".");
    unit.FromHost("S1070100010203F1");
    EXPECT_EQ(line.All(), ".") << "no answer before the colon";
    unit.FromHost(":");
    unit.FromHost("S10501040405EC:");
    unit.FromHost("!");
    EXPECT_EQ(line.All(), "...!");
    EXPECT_EQ(unit.Records, (QList<QByteArray>{"S1070100010203F1", "S10501040405EC"}));
    EXPECT_EQ(unit.RecordsAccepted, 2);
    EXPECT_TRUE(unit.Finished);
}

TEST(ModuleUnit, WrongBlockIsReportedButTheUnitGoesOn)
{
    TCaptureLine line;
    TModuleUnit unit;
    unit.AttachLine(&line);
    QByteArray download = Download(TBootloaderImage::Module);
    download[1024] = char(~download[1024]);
    unit.FromHost(download + ".");
    EXPECT_FALSE(unit.BlockMatchesImage);
    EXPECT_TRUE(unit.Summary().contains(QStringLiteral("MISMATCH")));
    EXPECT_EQ(line.All(), ".");
    // A monitor's block is no module's block.
    TModuleUnit other;
    other.FromHost(Download(TBootloaderImage::Monitor) + Download(TBootloaderImage::Monitor).left(512));
    EXPECT_EQ(other.BlocksReceived, 1);
    EXPECT_FALSE(other.BlockMatchesImage);
}

struct TRecordFault {
    const char *Rule;
    QByteArray Answers; // to three records in turn ('-' = silence)
    int Accepted;
};

class ModuleRecordFaults : public ::testing::TestWithParam<TRecordFault> {};

TEST_P(ModuleRecordFaults, RuleAnswersTheRecordInsteadOfDot)
{
    TCaptureLine line;
    TModuleUnit unit(ScriptOf({GetParam().Rule}));
    unit.AttachLine(&line);
    unit.FromHost(Download(TBootloaderImage::Module) + ".");
    line.TakeNew();
    QByteArray answers;
    for (const char *record : {"S1050000AA50", "S1050001BB3E", "S1050002CC2C"}) {
        unit.FromHost(QByteArray(record) + ":");
        const QByteArray got = line.TakeNew();
        answers += got.isEmpty() ? QByteArray("-") : got;
    }
    EXPECT_EQ(answers, GetParam().Answers);
    EXPECT_EQ(unit.RecordsAccepted, GetParam().Accepted);
    EXPECT_EQ(unit.Records.size(), 3);
}

INSTANTIATE_TEST_SUITE_P(Table, ModuleRecordFaults,
                         ::testing::Values(TRecordFault{"record@2=C", ".CC", 1},
                                           TRecordFault{"record@1=E*1", "E..", 2},
                                           TRecordFault{"record=silent*1", "-..", 2},
                                           TRecordFault{"record@3=s", "..s", 2}));

// --- any family ---

TEST(AnyUnit, PlaysEachFamilyInTurnAndKeepsTheirRecords)
{
    TCaptureLine line;
    TAnyUnit unit;
    unit.AttachLine(&line);
    EXPECT_EQ(unit.Family(), TUnitFamily::None);

    unit.FromHost(Download(TBootloaderImage::Monitor));
    EXPECT_EQ(unit.Family(), TUnitFamily::Monitor);
    unit.FromHost("." + DataByte(0x0150, 0x50) + "!");
    EXPECT_EQ(line.TakeNew(), ".P!") << "a data byte 'P' is no contact request";
    EXPECT_TRUE(unit.UpdateEnded());

    unit.FromHost("P");
    EXPECT_EQ(unit.Family(), TUnitFamily::UpdateMode);
    unit.FromHost("pS9030000FC\r\nX");
    EXPECT_EQ(line.TakeNew(), "Pp!");
    EXPECT_TRUE(unit.UpdateMode.Restarted);

    unit.FromHost(Download(TBootloaderImage::Module));
    EXPECT_EQ(unit.Family(), TUnitFamily::Module);
    unit.FromHost(".S1050000AA50:!");
    EXPECT_EQ(line.TakeNew(), "..!");

    EXPECT_EQ(unit.FamiliesRun, (QList<TUnitFamily>{TUnitFamily::Monitor, TUnitFamily::UpdateMode,
                                                    TUnitFamily::Module}));
    EXPECT_TRUE(unit.Monitor.BlockMatchesImage);
    EXPECT_TRUE(unit.Module.BlockMatchesImage);
    EXPECT_EQ(unit.Monitor.Programmed.value(0x0150), 0x50);
    EXPECT_EQ(unit.UpdateMode.Accepted, QList<QByteArray>{"S9030000FC"});
    EXPECT_EQ(unit.Module.Records, QList<QByteArray>{"S1050000AA50"});
    const QString summary = unit.Summary();
    for (const char *part : {"monitor, update-mode, module", "Resistor monitor", "Update-mode unit", "Communications module"})
        EXPECT_TRUE(summary.contains(QLatin1String(part))) << part;
}

TEST(AnyUnit, HandsOverOnlyBetweenCommands)
{
    TCaptureLine line;
    TAnyUnit unit;
    unit.AttachLine(&line);
    unit.FromHost("Pp");
    unit.FromHost(QByteArray("S1") + char(0xF0) + "\r\n"); // 0xF0 inside a line is line text
    EXPECT_EQ(unit.Family(), TUnitFamily::UpdateMode);
    EXPECT_EQ(line.TakeNew(), "Pp.");
    unit.FromHost(Download(TBootloaderImage::Module) + ".");
    EXPECT_EQ(unit.Family(), TUnitFamily::Module);
    unit.FromHost("S1P:");
    EXPECT_EQ(unit.Family(), TUnitFamily::Module) << "a P inside a record stays with the module";
    EXPECT_EQ(unit.Module.Records, QList<QByteArray>{"S1P"});
}

// --- chunking: a unit's answers and records do not depend on how the bytes arrive ---

struct TStreamCase {
    const char *Name;
    std::function<std::unique_ptr<TUnitModel>()> Make;
    std::function<QByteArray()> Stream;
};

void PrintTo(const TStreamCase &c, std::ostream *os) { *os << c.Name; }

QByteArray UpdateModeStream()
{
    return "PpPpS00600004844521B\r\nS2080100000102030ADA\r\nS2080100000102030ADA\r\nS804010000FA\r\nXPpQ";
}

QByteArray MonitorStream()
{
    QByteArray s = Download(TBootloaderImage::Monitor) + ".";
    for (int i = 0; i < 40; ++i)
        s += DataByte(0xE000 + i * 7, (i * 37) & 0xFF);
    return s + "!" + Download(TBootloaderImage::Monitor) + ".!";
}

QByteArray ModuleStream()
{
    return Download(TBootloaderImage::Module) + ".S1050000AA50:S1050001BB3E:S1050002CC2C:!";
}

class ChunkedInput : public ::testing::TestWithParam<TStreamCase> {};

TEST_P(ChunkedInput, GivesTheSameAnswersAndRecords)
{
    const QByteArray stream = GetParam().Stream();
    QByteArray reference;
    QString referenceSummary;
    for (const int chunk : {0, 1, 2, 7, 513}) {
        auto unit = GetParam().Make();
        TCaptureLine line;
        unit->AttachLine(&line);
        if (chunk == 0)
            unit->FromHost(stream);
        else
            for (qsizetype at = 0; at < stream.size(); at += chunk)
                unit->FromHost(stream.mid(at, chunk));
        if (chunk == 0) {
            reference = line.All();
            referenceSummary = unit->Summary();
            EXPECT_FALSE(reference.isEmpty());
        } else {
            EXPECT_EQ(line.All(), reference) << "chunks of " << chunk;
            EXPECT_EQ(unit->Summary(), referenceSummary) << "chunks of " << chunk;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Families, ChunkedInput,
    ::testing::Values(
        TStreamCase{"UpdateMode",
                    [] { return std::make_unique<TUpdateModeUnit>(ScriptOf({"contact@1=Q*1", "line@2=C*1"})); },
                    UpdateModeStream},
        TStreamCase{"Monitor", [] { return std::make_unique<TMonitorUnit>(ScriptOf({"byte@5=F*2"})); }, MonitorStream},
        TStreamCase{"Module", [] { return std::make_unique<TModuleUnit>(ScriptOf({"record@2=E*1"})); }, ModuleStream},
        TStreamCase{"Any", [] { return std::make_unique<TAnyUnit>(ScriptOf({"contact=Q*1"})); },
                    [] { return MonitorStream() + UpdateModeStream() + ModuleStream(); }}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
