// The single-instance guard on Linux: an exclusive lock on a file in the user's runtime
// folder. The kernel drops the lock when the process ends, so a crashed copy never blocks the
// next start.
#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString InstanceLockPath(const QString &instanceName)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(instanceName);
    // No runtime folder: the shared temp folder, with the user id in the name so that each user
    // has a lock of their own.
    return QDir(QDir::tempPath()).filePath(instanceName + QStringLiteral(".%1").arg(uint(getuid())));
}

TInstanceCheck TakeInstanceLock(const QString &instanceName)
{
    const QByteArray path = QFile::encodeName(InstanceLockPath(instanceName));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return TInstanceCheck::NoGuard;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return TInstanceCheck::First; // fd stays open: the lock lasts as long as the process
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? TInstanceCheck::AlreadyRunning : TInstanceCheck::NoGuard;
}
