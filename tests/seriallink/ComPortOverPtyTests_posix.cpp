// The real serial port over a pseudo-terminal: the test plays the unit on the far end.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QSerialPort>

#include <functional>
#include <termios.h>
#include <unistd.h>

#include "PtyPair.h"
#include "seriallink/LinkPrimitives.h"
#include "seriallink/TComPort.h"
#include "tests/support/RecordingSurface.h"

namespace {

class ComPortOverPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!pty.Ok())
            GTEST_SKIP() << "no pseudo-terminal available";
        port.SetPort(pty.Path());
    }

    // Reads what the port can take within timeoutMs, handling events between polls.
    QByteArray ReadFor(int want, int timeoutMs)
    {
        QByteArray all;
        QElapsedTimer timer;
        timer.start();
        while (all.size() < want && timer.elapsed() < timeoutMs) {
            QByteArray some;
            if (port.ReadBytes(some, want - int(all.size())) == 0)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            all += some;
        }
        return all;
    }

    termios FarTermios()
    {
        termios tio {};
        EXPECT_EQ(::tcgetattr(pty.MasterFd(), &tio), 0);
        return tio;
    }

    TPtyPair pty;
    TComPort port;
};

QByteArray EveryByteValue()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    return all;
}

TEST_F(ComPortOverPty, OpensWithEightBitsNoParityOneStopNoFlowControl)
{
    port.SetBaudRate(br19200);
    port.OpenPort();
    ASSERT_TRUE(port.Connected());
    const termios tio = FarTermios();
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), tcflag_t(0));
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON), tcflag_t(0));
    EXPECT_EQ(::cfgetospeed(&tio), speed_t(B19200));
}

TEST_F(ComPortOverPty, EveryByteValuePassesUnchangedBothWays)
{
    port.OpenPort();
    const QByteArray all = EveryByteValue();

    EXPECT_EQ(port.WriteBytes(all), 256);
    EXPECT_EQ(pty.FarRead(256, 2000), all);

    ASSERT_TRUE(pty.FarWrite(all));
    EXPECT_EQ(ReadFor(256, 2000), all);
    // Nothing echoed back to the far end.
    EXPECT_EQ(pty.FarRead(1, 50), QByteArray());
}

TEST_F(ComPortOverPty, ReadWithNothingWaitingReturnsZeroAtOnce)
{
    port.OpenPort();
    QElapsedTimer timer;
    timer.start();
    QByteArray text("stale");
    EXPECT_EQ(port.ReadBytes(text, 1), 0);
    EXPECT_LT(timer.elapsed(), 100);
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(ComPortOverPty, ReadSeesBytesInTheDriverBeforeAnyEventIsHandled)
{
    port.OpenPort();
    ASSERT_TRUE(pty.FarWrite("AB"));
    ASSERT_TRUE(pty.AwaitQueued(2, 1000));
    QByteArray text;
    EXPECT_EQ(port.ReadBytes(text, 1), 1);
    EXPECT_EQ(text, "A");
    EXPECT_EQ(port.ReadBytes(text, 1), 1);
    EXPECT_EQ(text, "B");
    EXPECT_EQ(port.ReadBytes(text, 1), 0);
}

TEST_F(ComPortOverPty, EmptyWriteSendsNothing)
{
    port.OpenPort();
    EXPECT_EQ(port.WriteBytes(QByteArray()), 0);
    EXPECT_EQ(pty.FarRead(1, 50), QByteArray());
}

TEST_F(ComPortOverPty, SendCharZeroGoesOutAsExactlyOneZeroByte)
{
    TRecordingSurface surface;
    TSystemClock clock;
    TWizardState state;
    TLink link(surface, port, clock, state);
    port.OpenPort();
    EXPECT_TRUE(link.SendChar(0));
    EXPECT_EQ(pty.FarRead(2, 200), QByteArray(1, '\0'));
}

TEST_F(ComPortOverPty, HeldByAnotherOpenerIsBusy)
{
    QSerialPort holder;
    holder.setPortName(pty.Path());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));

    try {
        port.OpenPort();
        FAIL() << "opened a port that another opener holds";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.Code(), CE_OpenFailed);
        EXPECT_NE(e.WinCode(), 0);
    }
    EXPECT_FALSE(port.Connected());

    TRecordingSurface surface;
    TSystemClock clock;
    TWizardState state;
    TLink link(surface, port, clock, state);
    EXPECT_FALSE(link.ProbePort(pty.Path()));
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), pty.Path());

    holder.close();
    EXPECT_TRUE(link.ProbePort(pty.Path()));
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComPortOverPty, NoSuchDeviceFailsToOpenAndStaysClosed)
{
    port.SetPort(QStringLiteral("ttyVarnelNoSuchDevice"));
    try {
        port.OpenPort();
        FAIL() << "opened a device that does not exist";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.Code(), CE_OpenFailed);
    }
    EXPECT_FALSE(port.Connected());
}

// A setting rejected after the device was opened closes it again: nothing is held afterwards.
TEST_F(ComPortOverPty, RejectedBitRateAtOpenLeavesNoDeviceHeld)
{
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(0);
    try {
        port.OpenPort();
        FAIL() << "a zero bit rate was accepted";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.Code(), CE_SetStateFailed);
    }
    EXPECT_FALSE(port.Connected());

    QSerialPort other;
    other.setPortName(pty.Path());
    EXPECT_TRUE(other.open(QIODevice::ReadWrite)) << "the failed open still holds the device";
}

struct TRateCase {
    TBaudRate Rate;
    speed_t Speed;
};

class BitRateOnOpenPort : public ComPortOverPty, public ::testing::WithParamInterface<TRateCase> {};

TEST_P(BitRateOnOpenPort, AppliesAtOnce)
{
    port.SetBaudRate(br9600);
    port.OpenPort();
    const termios before = FarTermios();
    ASSERT_EQ(::cfgetospeed(&before), speed_t(B9600));
    port.SetBaudRate(GetParam().Rate);
    const termios after = FarTermios();
    EXPECT_EQ(::cfgetospeed(&after), GetParam().Speed);
}

INSTANTIATE_TEST_SUITE_P(Rates, BitRateOnOpenPort,
                         ::testing::Values(TRateCase {br110, B110}, TRateCase {br19200, B19200},
                                           TRateCase {br57600, B57600},
                                           TRateCase {br115200, B115200}));

TEST_F(ComPortOverPty, RejectedBitRateOnOpenPortRaisesSettingsError)
{
    port.OpenPort();
    port.SetCustomBaudRate(-5);
    try {
        port.SetBaudRate(brCustom);
        FAIL() << "a negative bit rate was accepted";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.Code(), CE_SetStateFailed);
    }
}

// Purging must drop input both while the kernel still holds it and after the port has
// fetched it into its own buffer.
class PurgeDropsInput : public ComPortOverPty, public ::testing::WithParamInterface<bool> {};

TEST_P(PurgeDropsInput, StaleBytesAreNeverTakenForTheAnswer)
{
    const bool fetchedFirst = GetParam();
    port.OpenPort();
    ASSERT_TRUE(pty.FarWrite("xyz"));
    ASSERT_TRUE(pty.AwaitQueued(3, 1000));
    if (fetchedFirst) {
        QByteArray one;
        ASSERT_EQ(port.ReadBytes(one, 1), 1);
        EXPECT_EQ(one, "x");
    }
    port.PurgeQueues(true, true);
    QByteArray text;
    EXPECT_EQ(port.ReadBytes(text, 1), 0) << "left after purge: " << text.toStdString();

    ASSERT_TRUE(pty.FarWrite("."));
    EXPECT_EQ(ReadFor(1, 1000), ".");
}

INSTANTIATE_TEST_SUITE_P(Stages, PurgeDropsInput, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "AfterFetch" : "InDriver"; });

TEST_F(ComPortOverPty, SettingTheSamePortNameKeepsTheOpenPort)
{
    port.OpenPort();
    ASSERT_TRUE(pty.FarWrite("ab"));
    ASSERT_TRUE(pty.AwaitQueued(2, 1000));
    QByteArray text;
    ASSERT_EQ(port.ReadBytes(text, 1), 1); // "b" now waits in the open port's own buffer
    port.SetPort(pty.Path());
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.ReadBytes(text, 1), 1) << "the port was reopened and lost its input";
    EXPECT_EQ(text, "b");
}

TEST_F(ComPortOverPty, SettingAnotherPortNameMovesTheOpenPort)
{
    TPtyPair second;
    ASSERT_TRUE(second.Ok());
    port.OpenPort();
    port.SetPort(second.Path());
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.WriteBytes("M"), 1);
    EXPECT_EQ(second.FarRead(1, 1000), "M");
    EXPECT_EQ(pty.FarRead(1, 50), QByteArray());
}

// Every operation on a closed port raises its own error code.
struct TClosedCase {
    const char *Name;
    std::function<void(TComPort &)> Operation;
    int Code;
};

class OperationOnClosedPort : public ::testing::TestWithParam<TClosedCase> {};

TEST_P(OperationOnClosedPort, RaisesItsCode)
{
    TComPort port;
    try {
        GetParam().Operation(port);
        FAIL() << "no error raised";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.Code(), GetParam().Code);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, OperationOnClosedPort,
    ::testing::Values(
        TClosedCase {"Write", [](TComPort &p) { p.WriteBytes("x"); }, CE_WriteFailed},
        TClosedCase {"Read", [](TComPort &p) { QByteArray t; p.ReadBytes(t, 1); }, CE_ReadFailed},
        TClosedCase {"Purge", [](TComPort &p) { p.PurgeQueues(true, true); }, CE_PurgeFailed}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(ComPortClosed, SendCharGivesFalse)
{
    TComPort port;
    TRecordingSurface surface;
    TSystemClock clock;
    TWizardState state;
    TLink link(surface, port, clock, state);
    EXPECT_FALSE(link.SendChar(0));
    EXPECT_FALSE(link.SendText("P"));
}

// The far end stops reading and the line's buffers are full: the write gives up after its
// time-out (1000 + 100 x 3 ms), reports what went, and the rest never goes out later.
TEST_F(ComPortOverPty, WriteThatCannotFinishInTimeIsCutShortAndDropped)
{
    port.OpenPort();
    const int filled = pty.FillTowardsFarEnd('f');
    ASSERT_GT(filled, 0);

    QElapsedTimer timer;
    timer.start();
    const int sent = port.WriteBytes("abc");
    const qint64 took = timer.elapsed();
    EXPECT_LT(sent, 3);
    EXPECT_GE(took, 1250);
    EXPECT_LT(took, 4000);

    QByteArray drained = pty.FarRead(1 << 24, 200);
    ASSERT_EQ(port.WriteBytes("Z"), 1);
    drained += pty.FarRead(1 << 24, 500);
    drained.replace('f', QByteArray());
    EXPECT_EQ(drained, QByteArray("abc").left(sent) + "Z");
}

// A pulled cable: purging a line that is gone has nothing to discard and raises nothing; the
// write that follows fails, and so does the read, so the update reports the port's failure in
// its own words instead of an unexpected error.
TEST_F(ComPortOverPty, PurgeOfALineThatIsGoneLeavesTheFailureToTheNextWriteAndRead)
{
    port.OpenPort();
    pty.HangUp();
    QByteArray got;
    EXPECT_THROW(port.ReadBytes(got, 1), EComPort);
    EXPECT_NO_THROW(port.PurgeQueues(true, true));
    try {
        port.WriteBytes("P");
        ADD_FAILURE() << "a write on a line that is gone went through";
    } catch (const EComPort &e) {
        EXPECT_EQ(e.Code(), CE_WriteFailed);
    }
    EXPECT_NO_THROW(port.PurgeQueues(true, true));
    EXPECT_THROW(port.ReadBytes(got, 1), EComPort);
    EXPECT_NO_THROW(port.ClosePort());
    EXPECT_FALSE(port.Connected());
}

// A line that is gone keeps reporting itself to the event loop; the port lets go of the device,
// so that the waits of an update that is about to report the failure sleep instead of spinning.
TEST_F(ComPortOverPty, AGoneLineIsLetGoOfAndTheEventLoopSleepsAgain)
{
    port.OpenPort();
    pty.HangUp();
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(20);
    int passes = 0;
    while (timer.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ++passes;
    }
    // About one pass per tick of the timer; a spinning loop makes hundreds of thousands.
    EXPECT_LT(passes, 200);
    QByteArray got;
    EXPECT_THROW(port.ReadBytes(got, 1), EComPort);
    EXPECT_THROW(port.WriteBytes("P"), EComPort);
    EXPECT_NO_THROW(port.ClosePort());
    EXPECT_FALSE(port.Connected());
}

} // namespace
