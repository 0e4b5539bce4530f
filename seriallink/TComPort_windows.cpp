// The serial port on Windows, on the communications API: the device \\.\<name> opened for
// overlapped I/O, the fixed line settings, queue sizes of 1024 bytes, time-outs that make reads
// return at once and bound every write, and a watch for received bytes that wakes the event loop
// so that the link waits can sleep instead of polling.
//
// No wait on the device is left to the driver's good will: every overlapped read, write and
// byte watch is waited for with a deadline, and one that passes it is cancelled (CancelIoEx)
// and its cancellation awaited before its OVERLAPPED may go. A driver that does not even
// complete the cancellation strands the device: it is never used again, and its memory, which
// the driver may still write to, is never freed.
#include "seriallink/TComPort.h"

#include <QWinEventNotifier>
#include <QtDebug>

#include <atomic>

#include <windows.h>

#include "seriallink/PortPlatform.h"

namespace {

constexpr DWORD QueueSize = 1024;
constexpr char XonChar = 17;
constexpr char XoffChar = 19;

// A read takes only bytes the driver already holds, so it completes at once; this bounds a
// driver that does not.
constexpr DWORD ReadDeadlineMs = 1000;
// How long a cancelled I/O may take to report its end.
constexpr DWORD CancelDeadlineMs = 1000;
// The receive waits' step while no byte watch wakes them.
constexpr int PollStepMs = 5;

// Errors with which the driver answers once the device is gone: an unplugged USB adapter
// answers with any of these, depending on its driver and on how far the removal has got.
bool DeviceGone(DWORD error)
{
    switch (error) {
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_IO_DEVICE:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_ACCESS_DENIED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_INVALID_HANDLE:
        return true;
    default:
        return false;
    }
}

// Said once per run, not once per wait: a line without the watch still works, only costs more.
void WarnNoByteWatch(DWORD error)
{
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        qWarning().noquote() << QStringLiteral(
                                    "Serial port: the driver gives no notice of received bytes (win error code: %1); "
                                    "waiting for the unit's answers by looking every %2 ms instead.")
                                    .arg(error)
                                    .arg(PollStepMs);
}

} // namespace

struct TComPort::TDevice {
    explicit TDevice(TCommApi &comm) : api(comm) {}

    TCommApi &api;
    HANDLE handle = INVALID_HANDLE_VALUE;
    // One read or write at a time, each with its own OVERLAPPED; the data of a write stays
    // here until the driver is done with it.
    OVERLAPPED io {};
    HANDLE ioEvent = nullptr;
    QByteArray writing;
    QByteArray reading;
    // The byte watch.
    HANDLE watchEvent = nullptr;
    OVERLAPPED watch {};
    DWORD watchMask = 0;
    bool watchPending = false;
    bool watching = false;
    std::unique_ptr<QWinEventNotifier> notifier;
    // An I/O that neither completed nor let itself be cancelled: the driver still owns io or
    // watch and the buffers.
    bool stranded = false;

    ~TDevice()
    {
        StopWatching();
        if (handle != INVALID_HANDLE_VALUE)
            api.CloseDevice(handle);
        if (ioEvent)
            CloseHandle(ioEvent);
        if (watchEvent)
            CloseHandle(watchEvent);
    }

    [[noreturn]] void RaiseLastError(int code) { throw EComPort(code, int(api.LastError())); }

    void ApplyLineSettings(int bitsPerSecond)
    {
        if (bitsPerSecond <= 0)
            throw EComPort(CE_SetStateFailed, int(ERROR_INVALID_PARAMETER));
        DCB dcb {};
        dcb.DCBlength = sizeof dcb;
        if (!api.GetCommState(handle, &dcb))
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
        if (!api.SetCommState(handle, &dcb))
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
        if (!api.SetCommTimeouts(handle, &timeouts))
            RaiseLastError(CE_SetTimeoutsFailed);
    }

    // Waits for the overlapped I/O on `op` (whose event is `event`) until the deadline. True
    // with its count when it completed; false with the error number when it failed, or when it
    // passed the deadline (ERROR_TIMEOUT): then it is cancelled, and its cancellation awaited.
    bool Await(OVERLAPPED &op, HANDLE event, DWORD deadlineMs, DWORD &count, DWORD &error)
    {
        const DWORD waited = api.WaitForEvent(event, deadlineMs);
        if (waited == WAIT_OBJECT_0) {
            if (api.GetOverlappedResult(handle, &op, &count, false))
                return true;
            error = api.LastError();
            return false;
        }
        api.CancelIoEx(handle, &op);
        if (api.WaitForEvent(event, CancelDeadlineMs) != WAIT_OBJECT_0) {
            stranded = true;
            error = ERROR_TIMEOUT;
            return false;
        }
        // It may have ended by itself just before the cancellation: then its count stands.
        if (api.GetOverlappedResult(handle, &op, &count, false))
            return true;
        const DWORD ended = api.LastError();
        error = ended == ERROR_OPERATION_ABORTED ? DWORD(ERROR_TIMEOUT) : ended;
        return false;
    }

    // Starts `start` (a ReadFile or WriteFile on io) and waits for it as Await does.
    template <typename Start>
    bool Run(Start start, DWORD deadlineMs, DWORD &count, DWORD &error)
    {
        io = OVERLAPPED {};
        io.hEvent = ioEvent;
        ResetEvent(ioEvent);
        count = 0;
        if (!start() && api.LastError() != ERROR_IO_PENDING) {
            error = api.LastError();
            return false;
        }
        return Await(io, ioEvent, deadlineMs, count, error);
    }

    // The byte watch: an overlapped wait for "a byte was received" whose event the event loop
    // waits on. Each time it fires it is armed again. While it cannot be armed the receive
    // waits poll (ReceivePollMs); on a line whose device is gone the reads report that.
    void StartWatching()
    {
        watchEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!watchEvent) {
            WarnNoByteWatch(GetLastError());
            return;
        }
        if (!api.SetCommMask(handle, EV_RXCHAR)) {
            WarnNoByteWatch(api.LastError());
            return;
        }
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
        watching = true;
        if (api.WaitCommEvent(handle, &watchMask, &watch)) {
            watchPending = false; // done at once; its event is set and fires the notifier
            return;
        }
        const DWORD error = api.LastError();
        if (error == ERROR_IO_PENDING) {
            watchPending = true;
            return;
        }
        watchPending = false;
        watching = false;
        notifier->setEnabled(false);
        if (!DeviceGone(error))
            WarnNoByteWatch(error);
    }

    void Rearm()
    {
        if (watchPending) {
            DWORD unused = 0;
            if (!api.GetOverlappedResult(handle, &watch, &unused, false) && api.LastError() == ERROR_IO_INCOMPLETE) {
                ResetEvent(watchEvent); // woken early: the watch is still the driver's, which sets it again
                return;
            }
            watchPending = false;
        }
        if (!stranded)
            Arm();
    }

    void StopWatching()
    {
        if (notifier)
            notifier->setEnabled(false);
        if (watchPending) {
            // A new mask ends the pending wait; it must be over before its OVERLAPPED goes.
            api.SetCommMask(handle, 0);
            api.CancelIoEx(handle, &watch);
            if (api.WaitForEvent(watchEvent, CancelDeadlineMs) != WAIT_OBJECT_0)
                stranded = true;
            else
                watchPending = false;
        }
        watching = false;
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

TCommApi &TComPort::Comm() const
{
    return SystemCommApi();
}

int TComPort::ReceivePollMs() const
{
    return device_ && !device_->watching ? PollStepMs : 0;
}

void TComPort::DoOpen()
{
    const std::wstring path = DeviceLocation(Port()).toStdWString();
    auto device = std::make_unique<TDevice>(Comm());
    device->handle = device->api.OpenDevice(path.c_str());
    if (device->handle == INVALID_HANDLE_VALUE)
        device->RaiseLastError(CE_OpenFailed);
    // The device is ours; a setting it rejects closes it again (the device object goes with the
    // error) and the port stays closed.
    if (!device->api.SetupComm(device->handle, QueueSize, QueueSize))
        device->RaiseLastError(CE_SetupComFailed);
    device->ApplyLineSettings(BitsPerSecond());
    device->ApplyTimeouts();
    device->ioEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!device->ioEvent)
        throw EComPort(CE_OpenFailed, int(GetLastError()));
    device->StartWatching();
    device_ = std::move(device);
}

void TComPort::DoClose()
{
    if (!device_)
        return;
    if (device_->stranded) {
        // The driver may still write into the device's OVERLAPPED and buffers: let the handle
        // go, keep the memory.
        device_->api.CloseDevice(device_->handle);
        device_.release();
        return;
    }
    // Abort what is still pending. The device is let go of even when that fails, so that a
    // port whose adapter was pulled can be opened again once it is back; a failure other than
    // the device being gone is still reported.
    TCommApi &api = device_->api;
    const bool aborted = api.PurgeComm(device_->handle, PURGE_TXABORT | PURGE_RXABORT);
    const DWORD error = aborted ? 0 : api.LastError();
    device_->StopWatching();
    if (device_->stranded) {
        api.CloseDevice(device_->handle);
        device_.release();
    } else {
        device_.reset();
    }
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
    if (device_->stranded)
        throw EComPort(CE_WriteFailed, int(ERROR_IO_PENDING));
    if (text.isEmpty())
        return 0;
    TDevice &d = *device_;
    d.writing = text; // the driver reads from here until the write has ended
    DWORD written = 0;
    DWORD error = 0;
    const bool done = d.Run([&] { return d.api.WriteFile(d.handle, d.writing.constData(), DWORD(d.writing.size()), nullptr, &d.io); },
                            DWORD(WriteTimeoutMs(text.size())), written, error);
    if (d.stranded)
        throw EComPort(CE_WriteFailed, int(error));
    d.writing.clear();
    if (done)
        return int(written); // the driver's own time-out ends a write with fewer bytes
    if (error == ERROR_TIMEOUT) {
        // The driver kept the write past its time-out: what it still holds of the line must not
        // go out later, in the middle of the next exchange.
        d.api.PurgeComm(d.handle, PURGE_TXABORT | PURGE_TXCLEAR);
    }
    throw EComPort(CE_WriteFailed, int(error));
}

int TComPort::ReadBytes(QByteArray &text, int n)
{
    text.clear();
    if (!Connected() || !device_)
        throw EComPort(CE_ReadFailed, int(ERROR_INVALID_HANDLE));
    if (device_->stranded)
        throw EComPort(CE_ReadFailed, int(ERROR_IO_PENDING));
    if (n <= 0)
        return 0;
    TDevice &d = *device_;
    // Ask the driver first how many bytes wait, and read no more than that: the read then
    // completes at once by construction. The time-outs promise the same, but not every driver
    // keeps that promise for an overlapped read with nothing waiting (Wine's leaves it pending
    // until a byte comes), and a read that waits would freeze the window.
    DWORD errors = 0;
    DWORD queued = 0;
    if (!d.api.ClearCommError(d.handle, &errors, &queued)) {
        // An adapter pulled while its line is read: the read failed, as it does on Linux.
        const DWORD error = d.api.LastError();
        throw EComPort(DeviceGone(error) ? CE_ReadFailed : CE_ClearComFailed, int(error));
    }
    const DWORD take = qMin<DWORD>(DWORD(n), queued);
    if (take == 0)
        return 0;
    d.reading.resize(qsizetype(take));
    DWORD got = 0;
    DWORD error = 0;
    if (!d.Run([&] { return d.api.ReadFile(d.handle, d.reading.data(), take, nullptr, &d.io); }, ReadDeadlineMs, got, error))
        throw EComPort(CE_ReadFailed, int(error));
    text = d.reading.left(qsizetype(qMin(got, take)));
    return int(text.size());
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
    if (flags == 0 || device_->api.PurgeComm(device_->handle, flags))
        return;
    // A device that is gone (a pulled adapter) has nothing waiting to discard. Its failure is
    // left for the write or read that follows, which the update reports as a failed send or a
    // stop, in words that tell the technician about the port.
    const DWORD error = device_->api.LastError();
    if (DeviceGone(error))
        return;
    throw EComPort(CE_PurgeFailed, int(error));
}
