// ReceiveChar in real time on the system clock over a pseudo-terminal: a waiting receive wakes
// for a byte at once, and a silent line costs a timed wait, not a busy core.
#include <gtest/gtest.h>

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
