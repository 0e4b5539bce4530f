// The host's end of the simulated USB adapter: one transfer per write, each in a USB frame of
// its own, and the bytes unchanged.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <mutex>

#include "unitsim/PtyUnit.h"
#include "unitsim/UsbAdapterPort.h"

namespace {

// Keeps every byte the host sent, in order.
class TRecordingUnit : public TUnitModel {
public:
    void FromHost(const QByteArray &bytes) override
    {
        std::lock_guard lock(mutex);
        Received += bytes;
    }
    QString Summary() const override { return QStringLiteral("recording"); }
    QByteArray Taken()
    {
        std::lock_guard lock(mutex);
        return Received;
    }
    std::mutex mutex;
    QByteArray Received;
};

struct TAdapterRig {
    TAdapterRig()
    {
        started = pty.Start();
        port.SetPort(pty.SlavePath());
    }
    TRecordingUnit unit;
    TPtyUnit pty{unit};
    TUsbAdapterPort port;
    bool started = false;
};

TEST(UsbAdapterPort, EachWriteIsATransferInAFrameOfItsOwn)
{
    TAdapterRig rig;
    ASSERT_TRUE(rig.started);
    rig.port.OpenPort();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(rig.port.WriteBytes("S"), 1);
    // Five writes take five frames: at least four whole frames lie between the first and last.
    EXPECT_GE(timer.nsecsElapsed(), 4'000'000);
    EXPECT_EQ(rig.port.Transfers(), 5);
    rig.port.ClosePort();
}

TEST(UsbAdapterPort, ASplitWriteGoesOutAsItsPiecesWithTheBytesUnchanged)
{
    TAdapterRig rig;
    ASSERT_TRUE(rig.started);
    rig.port.Split = [](const QByteArray &text) {
        QList<QByteArray> bytes;
        for (const char c : text)
            bytes << QByteArray(1, c);
        return bytes;
    };
    rig.port.OpenPort();
    const QByteArray command("S\x12\x00\xFF", 4);
    EXPECT_EQ(rig.port.WriteBytes(command), 4);
    EXPECT_EQ(rig.port.Transfers(), 4);
    // The unit's thread takes the bytes as they come; wait for all four.
    QElapsedTimer timer;
    timer.start();
    while (rig.unit.Taken().size() < 4 && timer.elapsed() < 2000) {
    }
    EXPECT_EQ(rig.unit.Taken(), command);
    rig.port.ClosePort();
}

} // namespace
