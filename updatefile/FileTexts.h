#pragma once

#include <QString>

// Texts about the update file that the technician sees; each is written once, here. The file
// error box and its title are also shown by the update flows when they cannot open the file.
namespace FileTexts {
// File warning label (LabelFileWarning).
inline const QString FileNotFound = QString::fromLatin1("Warning: File not found.");
inline const QString NameTooShort = QString::fromLatin1("Warning: Filename too short.");
inline const QString NameMayBeIncorrect = QString::fromLatin1("Warning: Filename may be incorrect.");
inline const QString NameCheckFailed = QString::fromLatin1("Warning: File name verification failed.");

// Status line during the format check.
inline const QString CheckingFormat = QString::fromLatin1("Checking file format. Please wait.");
inline const QString ProblemReading = QString::fromLatin1("Problem reading update file.");
inline const QString ProblemFormat = QString::fromLatin1("Problem with update file format.");

// The file cannot be opened.
inline const QString FileErrorTitle = QString::fromLatin1("File Error");
inline const QString CouldNotBeRead = QString::fromLatin1("The selected update file could not be read. The file may be opened by a different application or may no longer exist.");

// The file's structure does not fit the unit type.
inline const QString FormatErrorTitle = QString::fromLatin1("File Format Error");
inline const QString FormatErrorText = QString::fromLatin1("The selected update file is not in the proper format for this unit type, or may be damaged. Please try again.");
inline const QString LimitText = QString::fromLatin1("The selected update file has reached an internal limit of 20000 lines and cannot be used.");
} // namespace FileTexts
