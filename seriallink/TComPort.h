#pragma once

#include <QByteArray>
#include <memory>

#include "seriallink/ComPort.h"

class QSerialPort;

// The serial port of the program on a real device, through Qt Serial Port. The line is always
// 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS off; only the bit rate
// changes. A name opens as /dev/<name> on Linux (a name that starts with '/' is a path and is
// used as it is), as the COM device of that name on Windows.
class TComPort : public TCustomComPort {
public:
    TComPort();
    ~TComPort() override;

    int WriteBytes(const QByteArray &text) override;
    int ReadBytes(QByteArray &text, int n) override;
    void PurgeQueues(bool input, bool output) override;
    void ListSerialPorts(QStringList &list) override;

    // The longest a write of n bytes may take before it is cut short, in milliseconds.
    static int WriteTimeoutMs(qsizetype n);

protected:
    // The device a port name opens (see PortDeviceLocation); a port that lists names of its own
    // maps them here.
    virtual QString DeviceLocation(const QString &name) const;

    void DoOpen() override;
    void DoClose() override;
    void DoApplyBaudRate() override;

private:
    void ApplyLineSettings();
    void LetGoOfFailedLine();
    // A fresh device object per open, so that nothing of a failed open lingers.
    std::unique_ptr<QSerialPort> serial_;
    // The line failed while the port was open (a pulled cable, an unplugged adapter): the
    // device is let go of, the bytes it had received are kept for reading, and every further
    // read and write fails until the port is closed.
    bool lineFailed_ = false;
    QByteArray receivedBeforeFailure_;
};
