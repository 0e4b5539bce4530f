// Durable append on Windows: a handle that may append but not overwrite writes every WriteFile at
// the end of the file as one piece, and FlushFileBuffers waits for the disk. A new file's name
// needs no flush of its own folder there: NTFS logs the folder's change with the file.
#include "station/DurableFile.h"

#include <QDir>

#include <windows.h>

namespace {

void SetError(QString *error, const char *text, const QString &path, DWORD number)
{
    if (error)
        *error = QString::fromLatin1(text).arg(QDir::toNativeSeparators(path), qt_error_string(int(number)));
}

// The largest piece one WriteFile is given.
constexpr qsizetype MaxWrite = 1 << 30;

// The appenders' lock: one byte far beyond the end of any report. Locking it does not keep
// readers or other writers from the file's content (Windows' byte-range locks are mandatory),
// it only makes the appenders that take it wait for each other.
constexpr DWORD LockOffsetLow = 0xFFFFFFF0u;
constexpr DWORD LockOffsetHigh = 0x7FFFFFFFu;

// Reading is asked for to look at the last byte through this one handle and to take the lock;
// without write access to the data (FILE_WRITE_DATA) every write still goes to the end.
constexpr DWORD AppendAccess = GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE;

HANDLE OpenForAppend(const QString &path, DWORD access, DWORD disposition, DWORD flags)
{
    const QString native = QDir::toNativeSeparators(path);
    // Others may read and append meanwhile (another station program, a viewer); the handle is
    // not inherited by programs this one starts.
    return CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, disposition, flags, nullptr);
}

OVERLAPPED LockPlace()
{
    OVERLAPPED place{};
    place.Offset = LockOffsetLow;
    place.OffsetHigh = LockOffsetHigh;
    return place;
}

// Looks whether the file ends with a byte that is not a line feed, read at its place through the
// appending handle. False with the system's error when the size or the byte cannot be read.
bool EndsInsideALine(HANDLE file, bool &inside, DWORD &failure)
{
    inside = false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        failure = GetLastError();
        return false;
    }
    if (size.QuadPart <= 0)
        return true;
    const ULONGLONG lastByte = ULONGLONG(size.QuadPart - 1);
    OVERLAPPED at{};
    at.Offset = DWORD(lastByte & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(lastByte >> 32);
    char last = '\n';
    DWORD got = 0;
    if (!ReadFile(file, &last, 1, &got, &at)) {
        failure = GetLastError();
        if (failure != ERROR_HANDLE_EOF) // shortened meanwhile: nothing to look at
            return false;
        got = 0;
    }
    inside = (got == 1 && last != '\n');
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
    HANDLE file = OpenForAppend(path, AppendAccess, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (file == INVALID_HANDLE_VALUE) {
        SetError(error, DurableFileTexts::CannotOpen, path, GetLastError());
        return false;
    }
    OVERLAPPED place = LockPlace();
    const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place);

    bool inside = false;
    DWORD readFailure = ERROR_SUCCESS;
    if (closeCutLine && !EndsInsideALine(file, inside, readFailure)) {
        if (locked) {
            OVERLAPPED again = LockPlace();
            UnlockFileEx(file, 0, 1, 0, &again);
        }
        CloseHandle(file);
        SetError(error, DurableFileTexts::CannotRead, path, readFailure);
        return false;
    }
    QByteArray out = bytes;
    if (inside)
        out.prepend('\n');

    const char *rest = out.constData();
    qsizetype left = out.size();
    DWORD failure = ERROR_SUCCESS;
    while (left > 0) {
        const DWORD piece = DWORD(qMin(left, MaxWrite));
        DWORD wrote = 0;
        if (!WriteFile(file, rest, piece, &wrote, nullptr)) {
            failure = GetLastError();
            break;
        }
        if (wrote == 0) { // nothing taken and no reason given: do not spin
            failure = ERROR_WRITE_FAULT;
            break;
        }
        rest += wrote;
        left -= qsizetype(wrote);
    }
    const bool written = (left == 0);
    const bool flushed = written && FlushFileBuffers(file);
    const DWORD flushFailure = flushed ? ERROR_SUCCESS : GetLastError();
    if (locked) {
        OVERLAPPED again = LockPlace();
        UnlockFileEx(file, 0, 1, 0, &again);
    }
    CloseHandle(file);

    if (!written) {
        SetError(error, DurableFileTexts::CannotWrite, path, failure);
        return false;
    }
    if (!flushed) {
        SetError(error, DurableFileTexts::CannotFlush, path, flushFailure);
        return false;
    }
    return true;
}

bool CanAppendTo(const QString &path, QString *error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QString::fromLatin1(DurableFileTexts::NoFileName);
        return false;
    }
    HANDLE file = OpenForAppend(path, AppendAccess, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (file != INVALID_HANDLE_VALUE) {
        const bool regular = GetFileType(file) == FILE_TYPE_DISK;
        CloseHandle(file);
        if (!regular)
            SetError(error, DurableFileTexts::CannotOpen, path, ERROR_INVALID_FUNCTION);
        return regular;
    }
    const DWORD failure = GetLastError();
    if (failure != ERROR_FILE_NOT_FOUND) {
        SetError(error, DurableFileTexts::CannotOpen, path, failure);
        return false;
    }
    // A missing file: the folder must take a new one. The file is made and gone again when its
    // handle closes, so no name is left behind.
    file = OpenForAppend(path, AppendAccess | DELETE, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    if (file == INVALID_HANDLE_VALUE) {
        SetError(error, DurableFileTexts::CannotCreate, path, GetLastError());
        return false;
    }
    CloseHandle(file);
    return true;
}
