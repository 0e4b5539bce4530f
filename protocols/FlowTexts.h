#pragma once

#include <QString>

#include "seriallink/LinkTexts.h"
#include "updatefile/FileTexts.h"

// The texts the update flows show; each is written once, here. Texts that more than one flow
// shows stand at the top; those of one flow or stage follow in a namespace of their own.
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

// The bootloader download.
namespace BootTexts {
inline const QString PreparingBootloader = QString::fromLatin1("Preparing bootloader code.");
inline const QString SendingBootloader = QString::fromLatin1("Sending bootloader code to unit...");
inline const QString BootloaderSent = QString::fromLatin1("Bootloader file sent. Waiting for unit to begin algorithm...");
} // namespace BootTexts

// Contact and flash erase of an update-mode unit.
namespace EraseTexts {
inline const QString EraseFailureTitle = QString::fromLatin1("Erase failure");
inline const QString StoppedProcess = QString::fromLatin1("User has stopped the update process.");
inline const QString NotErased = QString::fromLatin1("The flash memory could not be erased.  Try again.");
inline const QString WaitingForUnit = QString::fromLatin1("Waiting for response from unit...");
inline const QString InitialContact = QString::fromLatin1("Initial contact successful. Attempting to erase flash. Please wait up to 20 s...");
inline const QString AttemptingErase = QString::fromLatin1("Attempting to erase flash. Please wait up to 20 s...");
inline const QString EraseErrorBox = QString::fromLatin1("Error 'E': Flash erase error. Unit will not properly operate until the programming procedure is complete! ");
inline const QString Erased = QString::fromLatin1("Flash erase routine has successfully completed.");
inline const QString ResendEraseHead = QString::fromLatin1("Flash not fully erased...resending erase command ");
inline const QString ResendEraseTail = QString::fromLatin1(" of 4...");
inline const QString PreviousUpdate = QString::fromLatin1("Previous update detected.  Restarting the update process...");
inline const QString ContactRetrying = QString::fromLatin1("Could not establish communication with unit.  Retrying...");
inline const QString MaxRetries = QString::fromLatin1("The maximum number of retries has been reached.  Try again.");
inline const QString RetriesSpentBox = QString::fromLatin1("Erase Failure!  The flash memory has failed to erase after 4 retries.  Unit will not properly operate until the programming procedure is complete!");
} // namespace EraseTexts

// The update-mode flow's line phase.
namespace UpdateModeTexts {
inline const QString ErrorCBox = QString::fromLatin1("Error 'C': Checksum error has occurred. Please try again, or consult the help file.");
inline const QString RestartQuestion = QString::fromLatin1("Update Complete.  Do you want to restart the unit (X)?  ");
inline const QString RestartTitle = QString::fromLatin1("Restart the unit?");
} // namespace UpdateModeTexts

// The resistor-monitor flow: error letters and file faults met while sending.
namespace MonitorTexts {
inline const QString ErrorEBox = QString::fromLatin1("Error 'E': Flash erase error. Please try again, or consult the help file. ");
inline const QString ErrorEStatus = QString::fromLatin1("Error 'E': Flash erase error.  Try again.");
inline const QString ErrorVBox = QString::fromLatin1("Error 'V': Byte verification error. Please try again, or consult the help file. ");
inline const QString ErrorVStatus = QString::fromLatin1("Error 'V': Byte verification error.  Try again.");
inline const QString ErrorSBox = QString::fromLatin1("Error 'S': Record header error. Please try again, or consult the help file. ");
inline const QString ErrorSStatus = QString::fromLatin1("Error 'S': Record header error.  Try again.");
inline const QString HexProblem = QString::fromLatin1("Hex conversion problem.  Update file may be damaged. Try again.");
inline const QString AddressOverflow = QString::fromLatin1("S-Record format problem. Could not complete udpate. Please try again.");
} // namespace MonitorTexts

// The communications-module flow.
namespace ModuleTexts {
inline const QString ErrorEBox = QString::fromLatin1("Error 'E': Flash ROM error. Please try again, or consult the help file. ");
inline const QString ErrorEStatus = QString::fromLatin1("Error 'E': Flash ROM error.  Try again.");
inline const QString ErrorCBox = QString::fromLatin1("Error 'C': Checksum error. Please try again, or consult the help file. ");
inline const QString BootloaderQuestion = QString::fromLatin1("Please set unit to BOOTLOADER mode now  (see help file for details). Do you want to continue?");
} // namespace ModuleTexts
} // namespace FlowTexts
