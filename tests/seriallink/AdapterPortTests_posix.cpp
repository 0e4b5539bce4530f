// The real serial port as a USB adapter would meet it, over a pseudo-terminal: the low-latency
// request at open, the facts a port reports, and the program that holds a busy port.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

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

    const std::optional<TPortHolder> found = port.FindPortHolder(pty.Path());
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->Pid, holder.processId());
    EXPECT_EQ(found->Program, QStringLiteral("cat"));
    EndHolder(holder);
}

} // namespace
