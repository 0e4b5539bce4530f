// Durable append on POSIX: O_APPEND makes each write() go to the end of the file as one piece,
// fsync() waits for the disk, and a newly made file also needs its folder flushed, or a power
// cut can lose the file's name with its content.
#include "station/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void SetError(QString *error, const char *text, const QString &path, int number)
{
    if (error)
        *error = QString::fromLatin1(text).arg(QDir::toNativeSeparators(path), qt_error_string(number));
}

// Opens the file for appending; created tells whether this open made it.
int OpenForAppend(const QByteArray &name, bool &created)
{
    created = false;
    for (;;) {
        int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            created = true;
            return fd;
        }
        if (errno != EEXIST)
            return fd;
        // Another program made it between the two opens: open what it made.
    }
}

int FsyncRetried(int fd)
{
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Waits for the file's advisory lock. A file system without locks still gets the line: the lock
// only keeps the look at the last byte and the write together.
void LockRetried(int fd)
{
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

// True when the file holds something whose last byte is not a line feed. Read through a
// descriptor of its own: the one for appending may not read.
bool EndsInsideALine(const QByteArray &name, int appendFd)
{
    struct stat st {};
    if (::fstat(appendFd, &st) != 0 || st.st_size <= 0)
        return false;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char last = '\n';
    ssize_t got;
    do {
        got = ::pread(fd, &last, 1, st.st_size - 1);
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    return got == 1 && last != '\n';
}

// Writes all of bytes; only a write cut short by a signal or by the system is continued with the
// rest. False with errno set.
bool WriteAll(int fd, const QByteArray &bytes)
{
    const char *rest = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t wrote = ::write(fd, rest, size_t(left));
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (wrote == 0) { // nothing taken and no reason given: do not spin
            errno = EIO;
            return false;
        }
        rest += wrote;
        left -= qsizetype(wrote);
    }
    return true;
}

} // namespace

bool AppendToFile(const QString &path, const QByteArray &bytes, bool closeCutLine, QString *error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QString::fromLatin1(DurableFileTexts::NoFileName);
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    bool created = false;
    const int fd = OpenForAppend(name, created);
    if (fd < 0) {
        SetError(error, DurableFileTexts::CannotOpen, path, errno);
        return false;
    }
    LockRetried(fd);

    const QByteArray out = (closeCutLine && EndsInsideALine(name, fd)) ? QByteArray("\n") + bytes : bytes;
    if (!WriteAll(fd, out)) {
        const int number = errno;
        ::close(fd);
        SetError(error, DurableFileTexts::CannotWrite, path, number);
        return false;
    }
    if (FsyncRetried(fd) != 0) {
        const int number = errno;
        ::close(fd);
        SetError(error, DurableFileTexts::CannotFlush, path, number);
        return false;
    }
    // Closing releases the lock. A failed close after a successful fsync loses nothing; it is not
    // retried (the descriptor is gone either way).
    ::close(fd);

    if (created) {
        const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
        const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) {
            SetError(error, DurableFileTexts::CannotOpenFolder, path, errno);
            return false;
        }
        // Some file systems cannot flush a folder (EINVAL): there is nothing more to do there.
        if (FsyncRetried(dirFd) != 0 && errno != EINVAL) {
            const int number = errno;
            ::close(dirFd);
            SetError(error, DurableFileTexts::CannotFlushFolder, path, number);
            return false;
        }
        ::close(dirFd);
    }
    return true;
}
