#pragma once

#include <QByteArray>
#include <QString>

// Appends bytes to the end of the file at path, creating it when missing, and does not return
// before the system says they are on the disk. The bytes go out in one write where the system
// takes them whole, so that two programs appending to the same file at once never mix their
// bytes, and a crash or power cut leaves either all of them or none. False with a one-line
// reason in error (when given) when the file could not be opened, written or flushed.
bool AppendWhole(const QString &path, const QByteArray &bytes, QString *error);

// Appends line and a line feed like AppendWhole. When the file ends inside a line (a write cut
// short by a crash or a full disk), a line feed goes first, so that the new line is never glued
// to the cut one; that look reads the file through the descriptor that appends, so a file that
// cannot be read is refused rather than appended to blind. Appenders that come through here take turns on an advisory lock of the file,
// so that the look at its last byte and the write are one step.
bool AppendLine(const QString &path, const QByteArray &line, QString *error);

// Whether lines can be appended to the file at path, asked before anything depends on it and
// without creating or changing the file: an existing file must open for reading and appending
// (the look at its last byte reads it), a missing one's folder must take a new file. False with
// a one-line reason in error (when given).
bool CanAppendTo(const QString &path, QString *error);

// The platform's append behind both (DurableFile_posix.cpp, DurableFile_windows.cpp): with
// closeCutLine, under the file's lock, a line feed first when the file ends inside a line.
bool AppendToFile(const QString &path, const QByteArray &bytes, bool closeCutLine, QString *error);

// The reasons both give: %1 the file, %2 what the system said.
namespace DurableFileTexts {
inline constexpr char NoFileName[] = "no file named to append to";
inline constexpr char CannotOpen[] = "cannot open %1: %2";
inline constexpr char CannotCreate[] = "cannot create %1: %2";
inline constexpr char CannotRead[] = "cannot read the end of %1: %2";
inline constexpr char CannotWrite[] = "cannot write to %1: %2";
inline constexpr char CannotFlush[] = "cannot flush %1 to the disk: %2";
inline constexpr char CannotOpenFolder[] = "cannot open the folder of %1: %2";
inline constexpr char CannotFlushFolder[] = "cannot flush the folder of %1 to the disk: %2";
} // namespace DurableFileTexts
