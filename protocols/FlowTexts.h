#pragma once

#include <QString>

#include "seriallink/LinkTexts.h"
#include "updatefile/FileTexts.h"

// Texts that more than one update flow shows; each is written once, here. Texts that only one
// flow shows stay in that flow, as literals in the step that shows them.
namespace FlowTexts {
inline const QString PortGoneTitle = QString::fromLatin1("COM Port Error");
inline const QString PortGone = QString::fromLatin1(
    "The selected COM port is no longer available. Please select a different COM port and try again.");
inline const QString &FileErrorTitle = FileTexts::FileErrorTitle;
inline const QString FileGone = QString::fromLatin1(
    "The selected update file no longer exists. Please select a different file and try again.");
inline const QString FileUnreadableStatus = QString::fromLatin1("The selected update file could not be read.  Update stopped.");
inline const QString &FileUnreadable = FileTexts::CouldNotBeRead;
inline const QString BeginTitle = QString::fromLatin1("Begin Update?");
inline const QString UpdateModeQuestion = QString::fromLatin1(
    "Please set the unit to UPDATE mode (see help file for details). The flash memory will be ERASED "
    "and UPDATED.  Do you want to continue?");
inline const QString FormatNotValid = QString::fromLatin1("Update file format was not valid. Update stopped.");
inline const QString Updating = QString::fromLatin1("Updating the unit");
inline const QString UpdateErrorTitle = QString::fromLatin1("Update Error");
inline const QString EofBox = QString::fromLatin1(
    "The end of file (EOF) has been reached without a correct delimiter from the unit. Please try "
    "again, or consult the help file. ");
inline const QString EofStatus =
    QString::fromLatin1("Unexpected EOF reached with incorrect response from unit.  Try again.");
inline const QString NoResponse = QString::fromLatin1("Did not receive any response from unit.  Try again.");
inline const QString WrongResponse = QString::fromLatin1("Received an incorrect response from unit.  Try again.");
inline const QString NoContact = QString::fromLatin1("Could not establish communication with unit.  Try again.");
inline const QString UpdateComplete = QString::fromLatin1("Update complete.");
inline const QString UpdateDoneBox = QString::fromLatin1("Update is complete.");
inline const QString UpdateDoneTitle = QString::fromLatin1("Update done.");
inline const QString Unexpected =
    QString::fromLatin1("Could not continue with the update due to an unexpected error.");
inline const QString BootloaderStopped = QString::fromLatin1("User stopped update during bootloader routine.");
inline const QString BootloaderFailed = QString::fromLatin1("Bootloader code was not sent successfully.");
inline const QString ErrorRBox = QString::fromLatin1(
    "Error 'R': Byte programming error.   Please try again, or consult the help file.");
inline const QString ErrorRStatus = QString::fromLatin1("Error 'R' Byte programming error occurred.  Try again.");
inline const QString ErrorFBox =
    QString::fromLatin1("Error 'F': Buffer full error. Please try again, or consult the help file. ");
inline const QString ErrorFStatus = QString::fromLatin1("Error 'F' Buffer error occurred.  Try again.");
inline const QString ErrorCStatus = QString::fromLatin1("Error 'C' Checksum error occurred.  Try again.");
inline const QString &Ready = LinkTexts::Ready;
// The progress animation of the status line: Updating followed by one to four dots.
inline const QString UpdatingDots[4] = {
    QString::fromLatin1("Updating the unit."), QString::fromLatin1("Updating the unit.."),
    QString::fromLatin1("Updating the unit..."), QString::fromLatin1("Updating the unit....")};
} // namespace FlowTexts
