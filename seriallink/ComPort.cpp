#include "seriallink/ComPort.h"

#include <algorithm>

int BaudRateToBits(TBaudRate rate, int customBaudRate)
{
    switch (rate) {
    case brCustom: return customBaudRate;
    case br110: return 110;
    case br300: return 300;
    case br600: return 600;
    case br1200: return 1200;
    case br2400: return 2400;
    case br4800: return 4800;
    case br9600: return 9600;
    case br14400: return 14400;
    case br19200: return 19200;
    case br38400: return 38400;
    case br56000: return 56000;
    case br57600: return 57600;
    case br115200: return 115200;
    case br128000: return 128000;
    case br256000: return 256000;
    }
    return 9600;
}

QString ComErrorDescription(int code)
{
    switch (code) {
    case CE_OpenFailed: return QStringLiteral("Unable to open com port");
    case CE_WriteFailed: return QStringLiteral("WriteFile function failed");
    case CE_ReadFailed: return QStringLiteral("ReadFile function failed");
    case CE_PurgeFailed: return QStringLiteral("PurgeComm function failed");
    case CE_SetStateFailed: return QStringLiteral("SetCommState function failed");
    case CE_SetTimeoutsFailed: return QStringLiteral("SetCommTimeouts function failed");
    case CE_SetupComFailed: return QStringLiteral("SetupComm function failed");
    case CE_ClearComFailed: return QStringLiteral("ClearCommError function failed");
    case CE_RegError: return QStringLiteral("Error getting data from registry");
    default: return QStringLiteral("Unknown com port error");
    }
}

EComPort::EComPort(int code, int winCode)
    : std::runtime_error(QStringLiteral("%1 (win error code: %2)")
                             .arg(ComErrorDescription(code))
                             .arg(winCode)
                             .toStdString()),
      code_(code), winCode_(winCode)
{
}

void TCustomComPort::SetPort(const QString &name)
{
    if (name == port_)
        return;
    port_ = name;
    if (connected_) {
        ClosePort();
        OpenPort();
    }
}

void TCustomComPort::SetBaudRate(TBaudRate rate)
{
    if (rate == baudRate_)
        return;
    baudRate_ = rate;
    if (connected_)
        DoApplyBaudRate();
}

void TCustomComPort::OpenPort(TOpenPurpose purpose)
{
    if (connected_)
        return;
    openingFor_ = purpose;
    try {
        DoOpen();
    } catch (const EComPort &error) {
        lastOpenError_ = error.WinCode();
        lastOpenDenied_ = IsAccessDenial(error);
        openingFor_ = TOpenPurpose::Transfer;
        throw;
    }
    openingFor_ = TOpenPurpose::Transfer;
    lastOpenError_ = 0;
    lastOpenDenied_ = false;
    connected_ = true;
}

void TCustomComPort::ClosePort()
{
    if (!connected_)
        return;
    DoClose();
    connected_ = false;
}

void SortPortNames(QStringList &names)
{
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
}
