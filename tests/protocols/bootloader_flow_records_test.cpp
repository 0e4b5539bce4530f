// How the two bootloader flows walk the update file and show progress, run for both.

#include <gtest/gtest.h>

#include "seriallink/LinkTexts.h"
#include "tests/protocols/bootloader_flow_rig.h"

namespace {

using namespace Seen;

class BootloaderFlowRecords : public ::testing::TestWithParam<TFlowKind> {
protected:
    // What reached the unit, as the file's address -> byte map (monitor) or record lines
    // (module), for comparing with the lines that should have been sent.
    static void ExpectSent(TFlowRig &rig, const QList<QByteArray> &records)
    {
        if (rig.Kind == TFlowKind::Monitor) {
            QList<QByteArray> lines{HeaderLine};
            lines << records;
            EXPECT_EQ(rig.MonitorUnit.Programmed, ProgramOf(lines));
        } else {
            EXPECT_EQ(rig.ModuleUnit.Records, records);
        }
    }
};

TEST_P(BootloaderFlowRecords, SendsEveryDataRecordAndCompletes)
{
    TFlowRig rig(GetParam());
    const QList<QByteArray> records{S1(0x0100, Bytes({0x00, 0x10, 0xFF})), S1(0x0200, Bytes({0x7E})),
                                    S1(0x0300, Bytes({0x20, 0x21, 0x22, 0x23}))};
    rig.WriteFile(QList<QByteArray>{HeaderLine} << records << EndLine);

    EXPECT_TRUE(rig.Run());

    ExpectSent(rig, records);
    EXPECT_EQ(rig.Surface.Timeline(), FirstRecordDone(GetParam()) << Completed());
    EXPECT_EQ(rig.Surface.Seen.last().Icon, TBoxIcon::Warning);
    EXPECT_EQ(rig.Surface.GaugeMaximum, 4);
    EXPECT_EQ(rig.Surface.GaugePosition, 3);
    EXPECT_EQ(rig.Surface.LinesSent, "3");
    EXPECT_FALSE(rig.Port.Connected());
    EXPECT_EQ(rig.Port.OpenCount, rig.Port.CloseCount);
    const bool monitor = GetParam() == TFlowKind::Monitor;
    EXPECT_EQ(rig.Port.OpenBitRates.last(), monitor ? 19200 : 9600);
    // Purged before the bootloader, the contact, each data byte or record, and the end.
    EXPECT_EQ(rig.Port.PurgeCount, 3 + (monitor ? 8 : 3));
    EXPECT_EQ(monitor ? rig.MonitorUnit.Block : rig.ModuleUnit.Block,
              BootloaderBlock(monitor ? TBootloaderImage::Monitor : TBootloaderImage::Module));
    EXPECT_TRUE(monitor ? rig.MonitorUnit.Finished : rig.ModuleUnit.Finished);
    EXPECT_EQ(rig.Port.Writes.last(), "!");
}

TEST_P(BootloaderFlowRecords, LinesBeforeTheHeaderHaveNoEffect)
{
    TFlowRig rig(GetParam());
    const QByteArray wanted = S1(0x2000, Bytes({0x55, 0x66}));
    rig.WriteFile({"; made by the build", EndLine, S1(0x0400, Bytes({0x99})), "", HeaderLine, wanted, EndLine});

    EXPECT_TRUE(rig.Run());

    ExpectSent(rig, {wanted});
    EXPECT_EQ(rig.Surface.LinesSent, "1");
}

TEST_P(BootloaderFlowRecords, NothingAfterTheFirstEndRecordIsSent)
{
    TFlowRig rig(GetParam());
    const QByteArray wanted = S1(0x2000, Bytes({0x01}));
    rig.WriteFile({HeaderLine, wanted, EndLine, S1(0x3000, Bytes({0x02})), "garbage", EndLine});

    EXPECT_TRUE(rig.Run());

    ExpectSent(rig, {wanted});
    EXPECT_EQ(rig.Surface.LinesSent, "1");
}

TEST_P(BootloaderFlowRecords, OtherLinesAfterTheHeaderAreSkipped)
{
    // The file changes after the check: a lower-case s1, a count record, a blank line and a
    // second header now stand among the data records.
    TFlowRig rig(GetParam());
    const QByteArray first = S1(0x2000, Bytes({0x01})), second = S1(0x2001, Bytes({0x02}));
    rig.WriteRecords(1);
    rig.OnceStatus(Sending, [&] {
        rig.WriteFile({HeaderLine, first, S1(0x3000, Bytes({0x03})).toLower(), "S5030001FB", "", HeaderLine,
                       second, EndLine});
    });

    EXPECT_TRUE(rig.Run());

    ExpectSent(rig, {first, second});
    EXPECT_EQ(rig.Surface.LinesSent, "2");
}

TEST_P(BootloaderFlowRecords, StopDeclinedGoesOnWithTheNextRecord)
{
    TFlowRig rig(GetParam());
    rig.WriteRecords(3);
    rig.Once([&] { return rig.Surface.LinesSent == "1"; }, [&] { rig.State.StopRequested = true; });
    rig.Surface.Answers = {true, false}; // begin: yes; stop: no

    EXPECT_TRUE(rig.Run());

    EXPECT_FALSE(rig.State.StopRequested);
    EXPECT_EQ(rig.Surface.LinesSent, "3");
    EXPECT_EQ(rig.Surface.Timeline().filter("Stop the update?").size(), 1);
}

TEST_P(BootloaderFlowRecords, StatusDotsCycleEveryFiftyRecords)
{
    TFlowRig rig(GetParam());
    rig.WriteRecords(101);

    EXPECT_TRUE(rig.Run());

    // Each animation step with the count of records acknowledged before it.
    QList<QPair<QString, QString>> dots;
    bool recordPhase = false;
    for (const auto &s : rig.Surface.StatusWithCount) {
        if (s.first == FlowTexts::UpdateComplete)
            break;
        if (recordPhase)
            dots << s;
        recordPhase = recordPhase || s.first == BootSent;
    }
    const QString u = FlowTexts::Updating;
    const QList<QPair<QString, QString>> expected{
        {u, "0"}, // the record phase begins
        {u, "0"}, {u + ".", "9"}, {u + "..", "19"}, {u + "...", "29"}, {u + "....", "39"},
        {u, "50"}, {u + ".", "59"}, {u + "..", "69"}, {u + "...", "79"}, {u + "....", "89"},
        {u, "100"}};
    EXPECT_EQ(dots, expected);
    EXPECT_EQ(rig.Surface.GaugeMaximum, 102);
    EXPECT_EQ(rig.Surface.GaugePosition, 101);
    EXPECT_EQ(rig.Surface.LinesSent, "101");
}

INSTANTIATE_TEST_SUITE_P(Flows, BootloaderFlowRecords, ::testing::Values(TFlowKind::Monitor, TFlowKind::Module),
                         [](const auto &info) { return KindName(info.param); });

} // namespace
