// ReceiveChar in real time on the system clock over a pseudo-terminal: a waiting receive wakes
// for a byte at once, and a silent line costs a timed wait, not a busy core.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>
#include <thread>

#include "PtyPair.h"
#include "seriallink/LinkPrimitives.h"
#include "seriallink/TComPort.h"
#include "tests/support/RecordingSurface.h"

namespace {

double CpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class ReceiveCharRealTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!pty.Ok())
            GTEST_SKIP() << "no pseudo-terminal available";
        port.SetPort(pty.Path());
        port.OpenPort();
    }

    TPtyPair pty;
    TComPort port;
    TRecordingSurface surface;
    TSystemClock clock;
    TWizardState state;
    TLink link {surface, port, clock, state};
};

TEST_F(ReceiveCharRealTime, ByteFromTheFarEndEndsTheWaitPromptly)
{
    std::thread unit([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        pty.FarWrite(".");
    });
    QElapsedTimer timer;
    timer.start();
    const QByteArray got = link.ReceiveChar(5);
    const qint64 took = timer.elapsed();
    unit.join();
    EXPECT_EQ(got, ".");
    EXPECT_GE(took, 250);
    EXPECT_LT(took, 1500) << "the wait did not wake for the byte";
}

// The system clock, with a note of every sleep that began while a byte already waited in the
// port. Such a sleep is skipped, so that a failing run ends at once instead of at the deadline.
class TSleepWatchClock : public TLinkClock {
public:
    qint64 TickCount() override { return inner_.TickCount(); }
    TWallTime WallClock() override { return inner_.WallClock(); }
    void WaitForActivity(qint64 maxMs) override
    {
        if (ByteWaiting) {
            ++SleepsOnAWaitingByte;
            return;
        }
        inner_.WaitForActivity(maxMs);
    }

    bool ByteWaiting = false;
    int SleepsOnAWaitingByte = 0;

private:
    TSystemClock inner_;
};

// Handling the window's events runs the port's read notifier, which moves a byte from the line
// into the port's own buffer. The wait must take it from there instead of sleeping on it until
// the deadline.
TEST_F(ReceiveCharRealTime, ByteTakenInWhileEventsAreHandledIsReturnedWithoutSleeping)
{
    TSleepWatchClock watch;
    TLink watched {surface, port, watch, state};
    bool sent = false;
    surface.OnPump = [&] {
        if (sent)
            return;
        sent = true;
        ASSERT_TRUE(pty.FarWrite("."));
        ASSERT_TRUE(pty.AwaitQueued(1, 2000));
        QCoreApplication::processEvents();
        watch.ByteWaiting = true;
    };
    const QByteArray got = watched.ReceiveChar(5);
    EXPECT_TRUE(sent);
    EXPECT_EQ(got, ".");
    EXPECT_EQ(watch.SleepsOnAWaitingByte, 0) << "the wait slept with the byte already in the port";
}

TEST_F(ReceiveCharRealTime, SilentLineTimesOutWithoutBusyWaiting)
{
    const double cpuBefore = CpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const QByteArray got = link.ReceiveChar(1);
    const qint64 took = timer.elapsed();
    const double cpu = CpuSeconds() - cpuBefore;
    EXPECT_EQ(got, "t");
    EXPECT_GT(took, 1000);
    EXPECT_LT(took, 2500);
    EXPECT_LT(cpu, 0.25 * double(took) / 1000.0) << "the wait kept a core busy";
    EXPECT_FALSE(state.StopRequested);
}

TEST_F(ReceiveCharRealTime, LineLostWhileWaitingEndsAsAStop)
{
    std::thread unit([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.HangUp();
    });
    QElapsedTimer timer;
    timer.start();
    const QByteArray got = link.ReceiveChar(3);
    unit.join();
    EXPECT_EQ(got, "s");
    EXPECT_TRUE(state.StopRequested);
    EXPECT_LT(timer.elapsed(), 2500);
}

} // namespace
