// The serial port's platform part where nothing beyond Qt Serial Port is needed.
#include <QtGlobal>

#if !defined(Q_OS_LINUX)

#include "seriallink/PortPlatform.h"

QString PortDeviceLocation(const QString &name)
{
    return name;
}

QStringList ExtraPortNames()
{
    return {};
}

bool PortAccessDenied(const QString &)
{
    return false;
}

#endif
