#pragma once

#include <QString>

// Texts about the update file that the technician sees; each is written once, here. The file
// error box and its title are also shown by the update flows when they cannot open the file.
namespace FileTexts {
// File warning label (LabelFileWarning).
inline const QString FileNotFound = QStringLiteral("Warning: File not found.");
inline const QString NameTooShort = QStringLiteral("Warning: Filename too short.");
inline const QString NameMayBeIncorrect = QStringLiteral("Warning: Filename may be incorrect.");
inline const QString NameCheckFailed = QStringLiteral("Warning: File name verification failed.");

// Status line during the format check.
inline const QString CheckingFormat = QStringLiteral("Checking file format. Please wait.");
inline const QString ProblemReading = QStringLiteral("Problem reading update file.");
inline const QString ProblemFormat = QStringLiteral("Problem with update file format.");

// The file cannot be opened.
inline const QString FileErrorTitle = QStringLiteral("File Error");
inline const QString CouldNotBeRead = QStringLiteral("The selected update file could not be read. The file may be opened by a different application or may no longer exist.");

// The file's structure does not fit the unit type.
inline const QString FormatErrorTitle = QStringLiteral("File Format Error");
inline const QString FormatErrorText = QStringLiteral("The selected update file is not in the proper format for this unit type, or may be damaged. Please try again.");
inline const QString LimitText = QStringLiteral("The selected update file has reached an internal limit of 20000 lines and cannot be used.");
} // namespace FileTexts
