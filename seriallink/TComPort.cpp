#include "seriallink/TComPort.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <cerrno>
#include <limits>

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

} // namespace

TComPort::TComPort() = default;

TComPort::~TComPort()
{
    try {
        ClosePort();
    } catch (...) {
    }
}

int TComPort::WriteTimeoutMs(qsizetype n)
{
    const qint64 ms = 1000 + 100 * qint64(n);
    return int(qMin<qint64>(ms, std::numeric_limits<int>::max()));
}

void TComPort::DoOpen()
{
    auto serial = std::make_unique<QSerialPort>();
    serial->setPortName(DeviceLocation(Port()));
    // Qt's defaults (9600 8N1, no flow control) apply with the open; the real settings follow
    // once the device is ours, so that a rejected setting is told apart from a failed open.
    if (!serial->open(QIODevice::ReadWrite)) {
        int number = SystemErrorNumber(serial->error());
        // Qt reports a port held by another program (its lock file) and a device we may not
        // open alike; the device's access rights tell the two apart.
        if (PortAccessDenied(serial->portName()))
            number = EACCES;
        else if (number == EACCES)
            number = EBUSY;
        throw EComPort(CE_OpenFailed, number ? number : EIO);
    }
    serial_ = std::move(serial);
    try {
        ApplyLineSettings();
    } catch (...) {
        serial_->close();
        serial_.reset();
        throw;
    }
}

void TComPort::ApplyLineSettings()
{
    QSerialPort &serial = *serial_;
    if (!serial.setDataBits(QSerialPort::Data8) || !serial.setParity(QSerialPort::NoParity)
        || !serial.setStopBits(QSerialPort::OneStop)
        || !serial.setFlowControl(QSerialPort::NoFlowControl))
        Raise(serial, CE_SetStateFailed);
    DoApplyBaudRate();
    // DTR and RTS held inactive. A line without modem control lines (a pseudo-terminal, some
    // adapters) refuses these; there is nothing to hold inactive there, so that is no failure.
    serial.setDataTerminalReady(false);
    serial.setRequestToSend(false);
    serial.clearError();
}

void TComPort::DoClose()
{
    if (serial_) {
        serial_->close();
        serial_.reset();
    }
}

void TComPort::DoApplyBaudRate()
{
    if (!serial_)
        return;
    const int bits = BitsPerSecond();
    if (bits <= 0)
        throw EComPort(CE_SetStateFailed, EINVAL);
    if (!serial_->setBaudRate(bits))
        Raise(*serial_, CE_SetStateFailed);
}

int TComPort::WriteBytes(const QByteArray &text)
{
    if (!Connected() || !serial_)
        throw EComPort(CE_WriteFailed, EBADF);
    if (text.isEmpty())
        return 0;
    QSerialPort &serial = *serial_;
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
    if (!Connected() || !serial_)
        throw EComPort(CE_ReadFailed, EBADF);
    QSerialPort &serial = *serial_;
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
    if (!Connected() || !serial_)
        throw EComPort(CE_PurgeFailed, EBADF);
    QSerialPort &serial = *serial_;
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

void TComPort::ListSerialPorts(QStringList &list)
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    names << ExtraPortNames();
    SortPortNames(names);
    list = names;
}

QString TComPort::DeviceLocation(const QString &name) const
{
    return PortDeviceLocation(name);
}
