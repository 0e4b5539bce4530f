#pragma once

#include <QString>
#include <QStringList>

// What the serial port needs from the operating system besides the device itself. Each platform
// has its own source file (PortPlatform_posix.cpp, PortPlatform_windows.cpp).

// The device a port name opens: on Linux /dev/<name>, or the name itself when it is a path
// (starts with '/'); on Windows \\.\<name>, which reaches COM10 and beyond too.
QString PortDeviceLocation(const QString &name);

// The names of the serial ports the system knows, unsorted. On Linux the ports Qt Serial Port
// finds plus the symbolic links directly in /dev that lead to a pseudo-terminal (virtual serial
// ports, such as a line to a simulated unit); on Windows the values of the registry key
// HARDWARE\DEVICEMAP\SERIALCOMM. Raises EComPort (code 23) when the system's list cannot be read.
QStringList SystemPortNames();

// True when the user lacks the permission to open the device for reading and writing (on Linux,
// typically a user outside the dialout group), as opposed to a device that exists and is open
// for us but held by another program. Always false where the system does not tell the two apart.
bool PortAccessDenied(const QString &location);
