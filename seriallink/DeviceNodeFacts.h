#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "seriallink/PortFacts.h"

// What the Windows configuration manager tells of one device node, as texts: the COM port's own
// node and, above it, the nodes it hangs from (for an FTDI adapter FTDIBUS\... under USB\...).
struct TDeviceNode {
    QString InstanceId;   // e.g. USB\VID_0403&PID_6001\A50285BI
    QStringList HardwareIds;
    QString FriendlyName; // e.g. "USB Serial Port (COM5)"
    QString Manufacturer;
    QString Description;            // the driver's description ("USB Serial Port")
    QString BusReportedDescription; // the product's own name ("FT232R USB UART")
    QStringList LocationPaths;      // e.g. PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)
    std::optional<quint32> LatencyTimer; // "LatencyTimer" in its Device Parameters key (FTDI)
};

// The facts of a port from its device node (first) and the nodes above it (in order up): the
// friendly name and manufacturer of the port's node; the product's name; vendor and product id,
// serial number and location path of the USB device that carries it (a made-up instance id,
// one with '&' in its last part, is no serial number); Bluetooth when it hangs from the
// Bluetooth enumerator; over the network for a port redirected into a remote session, or a
// software port (no bus above it) whose names say it is reached over a network; the FTDI
// latency timer.
TPortFacts PortFactsFromDeviceNodes(const QList<TDeviceNode> &nodes);
