#include "seriallink/PortScan.h"

QList<TScannedPort> ScanSerialPorts(TLink &link)
{
    QStringList names;
    try {
        link.ComPort.ListSerialPorts(names);
    } catch (...) {
        names.clear();
    }

    // A port we may not open is as busy as one held by another program; which of the two it is
    // tells the technician what cures it (joining a group, closing the holder).
    QList<TScannedPort> ports;
    for (const QString &name : names) {
        TScannedPort port;
        port.Name = name;
        if (!link.ProbePort(name)) {
            port.Busy = link.ComPort.LastOpenDenied() ? TPortBusy::NoPermission : TPortBusy::Held;
            if (port.Busy == TPortBusy::Held) {
                switch (OpenFailureOf(link.ComPort.LastOpenError())) {
                case TOpenFailure::Gone: port.Busy = TPortBusy::Gone; break;
                case TOpenFailure::Unreachable: port.Busy = TPortBusy::Unreachable; break;
                case TOpenFailure::Other: break;
                }
            }
        }
        try {
            if (port.Busy == TPortBusy::Held)
                port.Holder = link.ComPort.FindPortHolder(name);
            port.Facts = link.ComPort.DescribePort(name);
        } catch (...) {
            port.Facts = {};
            port.Holder.reset();
        }
        ports << port;
    }
    return ports;
}
