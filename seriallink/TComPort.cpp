// What the serial port does alike on every platform: the write time-out, the sorted port list
// and the device a name opens. The device work is in TComPort_posix.cpp and TComPort_windows.cpp.
#include "seriallink/TComPort.h"

#include <limits>

#include "seriallink/PortPlatform.h"

int TComPort::WriteTimeoutMs(qsizetype n)
{
    const qint64 ms = 1000 + 100 * qint64(n);
    return int(qMin<qint64>(ms, std::numeric_limits<int>::max()));
}

void TComPort::ListSerialPorts(QStringList &list)
{
    QStringList names = SystemPortNames();
    SortPortNames(names);
    list = names;
}

QString TComPort::DeviceLocation(const QString &name) const
{
    return PortDeviceLocation(name);
}
