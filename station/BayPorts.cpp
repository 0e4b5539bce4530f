#include "station/BayPorts.h"

#include <QFileInfo>
#include <QMap>

#include "seriallink/PortPlatform.h"
#include "seriallink/TComPort.h"

QString PortLineKey(const QString &name)
{
    const QString location = PortDeviceLocation(name);
    const QString canonical = QFileInfo(location).canonicalFilePath();
    return canonical.isEmpty() ? location.toUpper() : canonical;
}

namespace {

// A device that is there though the port list does not name it (a pseudo-terminal's path, a
// link to one): something that exists and is neither a folder nor a plain file.
bool IsUnlistedDevice(const QString &given)
{
    const QFileInfo info(PortDeviceLocation(given));
    const QFileInfo target(info.canonicalFilePath());
    return info.exists() && !target.filePath().isEmpty() && !target.isDir() && !target.isFile();
}

} // namespace

QList<TBayPort> ResolveBays(const QList<TJobBay> &bays, const QStringList &portNames,
                            const std::function<TPortFacts(const QString &)> &factsOf)
{
    // The facts of the listed ports are read only when a bay is named by its socket or its
    // adapter, and then once for each port.
    QMap<QString, TPortFacts> facts;
    bool factsRead = false;
    const auto readFacts = [&] {
        if (factsRead)
            return;
        factsRead = true;
        for (const QString &name : portNames)
            facts.insert(name, factsOf ? factsOf(name) : TPortFacts{});
    };

    QList<TBayPort> resolved;
    QMap<QString, QString> lines; // line key -> the first bay on it
    for (const TJobBay &bay : bays) {
        TBayPort port;
        port.Bay = bay.Name;
        port.Given = bay.Port.trimmed();
        const QString given = port.Given;
        if (!given.isEmpty()) {
            // The name as the list has it; then a name or link that leads to a listed port.
            if (portNames.contains(given)) {
                port.PortName = given;
            } else {
                const QString key = PortLineKey(given);
                for (const QString &name : portNames) {
                    if (PortLineKey(name) == key) {
                        port.PortName = name;
                        break;
                    }
                }
            }
            // The socket (a location path) or the adapter's by-id link, as the system describes it.
            if (port.PortName.isEmpty()) {
                readFacts();
                for (const QString &name : portNames) {
                    const TPortFacts &f = facts[name];
                    if ((!f.LocationPath.isEmpty() && f.LocationPath.compare(given, Qt::CaseInsensitive) == 0)
                        || (!f.ByIdLink.isEmpty() && f.ByIdLink == given)) {
                        port.PortName = name;
                        break;
                    }
                }
            }
            if (port.PortName.isEmpty() && IsUnlistedDevice(given))
                port.PortName = given;
        }
        if (!port.PortName.isEmpty()) {
            port.Facts = facts.contains(port.PortName) ? facts.value(port.PortName)
                                                       : (factsOf ? factsOf(port.PortName) : TPortFacts{});
            const QString key = PortLineKey(port.PortName);
            if (lines.contains(key))
                port.SameLineAs = lines.value(key);
            else
                lines.insert(key, bay.Name);
        }
        resolved << port;
    }
    return resolved;
}

QList<TBayPort> ResolveBays(const QList<TJobBay> &bays)
{
    TComPort port;
    QStringList names;
    try {
        port.ListSerialPorts(names);
    } catch (...) {
        names.clear();
    }
    return ResolveBays(bays, names, [&port](const QString &name) {
        try {
            return port.DescribePort(name);
        } catch (...) {
            return TPortFacts{};
        }
    });
}
