#pragma once

#include <QString>
#include <QStringList>

// What the serial port needs from the operating system beyond Qt Serial Port. Each platform
// has its own small source file.

// The device a port name opens: on Linux /dev/<name>, or the name itself when it is a path
// (starts with '/'); elsewhere the name as Qt Serial Port takes it.
QString PortDeviceLocation(const QString &name);

// Port names that the system's port list does not show but a technician may pick: on Linux the
// symbolic links directly in /dev that lead to a pseudo-terminal (virtual serial ports, such as
// a line to a simulated unit). Unsorted; empty where the platform has none.
QStringList ExtraPortNames();

// True when the user lacks the permission to open the device for reading and writing (on Linux,
// typically a user outside the dialout group), as opposed to a device that exists and is open
// for us but held by another program.
bool PortAccessDenied(const QString &location);
