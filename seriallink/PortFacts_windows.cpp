// What Windows tells about a serial port's adapter: the device node of the Ports class whose
// PortName is the port's name, and the nodes above it, read through SetupAPI and the
// configuration manager; turned into facts by PortFactsFromDeviceNodes. A port held by another
// program is only seen as busy: Windows does not name the holder to an ordinary user.
#include "seriallink/PortFacts.h"

#include <QList>

#include <windows.h>
#include <cfgmgr32.h>
#include <devguid.h>
#include <initguid.h> // the property keys below are defined here, not in a library
#include <devpkey.h>
#include <setupapi.h>

#include "seriallink/DeviceNodeFacts.h"

namespace {

// A REG_MULTI_SZ or DEVPROP_TYPE_STRING_LIST: texts one after another, each ended by a zero.
QStringList MultiText(const wchar_t *buffer, size_t units)
{
    QStringList texts;
    size_t start = 0;
    for (size_t i = 0; i < units; ++i) {
        if (buffer[i] != 0)
            continue;
        if (i == start)
            break;
        texts << QString::fromWCharArray(buffer + start, int(i - start));
        start = i + 1;
    }
    return texts;
}

QString NodeText(DEVINST node, const DEVPROPKEY &key)
{
    wchar_t buffer[512] = {};
    DEVPROPTYPE type = 0;
    ULONG size = sizeof buffer - sizeof(wchar_t);
    if (CM_Get_DevNode_PropertyW(node, &key, &type, reinterpret_cast<BYTE *>(buffer), &size, 0) != CR_SUCCESS
        || type != DEVPROP_TYPE_STRING)
        return {};
    return QString::fromWCharArray(buffer);
}

QStringList NodeTexts(DEVINST node, const DEVPROPKEY &key)
{
    wchar_t buffer[2048] = {};
    DEVPROPTYPE type = 0;
    ULONG size = sizeof buffer - 2 * sizeof(wchar_t);
    if (CM_Get_DevNode_PropertyW(node, &key, &type, reinterpret_cast<BYTE *>(buffer), &size, 0) != CR_SUCCESS
        || type != DEVPROP_TYPE_STRING_LIST)
        return {};
    return MultiText(buffer, size / sizeof(wchar_t));
}

std::optional<quint32> LatencyTimer(HKEY parameters)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegQueryValueExW(parameters, L"LatencyTimer", nullptr, &type, reinterpret_cast<BYTE *>(&value), &size)
            != ERROR_SUCCESS
        || type != REG_DWORD)
        return std::nullopt;
    return quint32(value);
}

TDeviceNode ReadNode(DEVINST node)
{
    TDeviceNode facts;
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS)
        facts.InstanceId = QString::fromWCharArray(id);
    facts.HardwareIds = NodeTexts(node, DEVPKEY_Device_HardwareIds);
    facts.FriendlyName = NodeText(node, DEVPKEY_Device_FriendlyName);
    facts.Manufacturer = NodeText(node, DEVPKEY_Device_Manufacturer);
    facts.Description = NodeText(node, DEVPKEY_Device_DeviceDesc);
    facts.BusReportedDescription = NodeText(node, DEVPKEY_Device_BusReportedDeviceDesc);
    facts.LocationPaths = NodeTexts(node, DEVPKEY_Device_LocationPaths);
    HKEY parameters = nullptr;
    if (CM_Open_DevNode_Key(node, KEY_READ, 0, RegDisposition_OpenExisting, &parameters, CM_REGISTRY_HARDWARE)
        == CR_SUCCESS) {
        facts.LatencyTimer = LatencyTimer(parameters);
        RegCloseKey(parameters);
    }
    return facts;
}

// The node of the present Ports-class device whose PortName is name; 0 when there is none.
DEVINST PortNode(const QString &name)
{
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return 0;
    DEVINST found = 0;
    SP_DEVINFO_DATA info {};
    info.cbSize = sizeof info;
    for (DWORD index = 0; !found && SetupDiEnumDeviceInfo(set, index, &info); ++index) {
        HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t portName[64] = {};
        DWORD size = sizeof portName - sizeof(wchar_t);
        DWORD type = 0;
        if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE *>(portName), &size)
                == ERROR_SUCCESS
            && type == REG_SZ && QString::fromWCharArray(portName).compare(name, Qt::CaseInsensitive) == 0)
            found = info.DevInst;
        RegCloseKey(key);
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

} // namespace

TPortFacts SystemPortFacts(const QString &name)
{
    const DEVINST port = PortNode(name);
    if (!port)
        return {};
    // The port's node and up to four above it reach the USB device of every adapter seen so far
    // (a port of a multi-port FTDI chip hangs two levels below it).
    QList<TDeviceNode> nodes;
    DEVINST node = port;
    for (int depth = 0; depth < 5; ++depth) {
        nodes << ReadNode(node);
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS)
            break;
        node = parent;
    }
    return PortFactsFromDeviceNodes(nodes);
}

std::optional<TPortHolder> SystemPortHolder(const QString &)
{
    return std::nullopt;
}

bool IsAccessDenialError(int)
{
    // Windows answers a port held by another program with "access denied" too.
    return false;
}

TOpenFailure OpenFailureOf(int platformError)
{
    switch (platformError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return TOpenFailure::Gone;
    case ERROR_SEM_TIMEOUT:
    case ERROR_GEN_FAILURE:
        return TOpenFailure::Unreachable;
    default:
        return TOpenFailure::Other;
    }
}
