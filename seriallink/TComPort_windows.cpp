// The serial port on Windows, on the communications API: the device \\.\<name> opened for
// overlapped I/O, the fixed line settings, queue sizes of 1024 bytes, time-outs that make reads
// return at once and bound every write, and a watch for received bytes that wakes the event loop
// so that the link waits can sleep instead of polling.
#include "seriallink/TComPort.h"

#include <QWinEventNotifier>

#include <limits>

#include <windows.h>

#include "seriallink/PortPlatform.h"

namespace {

constexpr DWORD QueueSize = 1024;
constexpr char XonChar = 17;
constexpr char XoffChar = 19;

[[noreturn]] void RaiseLastError(int code)
{
    throw EComPort(code, int(GetLastError()));
}

// Errors with which the driver answers once the device is gone (an unplugged adapter).
bool DeviceGone(DWORD error)
{
    return error == ERROR_DEVICE_REMOVED || error == ERROR_BAD_COMMAND || error == ERROR_GEN_FAILURE
        || error == ERROR_ACCESS_DENIED || error == ERROR_OPERATION_ABORTED || error == ERROR_INVALID_HANDLE;
}

} // namespace

struct TComPort::TDevice {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE ioEvent = nullptr;    // completion of the reads and writes, one at a time
    HANDLE watchEvent = nullptr; // completion of the wait for a received byte
    OVERLAPPED watch {};
    DWORD watchMask = 0;
    bool watchPending = false;
    std::unique_ptr<QWinEventNotifier> notifier;

    ~TDevice()
    {
        StopWatching();
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        if (ioEvent)
            CloseHandle(ioEvent);
        if (watchEvent)
            CloseHandle(watchEvent);
    }

    void ApplyLineSettings(int bitsPerSecond)
    {
        if (bitsPerSecond <= 0)
            throw EComPort(CE_SetStateFailed, int(ERROR_INVALID_PARAMETER));
        DCB dcb {};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle, &dcb))
            RaiseLastError(CE_SetStateFailed);
        dcb.BaudRate = DWORD(bitsPerSecond);
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;          // parity is not checked on input
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fTXContinueOnXoff = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;            // null bytes are data
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fAbortOnError = FALSE;
        dcb.XonLim = WORD(QueueSize / 4);
        dcb.XoffLim = WORD(QueueSize / 4);
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.XonChar = XonChar;
        dcb.XoffChar = XoffChar;
        if (!SetCommState(handle, &dcb))
            RaiseLastError(CE_SetStateFailed);
    }

    void ApplyTimeouts()
    {
        // Reads return at once with what has arrived; a write of n bytes ends within
        // 1000 + 100 x n ms, with fewer bytes written when the time ran out.
        COMMTIMEOUTS timeouts {};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
        timeouts.WriteTotalTimeoutMultiplier = 100;
        timeouts.WriteTotalTimeoutConstant = 1000;
        if (!SetCommTimeouts(handle, &timeouts))
            RaiseLastError(CE_SetTimeoutsFailed);
    }

    // The byte watch: an overlapped wait for "a byte was received" whose event the event loop
    // waits on. Each time it fires it is armed again; a line on which the wait cannot be armed
    // any more (the device is gone) is no longer watched, and the reads report the failure.
    void StartWatching()
    {
        watchEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!watchEvent || !SetCommMask(handle, EV_RXCHAR))
            return; // no watch: the waits still end at their deadline or on window input
        notifier = std::make_unique<QWinEventNotifier>(watchEvent);
        QObject::connect(notifier.get(), &QWinEventNotifier::activated, notifier.get(), [this] { Rearm(); });
        Arm();
    }

    void Arm()
    {
        ResetEvent(watchEvent);
        watch = OVERLAPPED {};
        watch.hEvent = watchEvent;
        watchMask = 0;
        if (WaitCommEvent(handle, &watchMask, &watch)) {
            watchPending = false; // done at once; its event is set and fires the notifier
            return;
        }
        if (GetLastError() == ERROR_IO_PENDING) {
            watchPending = true;
            return;
        }
        watchPending = false;
        notifier->setEnabled(false);
    }

    void Rearm()
    {
        if (watchPending) {
            DWORD unused = 0;
            GetOverlappedResult(handle, &watch, &unused, FALSE);
            watchPending = false;
        }
        Arm();
    }

    void StopWatching()
    {
        if (notifier)
            notifier->setEnabled(false);
        if (watchPending) {
            // A new mask ends the pending wait; it must be over before its OVERLAPPED goes.
            SetCommMask(handle, 0);
            CancelIo(handle);
            DWORD unused = 0;
            GetOverlappedResult(handle, &watch, &unused, TRUE);
            watchPending = false;
        }
        notifier.reset();
    }

};

TComPort::TComPort() = default;

TComPort::~TComPort()
{
    try {
        ClosePort();
    } catch (...) {
    }
}

void TComPort::DoOpen()
{
    const std::wstring path = DeviceLocation(Port()).toStdWString();
    auto device = std::make_unique<TDevice>();
    device->handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
    if (device->handle == INVALID_HANDLE_VALUE)
        RaiseLastError(CE_OpenFailed);
    // The device is ours; a setting it rejects closes it again (the device object goes with the
    // error) and the port stays closed.
    if (!SetupComm(device->handle, QueueSize, QueueSize))
        RaiseLastError(CE_SetupComFailed);
    device->ApplyLineSettings(BitsPerSecond());
    device->ApplyTimeouts();
    device->ioEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!device->ioEvent)
        RaiseLastError(CE_OpenFailed);
    device->StartWatching();
    device_ = std::move(device);
}

void TComPort::DoClose()
{
    if (!device_)
        return;
    // Abort what is still pending. The device is let go of even when that fails, so that a
    // port whose adapter was pulled can be opened again once it is back; the failure is still
    // reported.
    const BOOL aborted = PurgeComm(device_->handle, PURGE_TXABORT | PURGE_RXABORT);
    const DWORD error = aborted ? 0 : GetLastError();
    device_.reset();
    if (!aborted && !DeviceGone(error))
        throw EComPort(CE_PurgeFailed, int(error));
}

void TComPort::DoApplyBaudRate()
{
    if (device_)
        device_->ApplyLineSettings(BitsPerSecond());
}

int TComPort::WriteBytes(const QByteArray &text)
{
    if (!Connected() || !device_)
        throw EComPort(CE_WriteFailed, int(ERROR_INVALID_HANDLE));
    if (text.isEmpty())
        return 0;
    OVERLAPPED io {};
    io.hEvent = device_->ioEvent;
    ResetEvent(io.hEvent);
    DWORD written = 0;
    if (!WriteFile(device_->handle, text.constData(), DWORD(text.size()), &written, &io)
        && GetLastError() != ERROR_IO_PENDING)
        RaiseLastError(CE_WriteFailed);
    // Waits for the completion; the write time-out ends it with fewer bytes written.
    if (!GetOverlappedResult(device_->handle, &io, &written, TRUE))
        RaiseLastError(CE_WriteFailed);
    return int(written);
}

int TComPort::ReadBytes(QByteArray &text, int n)
{
    text.clear();
    if (!Connected() || !device_)
        throw EComPort(CE_ReadFailed, int(ERROR_INVALID_HANDLE));
    if (n <= 0)
        return 0;
    // Ask the driver first how many bytes wait, and read no more than that: the read then
    // completes at once by construction. The time-outs promise the same, but not every driver
    // keeps that promise for an overlapped read with nothing waiting (Wine's leaves it pending
    // until a byte comes), and a read that waits would freeze the window.
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(device_->handle, &errors, &status))
        RaiseLastError(CE_ClearComFailed);
    const DWORD take = qMin<DWORD>(DWORD(n), status.cbInQue);
    if (take == 0)
        return 0;
    QByteArray buffer(qsizetype(take), Qt::Uninitialized);
    OVERLAPPED io {};
    io.hEvent = device_->ioEvent;
    ResetEvent(io.hEvent);
    DWORD got = 0;
    if (!ReadFile(device_->handle, buffer.data(), take, &got, &io) && GetLastError() != ERROR_IO_PENDING)
        RaiseLastError(CE_ReadFailed);
    if (!GetOverlappedResult(device_->handle, &io, &got, TRUE))
        RaiseLastError(CE_ReadFailed);
    buffer.truncate(qsizetype(got));
    text = buffer;
    return int(got);
}

void TComPort::PurgeQueues(bool input, bool output)
{
    if (!Connected() || !device_)
        throw EComPort(CE_PurgeFailed, int(ERROR_INVALID_HANDLE));
    DWORD flags = 0;
    if (input)
        flags |= PURGE_RXCLEAR;
    if (output)
        flags |= PURGE_TXCLEAR;
    if (flags == 0 || PurgeComm(device_->handle, flags))
        return;
    // A device that is gone (a pulled adapter) has nothing waiting to discard. Its failure is
    // left for the write or read that follows, which the update reports as a failed send or a
    // stop, in words that tell the technician about the port.
    const DWORD error = GetLastError();
    if (DeviceGone(error))
        return;
    throw EComPort(CE_PurgeFailed, int(error));
}
