#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

#include "seriallink/PortFacts.h"

// Bit rates of the serial port; brCustom takes CustomBaudRate.
enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};

// Bits per second of a bit-rate setting.
int BaudRateToBits(TBaudRate rate, int customBaudRate);

// Error codes carried by EComPort.
enum TComErrorCode {
    CE_OpenFailed = 1,       // the device cannot be opened
    CE_WriteFailed = 2,      // a write cannot start or complete
    CE_ReadFailed = 3,       // a read cannot start or complete
    CE_PurgeFailed = 5,      // purging or aborting pending I/O failed
    CE_SetStateFailed = 7,   // line settings rejected
    CE_SetTimeoutsFailed = 8,// time-outs rejected
    CE_SetupComFailed = 9,   // queue sizes rejected
    CE_ClearComFailed = 10,  // count of waiting bytes cannot be read
    CE_RegError = 23         // the list of ports cannot be read
};

// Description of an error code, e.g. "Unable to open com port" for code 1.
QString ComErrorDescription(int code);

// A failure of the serial port: the component's code and the platform's error number. The
// message is the code's description followed by " (win error code: %d)".
class EComPort : public std::runtime_error {
public:
    EComPort(int code, int winCode);
    int Code() const { return code_; }
    int WinCode() const { return winCode_; }

private:
    int code_;
    int winCode_;
};

// The serial port as the program uses it. The settings rules (equal value does nothing, a new
// name moves an open port, a new bit rate applies at once to an open port) live here; the
// device work is done by the subclass: TComPort on a real port, an in-process port wired to
// the simulated unit in tests. Line settings are fixed: 8 data bits, no parity, 1 stop bit,
// no flow control, DTR and RTS off.
class TCustomComPort {
public:
    virtual ~TCustomComPort() = default;

    QString Port() const { return port_; }
    void SetPort(const QString &name);

    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate rate);
    int CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(int bitsPerSecond) { customBaudRate_ = bitsPerSecond; }
    int BitsPerSecond() const { return BaudRateToBits(baudRate_, customBaudRate_); }

    bool Connected() const { return connected_; }
    // The platform's error number of the last failed open, 0 after a successful one.
    int LastOpenError() const { return lastOpenError_; }
    // True when the last open failed because the user may not open the device (as opposed to
    // a device held by another program); false after a successful open.
    bool LastOpenDenied() const { return lastOpenDenied_; }

    // Why a port is opened: to see whether it can be had (the port probe), or to talk to the
    // unit. Only an open for the unit tunes the device for the exchange (low latency).
    enum class TOpenPurpose { Transfer, Probe };
    void OpenPort(TOpenPurpose purpose = TOpenPurpose::Transfer); // does nothing when open;
                                                                  // raises EComPort and stays closed on failure
    void ClosePort(); // does nothing when closed

    // What the system tells about the named port's adapter; empty where it tells nothing.
    virtual TPortFacts DescribePort(const QString &name) const
    {
        Q_UNUSED(name)
        return {};
    }
    // The program that holds the named port, where that can be found out.
    virtual std::optional<TPortHolder> FindPortHolder(const QString &name) const
    {
        Q_UNUSED(name)
        return std::nullopt;
    }

    // Writes every byte and waits for completion (at most 1000 + 100 x n ms); the number of
    // bytes written, fewer when the write timed out. Raises EComPort on failure.
    virtual int WriteBytes(const QByteArray &text) = 0;
    // Takes up to n bytes already received, never waits; the number taken (0 when none).
    virtual int ReadBytes(QByteArray &text, int n) = 0;
    // Discards what waits in the receive and/or transmit queue.
    virtual void PurgeQueues(bool input, bool output) = 0;
    // Replaces the list with the names of the serial ports the system knows, sorted.
    virtual void ListSerialPorts(QStringList &list) = 0;
    // How long a wait for a received byte may sleep before it looks again, in milliseconds; 0
    // when the port itself wakes the wait as a byte arrives, so that it may sleep to its deadline.
    virtual int ReceivePollMs() const { return 0; }

protected:
    // The purpose of the open under way (DoOpen reads it).
    TOpenPurpose OpeningFor() const { return openingFor_; }
    // True when a failure of DoOpen means the user lacks the permission to open the device.
    virtual bool IsAccessDenial(const EComPort &error) const
    {
        Q_UNUSED(error)
        return false;
    }

    virtual void DoOpen() = 0;              // open the device named Port() at the bit rate
    virtual void DoClose() = 0;             // close the device
    virtual void DoApplyBaudRate() = 0;     // apply the bit rate to the open device

private:
    QString port_ = QStringLiteral("COM1");
    TBaudRate baudRate_ = br9600;
    int customBaudRate_ = 9600;
    bool connected_ = false;
    int lastOpenError_ = 0;
    bool lastOpenDenied_ = false;
    TOpenPurpose openingFor_ = TOpenPurpose::Transfer;
};

// Sorts port names the way the port list shows them: ascending, case-insensitive, character by
// character (COM10 before COM2); duplicates stay.
void SortPortNames(QStringList &names);
