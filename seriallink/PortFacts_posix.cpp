// What Linux tells about a serial port's adapter and about the program that holds a port.
#include "seriallink/PortFacts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/types.h>

#include "seriallink/PortPlatform.h"

namespace {

// The device file a port name leads to, links followed (a virtual port's link, a udev alias);
// the location itself when it does not exist.
QString DevicePath(const QString &location)
{
    const QString canonical = QFileInfo(location).canonicalFilePath();
    return canonical.isEmpty() ? location : canonical;
}

// The first line of a small text file, trimmed; empty when it cannot be read.
QString FirstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readLine(256)).trimmed();
}

// The link in a folder of /dev/serial that leads to the device: by-id names the adapter, by-path
// the USB socket it is plugged into.
QString SerialLinkTo(const QString &folder, const QString &device)
{
    const QDir dir(folder);
    const QFileInfoList links = dir.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (link.isSymLink() && link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    }
    return {};
}

std::optional<int> LatencyTimerOf(const QString &device)
{
    const QString path =
        QStringLiteral("/sys/bus/usb-serial/devices/%1/latency_timer").arg(QFileInfo(device).fileName());
    bool ok = false;
    const int ms = FirstLine(path).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return ms;
}

bool ProcessLives(qint64 pid)
{
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// The program's name: the kernel's short name, or argv[0] when that was cut at 15 characters.
QString ProgramOf(qint64 pid)
{
    const QString proc = QStringLiteral("/proc/%1/").arg(pid);
    QString name = FirstLine(proc + QStringLiteral("comm"));
    if (name.size() >= 15) {
        QFile cmdline(proc + QStringLiteral("cmdline"));
        if (cmdline.open(QIODevice::ReadOnly)) {
            const QByteArray argv0 = cmdline.read(4096).split('\0').value(0);
            const QString program = QFileInfo(QString::fromLocal8Bit(argv0)).fileName();
            if (program.startsWith(name))
                name = program;
        }
    }
    return name;
}

// The names a UUCP lock file of the port may carry: the port's path below /dev with every '/'
// made '_' (LCK..ttyUSB0, LCK..pts_3), for the name as listed and for the device it leads to.
QStringList LockNames(const QString &location, const QString &device)
{
    QStringList names;
    for (QString path : {location, device}) {
        if (path.startsWith(QLatin1String("/dev/")))
            path.remove(0, 5);
        path.replace(QLatin1Char('/'), QLatin1Char('_'));
        const QString name = QStringLiteral("LCK..") + path;
        if (!names.contains(name))
            names << name;
    }
    return names;
}

// The process named in a lock file: its process id as decimal text (HDB UUCP style, also what
// Qt writes on its first line) or as a binary int of four bytes (the old style).
qint64 LockFilePid(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray content = file.read(256);
    if (content.size() == 4 && !content.contains('\n')) {
        qint32 pid = 0;
        memcpy(&pid, content.constData(), 4);
        return pid;
    }
    bool ok = false;
    const qint64 pid = content.split('\n').value(0).trimmed().toLongLong(&ok);
    return ok ? pid : 0;
}

std::optional<TPortHolder> HolderFromLockFile(const QString &location, const QString &device)
{
    static const QStringList lockDirs{QStringLiteral("/var/lock"),       QStringLiteral("/run/lock"),
                                      QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                                      QStringLiteral("/etc/locks"),      QStringLiteral("/var/lock/lockdev"),
                                      QStringLiteral("/tmp"),            QStringLiteral("/var/tmp")};
    for (const QString &dir : lockDirs) {
        for (const QString &name : LockNames(location, device)) {
            const qint64 pid = LockFilePid(dir + QLatin1Char('/') + name);
            // A lock left behind by a program that has ended says nothing about the port.
            if (ProcessLives(pid))
                return TPortHolder{pid, ProgramOf(pid)};
        }
    }
    return std::nullopt;
}

std::optional<TPortHolder> HolderFromOpenFiles(const QString &location, const QString &device)
{
    const qint64 self = QCoreApplication::applicationPid();
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == self)
            continue;
        // Another user's descriptors cannot be read without privileges; they are passed over.
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        const QFileInfoList links = fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &fd : links) {
            const QString target = fd.symLinkTarget();
            if (!target.isEmpty() && (target == device || target == location))
                return TPortHolder{pid, ProgramOf(pid)};
        }
    }
    return std::nullopt;
}

} // namespace

TPortFacts SystemPortFacts(const QString &name)
{
    const QString device = DevicePath(PortDeviceLocation(name));
    TPortFacts facts;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        if (DevicePath(info.systemLocation()) != device)
            continue;
        facts.Description = info.description();
        facts.Manufacturer = info.manufacturer();
        facts.SerialNumber = info.serialNumber();
        if (info.hasVendorIdentifier())
            facts.VendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            facts.ProductId = info.productIdentifier();
        break;
    }
    facts.ByIdLink = SerialLinkTo(QStringLiteral("/dev/serial/by-id"), device);
    facts.LocationPath = SerialLinkTo(QStringLiteral("/dev/serial/by-path"), device);
    facts.LatencyTimerMs = LatencyTimerOf(device);
    return facts;
}

std::optional<TPortHolder> SystemPortHolder(const QString &name)
{
    const QString location = PortDeviceLocation(name);
    const QString device = DevicePath(location);
    if (auto holder = HolderFromLockFile(location, device))
        return holder;
    return HolderFromOpenFiles(location, device);
}

bool IsAccessDenialError(int platformError)
{
    return platformError == EACCES;
}

TOpenFailure OpenFailureOf(int)
{
    return TOpenFailure::Other;
}
