#pragma once

#include <QString>

#include "seriallink/LinkTexts.h"

// Texts that more than one update flow shows; each is written once, here. Texts that only one
// flow shows stay in that flow, as literals in the step that shows them.
namespace FlowTexts {
inline const QString PortGoneTitle = QStringLiteral("COM Port Error");
inline const QString PortGone = QStringLiteral(
    "The selected COM port is no longer available. Please select a different COM port and try again.");
inline const QString FileErrorTitle = QStringLiteral("File Error");
inline const QString FileGone = QStringLiteral(
    "The selected update file no longer exists. Please select a different file and try again.");
inline const QString FileUnreadableStatus = QStringLiteral("The selected update file could not be read.  Update stopped.");
inline const QString FileUnreadable = QStringLiteral(
    "The selected update file could not be read. The file may be opened by a different application or "
    "may no longer exist.");
inline const QString BeginTitle = QStringLiteral("Begin Update?");
inline const QString UpdateModeQuestion = QStringLiteral(
    "Please set the unit to UPDATE mode (see help file for details). The flash memory will be ERASED "
    "and UPDATED.  Do you want to continue?");
inline const QString FormatNotValid = QStringLiteral("Update file format was not valid. Update stopped.");
inline const QString Updating = QStringLiteral("Updating the unit");
inline const QString UpdateErrorTitle = QStringLiteral("Update Error");
inline const QString EofBox = QStringLiteral(
    "The end of file (EOF) has been reached without a correct delimiter from the unit. Please try "
    "again, or consult the help file. ");
inline const QString EofStatus =
    QStringLiteral("Unexpected EOF reached with incorrect response from unit.  Try again.");
inline const QString NoResponse = QStringLiteral("Did not receive any response from unit.  Try again.");
inline const QString WrongResponse = QStringLiteral("Received an incorrect response from unit.  Try again.");
inline const QString NoContact = QStringLiteral("Could not establish communication with unit.  Try again.");
inline const QString UpdateComplete = QStringLiteral("Update complete.");
inline const QString UpdateDoneBox = QStringLiteral("Update is complete.");
inline const QString UpdateDoneTitle = QStringLiteral("Update done.");
inline const QString Unexpected =
    QStringLiteral("Could not continue with the update due to an unexpected error.");
inline const QString BootloaderStopped = QStringLiteral("User stopped update during bootloader routine.");
inline const QString BootloaderFailed = QStringLiteral("Bootloader code was not sent successfully.");
inline const QString ErrorRBox = QStringLiteral(
    "Error 'R': Byte programming error.   Please try again, or consult the help file.");
inline const QString ErrorRStatus = QStringLiteral("Error 'R' Byte programming error occurred.  Try again.");
inline const QString ErrorFBox =
    QStringLiteral("Error 'F': Buffer full error. Please try again, or consult the help file. ");
inline const QString ErrorFStatus = QStringLiteral("Error 'F' Buffer error occurred.  Try again.");
inline const QString ErrorCStatus = QStringLiteral("Error 'C' Checksum error occurred.  Try again.");
inline const QString Ready = QStringLiteral("Ready.");
// The progress animation of the status line: Updating followed by one to four dots.
inline const QString UpdatingDots[4] = {
    QStringLiteral("Updating the unit."), QStringLiteral("Updating the unit.."),
    QStringLiteral("Updating the unit..."), QStringLiteral("Updating the unit....")};
} // namespace FlowTexts
