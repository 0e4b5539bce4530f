#pragma once

#include <QByteArray>
#include <memory>

#include "seriallink/ComPort.h"
#ifdef Q_OS_WIN
#include "seriallink/CommApi.h"
#endif

// The serial port of the program on a real device. The line is always 8 data bits, no parity,
// 1 stop bit, no flow control, DTR and RTS off; only the bit rate changes. On Linux it runs on
// Qt Serial Port and a name opens as /dev/<name> (a name that starts with '/' is a path and is
// used as it is); on Windows it runs on the communications API and a name opens as \\.\<name>.
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

    TPortFacts DescribePort(const QString &name) const override { return SystemPortFacts(name); }
    std::optional<TPortHolder> FindPortHolder(const QString &name) const override { return SystemPortHolder(name); }

    // What became of the request for low-latency mode at the last open for a transfer. Many USB
    // adapters hold received bytes for a latency timer (16 ms by default on FTDI's) before they
    // pass them on, and a stop-and-wait exchange pays that every time; in low-latency mode the
    // driver sets the timer to its least. A driver that refuses (a built-in port, a
    // pseudo-terminal) leaves the line as it is.
    enum class TLowLatency { NotAsked, Granted, Refused };
    TLowLatency LowLatency() const { return lowLatency_; }

#ifdef Q_OS_WIN
    // Above 0 while the device gives no notice of received bytes (the byte watch could not be
    // armed): the receive waits then look every few milliseconds.
    int ReceivePollMs() const override;
#endif

protected:
    bool IsAccessDenial(const EComPort &error) const override { return IsAccessDenialError(error.WinCode()); }

    // The device a port name opens (see PortDeviceLocation); a port that lists names of its own
    // maps them here.
    virtual QString DeviceLocation(const QString &name) const;

#ifdef Q_OS_WIN
    // The communications calls the port makes on its device; a test port plays a driver here.
    virtual TCommApi &Comm() const;
#endif

    void DoOpen() override;
    void DoClose() override;
    void DoApplyBaudRate() override;

private:
    // The open device and what the platform keeps beside it; none while the port is closed.
    // A fresh one per open, so that nothing of a failed open lingers.
    struct TDevice;
    std::unique_ptr<TDevice> device_;
    TLowLatency lowLatency_ = TLowLatency::NotAsked;
};
