// Durable append on POSIX: O_APPEND makes each write() go to the end of the file as one piece,
// fsync() waits for the disk, and a new file also needs its folder flushed, or a power cut can
// lose the file's name with its content.
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

// Opens the file for reading and appending, created when missing. The one descriptor serves the
// look at the last byte too: a second open by name could meet another file (a report rotated
// meanwhile) or be refused (a file the user may append to but not read) and skip the look.
int OpenForAppend(const QByteArray &name)
{
    int fd;
    do {
        fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    return fd;
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

// True when the file (size bytes long) ends with a byte that is not a line feed, read at its
// place through the appending descriptor. False with errno set when it cannot be read.
bool EndsInsideALine(int fd, off_t size, bool &inside)
{
    inside = false;
    if (size <= 0)
        return true;
    char last = '\n';
    ssize_t got;
    do {
        got = ::pread(fd, &last, 1, size - 1);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return false;
    inside = (got == 1 && last != '\n');
    return true;
}

// Flushes the folder that holds path; false with the reason in error.
bool SyncFolderOf(const QString &path, QString *error)
{
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
    return true;
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
    const int fd = OpenForAppend(name);
    if (fd < 0) {
        SetError(error, DurableFileTexts::CannotOpen, path, errno);
        return false;
    }
    LockRetried(fd);

    // A file that was empty before this write is new to the disk as far as anyone can know (made
    // by this open, by another appender or by a check beforehand): its name in the folder gets
    // flushed too, once, by the appender that writes its first bytes.
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int number = errno;
        ::close(fd);
        SetError(error, DurableFileTexts::CannotOpen, path, number);
        return false;
    }
    const bool firstBytes = (st.st_size == 0);
    bool inside = false;
    if (closeCutLine && !EndsInsideALine(fd, st.st_size, inside)) {
        const int number = errno;
        ::close(fd);
        SetError(error, DurableFileTexts::CannotRead, path, number);
        return false;
    }
    const QByteArray out = inside ? QByteArray("\n") + bytes : bytes;
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
    return !firstBytes || SyncFolderOf(path, error);
}

bool CanAppendTo(const QString &path, QString *error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QString::fromLatin1(DurableFileTexts::NoFileName);
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        struct stat st {};
        const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        ::close(fd);
        if (!regular)
            SetError(error, DurableFileTexts::CannotOpen, path, EINVAL);
        return regular;
    }
    if (errno != ENOENT) {
        SetError(error, DurableFileTexts::CannotOpen, path, errno);
        return false;
    }
    // A missing file: its folder must take a new one. An unnamed file made there and dropped
    // again proves it without leaving a name behind; where the file system cannot make one, the
    // folder's permissions are asked.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
#ifdef O_TMPFILE
    const int probe = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (probe >= 0) {
        ::close(probe);
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        SetError(error, DurableFileTexts::CannotCreate, path, errno);
        return false;
    }
#endif
    struct stat st {};
    if (::stat(folder.constData(), &st) != 0) {
        SetError(error, DurableFileTexts::CannotCreate, path, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetError(error, DurableFileTexts::CannotCreate, path, ENOTDIR);
        return false;
    }
    if (::access(folder.constData(), W_OK | X_OK) != 0) {
        SetError(error, DurableFileTexts::CannotCreate, path, errno);
        return false;
    }
    return true;
}
