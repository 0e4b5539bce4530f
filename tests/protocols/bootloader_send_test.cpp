#include <gtest/gtest.h>

#include "protocols/UpdateFlows.h"
#include "seriallink/LinkTexts.h"
#include "tests/support/RecordingSurface.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/VirtualClock.h"

namespace {

const QString Preparing = QStringLiteral("Preparing bootloader code.");
const QString Sending = QStringLiteral("Sending bootloader code to unit...");
const QString Sent = QStringLiteral("Bootloader file sent. Waiting for unit to begin algorithm...");

// A port open at the caller's rate with nothing attached: every write is recorded.
struct TDownloadRig {
    TVirtualClock Clock;
    TInProcessPort Port{Clock};
    TWizardState State;
    TRecordingSurface Surface{&Clock};
    TLink Link{Surface, Port, Clock, State};

    TDownloadRig()
    {
        Port.SetBaudRate(br19200);
        Port.OpenPort();
    }
    // The technician presses Stop when virtual time reaches atMs.
    void StopAt(qint64 atMs)
    {
        Clock.ScheduleAt(atMs, [this] { State.StopRequested = true; });
    }
    qint64 StatusTick(const QString &text) const
    {
        for (const TSeen &s : Surface.Seen)
            if (s.What == TSeen::Status && s.Text == text)
                return s.At;
        return -1;
    }
};

class SendBootloaderImages : public ::testing::TestWithParam<TBootloaderImage> {};

TEST_P(SendBootloaderImages, SendsLeadInAloneThenTheWholeBlockAndWaitsNineSeconds)
{
    TDownloadRig rig;
    // Bytes already waiting from the unit are not read: the download is one-way.
    rig.Port.SendToHost("junk", 0);
    rig.Clock.RunDueEvents();

    EXPECT_TRUE(SendBootloader(rig.Link, GetParam()));

    const QByteArray block = BootloaderBlock(GetParam());
    ASSERT_EQ(rig.Port.Writes.size(), 2);
    EXPECT_EQ(rig.Port.Writes[0], QByteArray(1, char(0xF0)));
    EXPECT_EQ(rig.Port.Writes[1], block);
    EXPECT_GT(block.count('\0'), 1); // zero bytes travel inside the block
    EXPECT_EQ(rig.Surface.Statuses(), QStringList({Preparing, Sending, Sent}));
    EXPECT_EQ(rig.StatusTick(Preparing), 0);
    EXPECT_EQ(rig.StatusTick(Sending), 2000);
    EXPECT_EQ(rig.StatusTick(Sent), 4000);
    EXPECT_GE(rig.Clock.TickCount(), 9000);
    EXPECT_LT(rig.Clock.TickCount(), 9100);
    EXPECT_TRUE(rig.Port.Connected());
    EXPECT_EQ(rig.Port.PendingInput(), QByteArray("junk"));
    EXPECT_TRUE(rig.Surface.Boxes().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Images, SendBootloaderImages,
                         ::testing::Values(TBootloaderImage::Monitor, TBootloaderImage::Module),
                         [](const auto &info) {
                             return std::string(info.param == TBootloaderImage::Monitor ? "Monitor" : "Module");
                         });

struct TStopCase {
    const char *Name;
    qint64 StopAtMs;
    int Writes;         // writes that went out before the download gave up
    QStringList Statuses;
    qint64 ReturnedBy;  // the download returned no later than this
};

class SendBootloaderStop : public ::testing::TestWithParam<TStopCase> {};

TEST_P(SendBootloaderStop, StopEndsTheWaitAndTheDownloadReportsFalse)
{
    const TStopCase &c = GetParam();
    TDownloadRig rig;
    rig.StopAt(c.StopAtMs);

    EXPECT_FALSE(SendBootloader(rig.Link, TBootloaderImage::Module));

    EXPECT_EQ(rig.Port.Writes.size(), c.Writes);
    EXPECT_EQ(rig.Surface.Statuses(), c.Statuses);
    EXPECT_LE(rig.Clock.TickCount(), c.ReturnedBy);
    EXPECT_TRUE(rig.State.StopRequested);
    EXPECT_TRUE(rig.Port.Connected());
    EXPECT_TRUE(rig.Surface.Boxes().isEmpty()); // a stop asks nothing here
    if (c.Writes == 2) {
        EXPECT_EQ(rig.Port.Writes[1].size(), 1024);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Waits, SendBootloaderStop,
    ::testing::Values(TStopCase{"WhilePreparing", 1000, 0, {Preparing}, 1000},
                      TStopCase{"WhileSending", 3000, 2, {Preparing, Sending, Sent}, 3000},
                      TStopCase{"AfterSent", 5000, 2, {Preparing, Sending, Sent}, 5000},
                      TStopCase{"InFinalWait", 7500, 2, {Preparing, Sending, Sent}, 7500}),
    [](const auto &info) { return std::string(info.param.Name); });

struct TWriteFaultCase {
    const char *Name;
    std::function<int(const QByteArray &)> Fault;
    int WritesRecorded;
};

class SendBootloaderWriteFault : public ::testing::TestWithParam<TWriteFaultCase> {};

TEST_P(SendBootloaderWriteFault, FailedWriteHoldsThePortMessageOneSecond)
{
    TDownloadRig rig;
    rig.Port.WriteFault = GetParam().Fault;

    EXPECT_FALSE(SendBootloader(rig.Link, TBootloaderImage::Monitor));

    EXPECT_EQ(rig.Port.Writes.size(), GetParam().WritesRecorded);
    EXPECT_EQ(rig.Surface.Statuses(), QStringList({Preparing, Sending, LinkTexts::SendFailed}));
    EXPECT_EQ(rig.Clock.TickCount() - rig.StatusTick(LinkTexts::SendFailed), 1000);
    EXPECT_TRUE(rig.Port.Connected());
    EXPECT_FALSE(rig.State.StopRequested);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, SendBootloaderWriteFault,
    ::testing::Values(
        TWriteFaultCase{"LeadInRaises", [](const QByteArray &) { return -1; }, 0},
        TWriteFaultCase{"LeadInWritesNothing", [](const QByteArray &) { return 0; }, 1},
        TWriteFaultCase{"BlockRaises", [](const QByteArray &b) { return b.size() == 1 ? 1 : -1; }, 1},
        TWriteFaultCase{"BlockCutShort",
                        [](const QByteArray &b) { return b.size() == 1 ? 1 : int(b.size()) / 2; }, 2}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(SendBootloader, ClosedPortFailsWithoutRaising)
{
    TDownloadRig rig;
    rig.Port.ClosePort();
    EXPECT_FALSE(SendBootloader(rig.Link, TBootloaderImage::Monitor));
    EXPECT_EQ(rig.Surface.Statuses().last(), LinkTexts::SendFailed);
}

} // namespace
