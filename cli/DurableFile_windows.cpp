// Durable append on Windows: a handle opened with append access alone writes every WriteFile at
// the end of the file as one piece, and FlushFileBuffers waits for the disk. A new file's name
// needs no flush of its own folder there: NTFS logs the folder's change with the file.
#include "cli/DurableFile.h"

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

} // namespace

bool AppendWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QString::fromLatin1(DurableFileTexts::NoFileName);
        return false;
    }
    const QString native = QDir::toNativeSeparators(path);
    // Others may read and append meanwhile (another station program, a viewer); the handle is
    // not inherited by programs this one starts.
    const HANDLE file = CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()), FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetError(error, DurableFileTexts::CannotOpen, path, GetLastError());
        return false;
    }

    // One write; only a write cut short by the system is continued with the rest.
    const char *rest = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const DWORD piece = DWORD(qMin(left, MaxWrite));
        DWORD wrote = 0;
        if (!WriteFile(file, rest, piece, &wrote, nullptr)) {
            const DWORD number = GetLastError();
            CloseHandle(file);
            SetError(error, DurableFileTexts::CannotWrite, path, number);
            return false;
        }
        if (wrote == 0) { // nothing taken and no reason given: do not spin
            CloseHandle(file);
            SetError(error, DurableFileTexts::CannotWrite, path, ERROR_WRITE_FAULT);
            return false;
        }
        rest += wrote;
        left -= qsizetype(wrote);
    }

    if (!FlushFileBuffers(file)) {
        const DWORD number = GetLastError();
        CloseHandle(file);
        SetError(error, DurableFileTexts::CannotFlush, path, number);
        return false;
    }
    CloseHandle(file);
    return true;
}
