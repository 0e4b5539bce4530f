#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// What the system tells about the adapter behind a serial port, so that a technician can tell
// two USB adapters apart and see one that slows the exchange. Every fact may be unknown: a
// built-in port has no USB ids, a cheap adapter no serial number, a virtual port none of them.
struct TPortFacts {
    QString Description;   // the product's own name, e.g. "FT232R USB UART"
    QString Manufacturer;
    QString SerialNumber;
    std::optional<quint16> VendorId;  // USB vendor and product id
    std::optional<quint16> ProductId;
    QString ByIdLink;      // the stable link that points to the port, e.g. /dev/serial/by-id/usb-...
    // The physical socket the adapter is plugged into, which stays the same when adapters are
    // swapped or re-plugged: on Linux the link in /dev/serial/by-path, on Windows the device's
    // location path (e.g. "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)").
    QString LocationPath;
    QString FriendlyName;  // the name the system shows for the port, e.g. "USB Serial Port (COM5)"
    bool Bluetooth = false;  // a Bluetooth serial port (may be out of range)
    bool OverNetwork = false; // a serial port reached over the network (serial over LAN)
    // How long the adapter holds received bytes before it passes them on, where the adapter
    // lets that be read (FTDI's latency timer), in milliseconds.
    std::optional<int> LatencyTimerMs;

    bool operator==(const TPortFacts &) const = default;
};

// A program that holds a port open.
struct TPortHolder {
    qint64 Pid = 0;
    QString Program; // its name, e.g. "ModemManager"; empty when it cannot be read

    bool operator==(const TPortHolder &) const = default;
};

// The facts of the port that a port name opens (PortDeviceLocation). On Linux: Qt Serial Port's
// description of the device, the link in /dev/serial/by-id that leads to it and the USB serial
// driver's latency_timer. On Windows none are known yet.
TPortFacts SystemPortFacts(const QString &name);

// The program, other than this one, that holds the named port: the process named in the port's
// UUCP lock file (LCK..<name>) while that process lives, failing that the first process with an
// open file descriptor on the device (as far as this user may look at other processes). None
// when neither tells. Not known on Windows.
std::optional<TPortHolder> SystemPortHolder(const QString &name);

// True when the platform's error number of a failed open means that the user may not open the
// device (EACCES on Linux), not that another program holds it. Never on Windows, which answers
// both alike.
bool IsAccessDenialError(int platformError);

// What a failed open's platform error number says besides "busy": the device is gone (its
// adapter unplugged, or the system's entry for the port stale), or it does not answer (a
// Bluetooth port out of range). Windows tells these apart (2 and 3; 121 and 31); elsewhere
// every failure is Other.
enum class TOpenFailure { Other, Gone, Unreachable };
TOpenFailure OpenFailureOf(int platformError);
