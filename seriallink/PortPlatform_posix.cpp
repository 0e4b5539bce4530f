// The serial port's Linux side: device paths, the port list (Qt Serial Port's ports and the
// virtual ports made as links in /dev) and the access check.
#include "seriallink/PortPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString DevDir = QStringLiteral("/dev");

// True when the link's own target (one step, not followed further) is a pseudo-terminal's
// terminal end, /dev/pts/<n>, and that device exists. Links that reach a terminal only over
// more links (/dev/stdin -> /proc/self/fd/0 -> ...) are not virtual ports, and /dev/pts/ptmx
// is the multiplexer, which makes a new pseudo-terminal each time it is opened.
bool LeadsToPseudoTerminal(const QFileInfo &link)
{
    QString target = link.symLinkTarget();
    if (target.isEmpty())
        return false;
    target = QDir::cleanPath(target);
    static const QRegularExpression terminalEnd(QStringLiteral("^/dev/pts/[0-9]+$"));
    if (!terminalEnd.match(target).hasMatch())
        return false;
    struct stat st {};
    return ::stat(QFile::encodeName(target).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}
} // namespace

QString PortDeviceLocation(const QString &name)
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return DevDir + QLatin1Char('/') + name;
}

QStringList SystemPortNames()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    const QDir dev(DevDir);
    const QFileInfoList entries = dev.entryInfoList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink() && LeadsToPseudoTerminal(entry))
            names << entry.fileName();
    }
    return names;
}

bool PortAccessDenied(const QString &location)
{
    const QByteArray path = QFile::encodeName(location);
    return ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
}

