// The serial port's Windows side: device names and the system's list of ports from the registry.
#include "seriallink/PortPlatform.h"

#include <windows.h>

#include "seriallink/ComPort.h"

QString PortDeviceLocation(const QString &name)
{
    // The device namespace prefix reaches every port; without it only COM1 to COM9 open.
    return QStringLiteral("\\\\.\\") + name;
}

QStringList SystemPortNames()
{
    // Every serial port driver enters its ports under this key: the value's data is the port's
    // name (COM3), the value's own name is the driver's and of no use here.
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS)
        throw EComPort(CE_RegError, int(opened));
    QStringList names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD valueNameSize = 256;
        BYTE data[256];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, valueName, &valueNameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS) {
            RegCloseKey(key);
            throw EComPort(CE_RegError, int(result));
        }
        // The data is a text of UTF-16 units, normally with its terminating zero.
        qsizetype units = qsizetype(dataSize / sizeof(wchar_t));
        const auto *text = reinterpret_cast<const char16_t *>(data);
        while (units > 0 && text[units - 1] == 0)
            --units;
        names << QString::fromUtf16(text, units);
    }
    RegCloseKey(key);
    return names;
}

bool PortAccessDenied(const QString &)
{
    // Windows answers a port held by another program with "access denied" as well; there is no
    // permission to be had, so a port that does not open is simply busy.
    return false;
}
