// The serial port on Linux, through Qt Serial Port.
#include "seriallink/TComPort.h"

#include <QDeadlineTimer>
#include <QSerialPort>

#include <cerrno>
#include <limits>

#include <sys/ioctl.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include "seriallink/PortPlatform.h"

namespace {

// The system error number that best matches a Qt Serial Port error; EComPort carries it.
int SystemErrorNumber(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError: return 0;
    case QSerialPort::DeviceNotFoundError: return ENOENT;
    case QSerialPort::PermissionError: return EACCES;
    case QSerialPort::OpenError: return EBUSY;
    case QSerialPort::NotOpenError: return EBADF;
    case QSerialPort::TimeoutError: return ETIMEDOUT;
    case QSerialPort::UnsupportedOperationError: return EINVAL;
    default: return EIO;
    }
}

// Raises the error code with the device's last error, which is cleared on the way.
[[noreturn]] void Raise(QSerialPort &serial, int code)
{
    const int number = SystemErrorNumber(serial.error());
    serial.clearError();
    throw EComPort(code, number ? number : EIO);
}

bool IsDeviceFailure(QSerialPort::SerialPortError error)
{
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

// Asks the driver for low-latency mode, in which a USB serial adapter passes received bytes on
// at once (the FTDI driver sets the adapter's latency timer to 1 ms). Drivers without serial
// settings (a pseudo-terminal) or that refuse the flag leave the line as it is.
TComPort::TLowLatency RequestLowLatency(int fd)
{
#ifdef __linux__
    serial_struct settings {};
    if (::ioctl(fd, TIOCGSERIAL, &settings) != 0)
        return TComPort::TLowLatency::Refused;
    if (settings.flags & ASYNC_LOW_LATENCY)
        return TComPort::TLowLatency::Granted;
    settings.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &settings) != 0)
        return TComPort::TLowLatency::Refused;
    return TComPort::TLowLatency::Granted;
#else
    Q_UNUSED(fd)
    return TComPort::TLowLatency::Refused;
#endif
}

// Lowers DTR and RTS on the open descriptor. Linux raises both when a terminal device is opened
// (unless its bit rate is 0), before the opening program can do anything about it, so a unit
// that resets on DTR sees a short pulse at every open, the probe's included; lowering them as
// the first thing after the open keeps the pulse as short as the platform allows.
void LowerModemLines(int fd)
{
    int lines = TIOCM_DTR | TIOCM_RTS;
    // A line without modem control lines (a pseudo-terminal) refuses; there is nothing to lower.
    ::ioctl(fd, TIOCMBIC, &lines);
}

} // namespace

struct TComPort::TDevice {
    QSerialPort serial;
    // The line failed while the port was open (a pulled cable, an unplugged adapter): the
    // device is let go of, the bytes it had received are kept for reading, and every further
    // read and write fails until the port is closed.
    bool lineFailed = false;
    QByteArray receivedBeforeFailure;

    void LetGoOfFailedLine()
    {
        if (lineFailed)
            return;
        lineFailed = true;
        receivedBeforeFailure += serial.readAll();
        serial.close();
    }

    void ApplyLineSettings(int bitsPerSecond)
    {
        if (!serial.setDataBits(QSerialPort::Data8) || !serial.setParity(QSerialPort::NoParity)
            || !serial.setStopBits(QSerialPort::OneStop)
            || !serial.setFlowControl(QSerialPort::NoFlowControl))
            Raise(serial, CE_SetStateFailed);
        ApplyBaudRate(bitsPerSecond);
        // DTR and RTS held inactive. A line without modem control lines (a pseudo-terminal, some
        // adapters) refuses these; there is nothing to hold inactive there, so that is no failure.
        serial.setDataTerminalReady(false);
        serial.setRequestToSend(false);
        serial.clearError();
    }

    void ApplyBaudRate(int bitsPerSecond)
    {
        if (bitsPerSecond <= 0)
            throw EComPort(CE_SetStateFailed, EINVAL);
        if (!serial.setBaudRate(bitsPerSecond))
            Raise(serial, CE_SetStateFailed);
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
    auto device = std::make_unique<TDevice>();
    QSerialPort &serial = device->serial;
    serial.setPortName(DeviceLocation(Port()));
    // Qt's defaults (9600 8N1, no flow control) apply with the open; the real settings follow
    // once the device is ours, so that a rejected setting is told apart from a failed open.
    if (!serial.open(QIODevice::ReadWrite)) {
        int number = SystemErrorNumber(serial.error());
        // Qt reports a port held by another program (its lock file) and a device we may not
        // open alike; the device's access rights tell the two apart.
        if (PortAccessDenied(DeviceLocation(Port())))
            number = EACCES;
        else if (number == EACCES)
            number = EBUSY;
        throw EComPort(CE_OpenFailed, number ? number : EIO);
    }
    // The first thing after the open: DTR and RTS inactive, before any other setting takes time.
    LowerModemLines(int(serial.handle()));
    lowLatency_ = TLowLatency::NotAsked;
    if (OpeningFor() == TOpenPurpose::Transfer)
        lowLatency_ = RequestLowLatency(int(serial.handle()));
    // A line that is gone keeps reporting itself to the event loop (a hung-up terminal reads as
    // end of file on every pass), which would turn every wait into a busy loop. Let go of the
    // device once control is back in the event loop, not inside Qt's own notification. The
    // queued call dies with the device object, so it never outlives the open it belongs to.
    TDevice *open = device.get();
    QObject::connect(&serial, &QSerialPort::errorOccurred, &serial, [open](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
            QMetaObject::invokeMethod(&open->serial, [open] { open->LetGoOfFailedLine(); }, Qt::QueuedConnection);
    });
    device->ApplyLineSettings(BitsPerSecond()); // a failure closes the device with it
    device_ = std::move(device);
}

void TComPort::DoClose()
{
    device_.reset();
}

void TComPort::DoApplyBaudRate()
{
    if (device_)
        device_->ApplyBaudRate(BitsPerSecond());
}

int TComPort::WriteBytes(const QByteArray &text)
{
    if (!Connected() || !device_)
        throw EComPort(CE_WriteFailed, EBADF);
    if (text.isEmpty())
        return 0;
    if (device_->lineFailed)
        throw EComPort(CE_WriteFailed, EIO);
    QSerialPort &serial = device_->serial;
    if (serial.write(text) != text.size())
        Raise(serial, CE_WriteFailed);

    // Wait until the driver has taken every byte, or until the write time-out runs out.
    const QDeadlineTimer deadline(WriteTimeoutMs(text.size()), Qt::PreciseTimer);
    while (serial.bytesToWrite() > 0) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            break;
        if (!serial.waitForBytesWritten(int(left))) {
            if (IsDeviceFailure(serial.error()))
                Raise(serial, CE_WriteFailed);
            serial.clearError();
        }
    }
    const qint64 unsent = serial.bytesToWrite();
    if (unsent > 0) {
        // Timed out: what did not go out is dropped, not sent later behind the caller's back.
        serial.clear(QSerialPort::Output);
        serial.clearError();
    }
    return int(text.size() - qMin<qint64>(unsent, text.size()));
}

int TComPort::ReadBytes(QByteArray &text, int n)
{
    text.clear();
    if (!Connected() || !device_)
        throw EComPort(CE_ReadFailed, EBADF);
    if (device_->lineFailed) {
        QByteArray &kept = device_->receivedBeforeFailure;
        if (n <= 0 || kept.isEmpty())
            throw EComPort(CE_ReadFailed, EIO);
        text = kept.left(n);
        kept.remove(0, text.size());
        return int(text.size());
    }
    QSerialPort &serial = device_->serial;
    // Bytes that arrived before the device failed (a unit's last answer before the line went)
    // are handed out first; the failure is raised once nothing is left to read.
    if (serial.bytesAvailable() == 0 || n <= 0) {
        if (IsDeviceFailure(serial.error()))
            Raise(serial, CE_ReadFailed); // the device failed while events were handled
    }
    if (n <= 0)
        return 0;
    if (serial.bytesAvailable() == 0) {
        // Bytes may wait in the driver before the read notifier has run: fetch them without
        // waiting (a zero wait that finds nothing reports a time-out, which is no failure).
        serial.waitForReadyRead(0);
        if (!IsDeviceFailure(serial.error()))
            serial.clearError();
        else if (serial.bytesAvailable() == 0)
            Raise(serial, CE_ReadFailed);
    }
    text = serial.read(n);
    return int(text.size());
}

void TComPort::PurgeQueues(bool input, bool output)
{
    if (!Connected() || !device_)
        throw EComPort(CE_PurgeFailed, EBADF);
    if (device_->lineFailed) {
        // Nothing waits on a line that is gone; the next write or read reports the failure.
        if (input)
            device_->receivedBeforeFailure.clear();
        return;
    }
    QSerialPort &serial = device_->serial;
    QSerialPort::Directions directions;
    if (input) {
        // Bytes already fetched from the driver are as stale as those still in it.
        serial.readAll();
        directions |= QSerialPort::Input;
    }
    if (output)
        directions |= QSerialPort::Output;
    if (directions && !serial.clear(directions)) {
        // A line that is gone (a pulled cable, an unplugged adapter) has nothing waiting to
        // discard. Its failure is left for the write or read that follows, which the update
        // reports as a failed send or a stop, in words that tell the technician about the port.
        if (serial.error() == QSerialPort::ResourceError)
            return;
        Raise(serial, CE_PurgeFailed);
    }
}
