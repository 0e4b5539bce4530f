// The Windows serial port against drivers that misbehave in ways no line under Wine shows: a
// write the driver keeps past every time-out, a cancellation it never completes, an adapter
// pulled between two calls, a driver without the received-byte watch. A scripted driver stands
// in for the communications API; its waits return at once, so no test waits in real time.
#include <gtest/gtest.h>

#include <QStringList>
#include <map>

#include "seriallink/CommApi.h"
#include "seriallink/LinkClock.h"
#include "seriallink/PortScan.h"
#include "seriallink/TComPort.h"
#include "tests/support/RecordingSurface.h"

#include <windows.h>
#undef SetPort // the printer spooler's, not the serial port's

namespace {

HANDLE const FakeDevice = reinterpret_cast<HANDLE>(0x5150);

class TScriptedDriver : public TCommApi {
public:
    // What the driver does with a write or read once started.
    enum class TEnd { AtOnce, Never, NeverEvenWhenCancelled };
    TEnd WriteEnds = TEnd::AtOnce;
    TEnd ReadEnds = TEnd::AtOnce;
    bool WatchArms = true;
    DWORD GoneWith = 0;          // when set, every call on the device fails with it
    DWORD OpenFails = 0;         // when set, the open fails with it
    QByteArray Received;         // what waits in the driver's receive queue
    QStringList Calls;           // "write 12", "wait 2200", "cancel", "purge 0x5", ...

    Handle OpenDevice(const wchar_t *) override
    {
        if (!OpenFails)
            return FakeDevice;
        Fail(OpenFails);
        return INVALID_HANDLE_VALUE;
    }
    bool CloseDevice(Handle) override
    {
        Note(QStringLiteral("close"));
        return true;
    }
    bool SetupComm(Handle, Dword, Dword) override { return true; }
    bool GetCommState(Handle, void *) override { return true; }
    bool SetCommState(Handle, void *) override { return true; }
    bool SetCommTimeouts(Handle, void *) override { return true; }
    bool SetCommMask(Handle, Dword) override { return !Gone(); }
    bool WaitCommEvent(Handle, Dword *, Overlapped io) override
    {
        if (Gone())
            return false;
        if (!WatchArms)
            return Fail(ERROR_INVALID_PARAMETER);
        ops_[io] = {TEnd::Never, false, 0};
        return Fail(ERROR_IO_PENDING);
    }
    bool WriteFile(Handle, const void *, Dword size, Dword *, Overlapped io) override
    {
        Note(QStringLiteral("write %1").arg(size));
        return Start(io, WriteEnds, size);
    }
    bool ReadFile(Handle, void *data, Dword size, Dword *, Overlapped io) override
    {
        Note(QStringLiteral("read %1").arg(size));
        if (ReadEnds == TEnd::AtOnce)
            memcpy(data, Received.constData(), size);
        return Start(io, ReadEnds, size);
    }
    bool GetOverlappedResult(Handle, Overlapped io, Dword *count, bool) override
    {
        const TOp op = ops_[io];
        if (op.Cancelled)
            return Fail(ERROR_OPERATION_ABORTED);
        if (op.End != TEnd::AtOnce)
            return Fail(ERROR_IO_INCOMPLETE);
        *count = op.Count;
        return true;
    }
    Dword WaitForEvent(Handle event, Dword ms) override
    {
        for (auto &[io, op] : ops_) {
            if (static_cast<OVERLAPPED *>(io)->hEvent != event)
                continue;
            const bool ends = op.End == TEnd::AtOnce || (op.Cancelled && op.End == TEnd::Never);
            Note(QStringLiteral("wait %1%2").arg(ms).arg(ends ? QString() : QStringLiteral(" timed out")));
            return ends ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
        }
        return WAIT_OBJECT_0;
    }
    bool CancelIoEx(Handle, Overlapped io) override
    {
        Note(QStringLiteral("cancel"));
        ops_[io].Cancelled = true;
        return true;
    }
    bool PurgeComm(Handle, Dword flags) override
    {
        Note(QStringLiteral("purge 0x%1").arg(flags, 0, 16));
        return !Gone();
    }
    bool ClearCommError(Handle, Dword *errors, Dword *inQueue) override
    {
        if (Gone())
            return false;
        *errors = 0;
        *inQueue = Dword(Received.size());
        return true;
    }
    Dword LastError() override { return error_; }

private:
    struct TOp {
        TEnd End;
        bool Cancelled;
        Dword Count;
    };
    std::map<Overlapped, TOp> ops_;
    Dword error_ = 0;

    void Note(const QString &call) { Calls << call; }
    bool Fail(Dword error)
    {
        error_ = error;
        return false;
    }
    bool Gone()
    {
        if (GoneWith)
            error_ = GoneWith;
        return GoneWith != 0;
    }
    bool Start(Overlapped io, TEnd end, Dword size)
    {
        if (Gone())
            return false;
        ops_[io] = {end, false, size};
        return Fail(ERROR_IO_PENDING);
    }
};

class TScriptedPort : public TComPort {
public:
    explicit TScriptedPort(TScriptedDriver &driver) : driver_(driver) {}
    ~TScriptedPort() override
    {
        try {
            ClosePort(); // while the driver is still the scripted one
        } catch (...) {
        }
    }

    QStringList Listed;
    void ListSerialPorts(QStringList &list) override { list = Listed; }

protected:
    TCommApi &Comm() const override { return driver_; }

private:
    TScriptedDriver &driver_;
};

int CodeOf(const std::function<void()> &operation, int *winCode = nullptr)
{
    try {
        operation();
    } catch (const EComPort &error) {
        if (winCode)
            *winCode = error.WinCode();
        return error.Code();
    }
    return 0;
}

class WindowsPortDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        port.SetPort(QStringLiteral("COM7"));
        port.OpenPort();
        driver.Calls.clear();
    }
    TScriptedDriver driver;
    TScriptedPort port {driver};
};

TEST_F(WindowsPortDriver, AWriteTheDriverKeepsIsCancelledAtItsTimeOutAndFailsThenThePortGoesOn)
{
    driver.WriteEnds = TScriptedDriver::TEnd::Never;
    const QByteArray line(12, 'S');
    int winCode = 0;
    EXPECT_EQ(CodeOf([&] { port.WriteBytes(line); }, &winCode), CE_WriteFailed);
    EXPECT_EQ(winCode, int(ERROR_TIMEOUT));
    // Waited for 1000 + 100 x 12 ms, cancelled, waited for the cancellation, and what the driver
    // still held of the line thrown away so that it cannot go out in the middle of the next one.
    EXPECT_EQ(driver.Calls, (QStringList {"write 12", "wait 2200 timed out", "cancel", "wait 1000",
                                          QStringLiteral("purge 0x%1").arg(PURGE_TXABORT | PURGE_TXCLEAR, 0, 16)}));
    driver.WriteEnds = TScriptedDriver::TEnd::AtOnce;
    EXPECT_EQ(port.WriteBytes(line), 12);
}

TEST_F(WindowsPortDriver, AWriteWhoseCancellationNeverEndsStrandsTheDeviceButThePortStillCloses)
{
    driver.WriteEnds = TScriptedDriver::TEnd::NeverEvenWhenCancelled;
    EXPECT_EQ(CodeOf([&] { port.WriteBytes("P"); }), CE_WriteFailed);
    driver.Calls.clear();
    QByteArray text;
    EXPECT_EQ(CodeOf([&] { port.WriteBytes("P"); }), CE_WriteFailed);
    EXPECT_EQ(CodeOf([&] { port.ReadBytes(text, 1); }), CE_ReadFailed);
    EXPECT_FALSE(driver.Calls.contains("write 1")) << "the driver still owns the OVERLAPPED";
    EXPECT_NO_THROW(port.ClosePort());
    EXPECT_FALSE(port.Connected());
    driver.WriteEnds = TScriptedDriver::TEnd::AtOnce;
    port.OpenPort();
    EXPECT_EQ(port.WriteBytes("P"), 1) << "the next open is a fresh device";
}

TEST_F(WindowsPortDriver, AReadTheDriverKeepsIsCancelledAndFails)
{
    driver.Received = "P";
    driver.ReadEnds = TScriptedDriver::TEnd::Never;
    QByteArray text;
    EXPECT_EQ(CodeOf([&] { port.ReadBytes(text, 1); }), CE_ReadFailed);
    EXPECT_EQ(driver.Calls, (QStringList {"read 1", "wait 1000 timed out", "cancel", "wait 1000"}));
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(WindowsPortDriver, AReadTakesOnlyWhatWaitsAndReturnsAtOnceWhenNothingDoes)
{
    QByteArray text;
    EXPECT_EQ(port.ReadBytes(text, 1), 0);
    EXPECT_TRUE(driver.Calls.isEmpty()) << "nothing waited, so nothing was read";
    driver.Received = "PQ";
    EXPECT_EQ(port.ReadBytes(text, 1), 1);
    EXPECT_EQ(text, "P");
}

// What USB serial drivers answer once their adapter is unplugged.
class WindowsPortUnplugged : public WindowsPortDriver, public ::testing::WithParamInterface<DWORD> {};

TEST_P(WindowsPortUnplugged, AReadFailsAsAReadAndTheCloseLetsThePortGo)
{
    driver.GoneWith = GetParam();
    QByteArray text;
    int winCode = 0;
    EXPECT_EQ(CodeOf([&] { port.ReadBytes(text, 1); }, &winCode), CE_ReadFailed);
    EXPECT_EQ(winCode, int(GetParam()));
    EXPECT_NO_THROW(port.PurgeQueues(true, true));
    EXPECT_NO_THROW(port.ClosePort());
    EXPECT_FALSE(port.Connected()) << "the next probe must open for real";
    EXPECT_TRUE(driver.Calls.contains("close"));
}

INSTANTIATE_TEST_SUITE_P(ErrorNumbers, WindowsPortUnplugged,
                         ::testing::Values(DWORD(ERROR_DEVICE_NOT_CONNECTED), DWORD(ERROR_NOT_READY),
                                           DWORD(ERROR_DEV_NOT_EXIST), DWORD(ERROR_IO_DEVICE),
                                           DWORD(ERROR_DEVICE_REMOVED), DWORD(ERROR_GEN_FAILURE)));

TEST_F(WindowsPortDriver, AFailureOtherThanAGoneDeviceIsReportedAsSuch)
{
    driver.GoneWith = ERROR_INVALID_PARAMETER;
    QByteArray text;
    EXPECT_EQ(CodeOf([&] { port.ReadBytes(text, 1); }), CE_ClearComFailed);
    EXPECT_EQ(CodeOf([&] { port.ClosePort(); }), CE_PurgeFailed);
}

TEST(WindowsPortByteWatch, WithoutTheWatchTheReceiveWaitsPollInStepsOfAFewMilliseconds)
{
    for (const bool arms : {true, false}) {
        TScriptedDriver driver;
        driver.WatchArms = arms;
        TScriptedPort port {driver};
        port.OpenPort();
        if (arms)
            EXPECT_EQ(port.ReceivePollMs(), 0);
        else
            EXPECT_TRUE(port.ReceivePollMs() > 0 && port.ReceivePollMs() <= 10) << port.ReceivePollMs();
    }
}

// Why a port did not open, by the open's error number, as the port list tells the technician.
struct TOpenErrorCase {
    DWORD Error;
    TPortBusy Busy;
};

class WindowsPortOpenError : public ::testing::TestWithParam<TOpenErrorCase> {};

TEST_P(WindowsPortOpenError, TellsHeldGoneAndUnreachableApart)
{
    TScriptedDriver driver;
    driver.OpenFails = GetParam().Error;
    TScriptedPort port {driver};
    port.Listed = {QStringLiteral("COM5")};
    TSystemClock clock;
    TRecordingSurface surface;
    TWizardState state;
    TLink link {surface, port, clock, state};
    const QList<TScannedPort> ports = ScanSerialPorts(link);
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(int(ports.first().Busy), int(GetParam().Busy));
}

INSTANTIATE_TEST_SUITE_P(ErrorNumbers, WindowsPortOpenError,
                         ::testing::Values(TOpenErrorCase {ERROR_ACCESS_DENIED, TPortBusy::Held},
                                           TOpenErrorCase {ERROR_FILE_NOT_FOUND, TPortBusy::Gone},
                                           TOpenErrorCase {ERROR_PATH_NOT_FOUND, TPortBusy::Gone},
                                           TOpenErrorCase {ERROR_SEM_TIMEOUT, TPortBusy::Unreachable},
                                           TOpenErrorCase {ERROR_GEN_FAILURE, TPortBusy::Unreachable},
                                           TOpenErrorCase {0, TPortBusy::Free}));

} // namespace
