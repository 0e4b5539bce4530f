#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "seriallink/LinkPrimitives.h"
#include "seriallink/PortFacts.h"

// What a busy port's name carries in every list of ports a front end shows.
inline constexpr const char *BusyPortSuffix = " (busy)";

// Why a port of the list is marked busy.
enum class TPortBusy {
    Free,         // the port opened
    NoPermission, // the user may not open the device
    Held,         // it did not open for another reason: mostly another program holds it
    Gone,         // the device is not there (an unplugged adapter, a stale entry of the list)
    Unreachable   // the device does not answer (a Bluetooth port out of range)
};

// One port of the system's list as the technician is shown it.
struct TScannedPort {
    QString Name;
    TPortBusy Busy = TPortBusy::Free;
    TPortFacts Facts;                  // what the system tells about its adapter
    std::optional<TPortHolder> Holder; // the program that holds a busy port, where known
};

// The serial ports the system knows, in the list's order, each probed (opened and closed again)
// to see whether it can be had. A list that cannot be read is an empty list. The probes leave the
// link's port name at the last port of the list.
QList<TScannedPort> ScanSerialPorts(TLink &link);
