#pragma once

#include "seriallink/TComPort.h"

// The serial port of the demonstration: the system's ports, plus the simulated unit's line
// under a clear name when there is one.
class TDemoComPort : public TComPort {
public:
    static constexpr const char *SimulatedPortName = "Simulated unit";

    explicit TDemoComPort(const QString &simulatedDevice) : device_(simulatedDevice) {}

    void ListSerialPorts(QStringList &list) override
    {
        TComPort::ListSerialPorts(list);
        if (!device_.isEmpty()) {
            list.append(QString::fromLatin1(SimulatedPortName));
            SortPortNames(list);
        }
    }

protected:
    QString DeviceLocation(const QString &name) const override
    {
        if (!device_.isEmpty() && name == QLatin1String(SimulatedPortName))
            return device_;
        return TComPort::DeviceLocation(name);
    }

private:
    QString device_;
};
