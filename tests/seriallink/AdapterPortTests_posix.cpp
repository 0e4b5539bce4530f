// The real serial port as a USB adapter would meet it, over a pseudo-terminal: the low-latency
// request at open, the facts a port reports, and the program that holds a busy port.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PtyPair.h"
#include "seriallink/LinkPrimitives.h"
#include "seriallink/TComPort.h"
#include "tests/support/RecordingSurface.h"

namespace {

class AdapterPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!pty.Ok())
            GTEST_SKIP() << "no pseudo-terminal available";
    }

    // A second process that holds the port; waits until it says so.
    bool StartHolder(QProcess &process, const QString &program, const QStringList &args)
    {
        process.start(program, args);
        if (!process.waitForStarted(5000))
            return false;
        return process.waitForReadyRead(5000) && process.readLine().trimmed() == "held";
    }

    static void EndHolder(QProcess &process)
    {
        process.closeWriteChannel(); // the holder ends when its input ends
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    TPtyPair pty;
    TComPort port;
    TRecordingSurface surface;
    TSystemClock clock;
    TWizardState state;
    TLink link{surface, port, clock, state};
};

TEST_F(AdapterPort, AnOpenForTheUnitAsksForLowLatencyAndARefusalIsHarmless)
{
    // The probe only looks whether the port can be had: it leaves the driver's settings alone.
    ASSERT_TRUE(link.ProbePort(pty.Path()));
    EXPECT_EQ(port.LowLatency(), TComPort::TLowLatency::NotAsked);

    // A pseudo-terminal has no serial driver settings and refuses; the line works all the same.
    port.SetBaudRate(br19200);
    port.OpenPort();
    EXPECT_EQ(port.LowLatency(), TComPort::TLowLatency::Refused);
    EXPECT_TRUE(link.SendText(QByteArray("S\x12\x34\x56", 4)));
    EXPECT_EQ(pty.FarRead(4, 2000), QByteArray("S\x12\x34\x56", 4));
    ASSERT_TRUE(pty.FarWrite("V"));
    EXPECT_EQ(link.ReceiveChar(2), "V");
    port.ClosePort();
}

TEST_F(AdapterPort, AVirtualPortHasNoAdapterFacts)
{
    // No USB ids, no serial number, no link in /dev/serial/by-id, no latency timer.
    EXPECT_EQ(port.DescribePort(pty.Path()), TPortFacts{});
}

TEST_F(AdapterPort, AProgramHoldingThePortWithItsLockIsNamed)
{
    QProcess holder;
    ASSERT_TRUE(StartHolder(holder, QStringLiteral(VARNEL_PORT_HOLDER), {pty.Path()}));

    EXPECT_FALSE(link.ProbePort(pty.Path()));
    EXPECT_FALSE(port.LastOpenDenied());
    const std::optional<TPortHolder> found = port.FindPortHolder(pty.Path());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->Pid, holder.processId());
    EXPECT_EQ(found->Program, QStringLiteral("port_holder"));

    EndHolder(holder);
    EXPECT_TRUE(link.ProbePort(pty.Path()));
    // The lock went with the holder; only the test's own far end is left, and it is not the
    // terminal end.
    EXPECT_FALSE(port.FindPortHolder(pty.Path()).has_value());
}

TEST_F(AdapterPort, AProgramWithoutALockIsFoundByItsOpenDescriptor)
{
    // A shell opens the terminal end on descriptor 3 and becomes cat, which keeps it.
    QProcess holder;
    const QString script = QStringLiteral("exec 3<>'%1' && echo held && exec cat").arg(pty.Path());
    ASSERT_TRUE(StartHolder(holder, QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}));
    // "held" comes before the exec: wait until the shell has become cat.
    QFile comm(QStringLiteral("/proc/%1/comm").arg(holder.processId()));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        if (comm.open(QIODevice::ReadOnly)) {
            const bool isCat = comm.readAll().trimmed() == "cat";
            comm.close();
            if (isCat)
                break;
        }
        QThread::msleep(5);
    }

    const std::optional<TPortHolder> found = port.FindPortHolder(pty.Path());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->Pid, holder.processId());
    EXPECT_EQ(found->Program, QStringLiteral("cat"));
    EndHolder(holder);
}

// Whether the port, opened by a user who may not read and write the device, reports the denial:
// the open is made in a child process that gives up root first (root may open anything), or
// in this process with the device's permissions taken away.
TEST_F(AdapterPort, AnOpenWithoutPermissionIsToldFromABusyPort)
{
    const QByteArray path = QFile::encodeName(pty.Path());
    ASSERT_EQ(::chmod(path.constData(), 0600), 0);
    bool denied = false;
    if (::geteuid() == 0) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int code = 2;
            if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
                TComPort other;
                other.SetPort(pty.Path());
                try {
                    other.OpenPort();
                    code = 3;
                } catch (const EComPort &) {
                    code = other.LastOpenDenied() ? 0 : 1;
                }
            }
            ::_exit(code);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2) << "could not give up root";
        ASSERT_NE(WEXITSTATUS(status), 3) << "opened a device it may not use";
        denied = WEXITSTATUS(status) == 0;
    } else {
        ASSERT_EQ(::chmod(path.constData(), 0), 0);
        EXPECT_FALSE(link.ProbePort(pty.Path()));
        denied = port.LastOpenDenied();
        ::chmod(path.constData(), 0600);
    }
    EXPECT_TRUE(denied);

    // A port held by another opener is busy, not denied.
    QProcess holder;
    ASSERT_TRUE(StartHolder(holder, QStringLiteral(VARNEL_PORT_HOLDER), {pty.Path()}));
    EXPECT_FALSE(link.ProbePort(pty.Path()));
    EXPECT_FALSE(port.LastOpenDenied());
    EndHolder(holder);
}

} // namespace
