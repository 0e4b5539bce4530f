// Every text the program shows the technician, written out here letter by letter (two blanks
// and trailing blanks included) and compared with the constant the program shows it from, so
// that a slip in a constant fails by name. The window's own captions follow in a second table.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTextEdit>

#include "app/MainForm.h"
#include "app/WindowTexts.h"
#include "protocols/FlowTexts.h"
#include "seriallink/LinkTexts.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/VirtualClock.h"
#include "updatefile/FileTexts.h"
#include "wizard/WizardTexts.h"

namespace {

struct TTextRow {
    const char *Name;
    const QString *Constant;    // a text held as a QString ...
    const char *ConstantUtf8;   // ... or as UTF-8
    const char *Expected;
};

void PrintTo(const TTextRow &row, std::ostream *os) { *os << row.Name; }

TTextRow Q(const char *name, const QString &constant, const char *expected)
{
    return {name, &constant, nullptr, expected};
}
TTextRow C(const char *name, const char *constant, const char *expected)
{
    return {name, nullptr, constant, expected};
}

const TTextRow Texts[] = {
    Q("FlowTexts::PortGoneTitle", FlowTexts::PortGoneTitle, "COM Port Error"),
    Q("FlowTexts::PortGone", FlowTexts::PortGone,
          "The selected COM port is no longer available. Please select a different COM port and "
          "try again."),
    Q("FlowTexts::FileGone", FlowTexts::FileGone,
          "The selected update file no longer exists. Please select a different file and try again."),
    Q("FlowTexts::FileUnreadableStatus", FlowTexts::FileUnreadableStatus,
          "The selected update file could not be read.  Update stopped."),
    Q("FlowTexts::BeginTitle", FlowTexts::BeginTitle, "Begin Update?"),
    Q("FlowTexts::UpdateModeQuestion", FlowTexts::UpdateModeQuestion,
          "Please set the unit to UPDATE mode (see help file for details). The flash memory will "
          "be ERASED and UPDATED.  Do you want to continue?"),
    Q("FlowTexts::FormatNotValid", FlowTexts::FormatNotValid,
          "Update file format was not valid. Update stopped."),
    Q("FlowTexts::Updating", FlowTexts::Updating, "Updating the unit"),
    Q("FlowTexts::UpdateErrorTitle", FlowTexts::UpdateErrorTitle, "Update Error"),
    Q("FlowTexts::EofBox", FlowTexts::EofBox,
          "The end of file (EOF) has been reached without a correct delimiter from the unit. "
          "Please try again, or consult the help file. "),
    Q("FlowTexts::EofStatus", FlowTexts::EofStatus,
          "Unexpected EOF reached with incorrect response from unit.  Try again."),
    Q("FlowTexts::NoResponse", FlowTexts::NoResponse,
          "Did not receive any response from unit.  Try again."),
    Q("FlowTexts::WrongResponse", FlowTexts::WrongResponse,
          "Received an incorrect response from unit.  Try again."),
    Q("FlowTexts::NoContact", FlowTexts::NoContact,
          "Could not establish communication with unit.  Try again."),
    Q("FlowTexts::UpdateComplete", FlowTexts::UpdateComplete, "Update complete."),
    Q("FlowTexts::UpdateDoneBox", FlowTexts::UpdateDoneBox, "Update is complete."),
    Q("FlowTexts::UpdateDoneTitle", FlowTexts::UpdateDoneTitle, "Update done."),
    Q("FlowTexts::Unexpected", FlowTexts::Unexpected,
          "Could not continue with the update due to an unexpected error."),
    Q("FlowTexts::BootloaderStopped", FlowTexts::BootloaderStopped,
          "User stopped update during bootloader routine."),
    Q("FlowTexts::BootloaderFailed", FlowTexts::BootloaderFailed,
          "Bootloader code was not sent successfully."),
    Q("FlowTexts::ErrorRBox", FlowTexts::ErrorRBox,
          "Error 'R': Byte programming error.   Please try again, or consult the help file."),
    Q("FlowTexts::ErrorRStatus", FlowTexts::ErrorRStatus,
          "Error 'R' Byte programming error occurred.  Try again."),
    Q("FlowTexts::ErrorFBox", FlowTexts::ErrorFBox,
          "Error 'F': Buffer full error. Please try again, or consult the help file. "),
    Q("FlowTexts::ErrorFStatus", FlowTexts::ErrorFStatus,
          "Error 'F' Buffer error occurred.  Try again."),
    Q("FlowTexts::ErrorCStatus", FlowTexts::ErrorCStatus,
          "Error 'C' Checksum error occurred.  Try again."),
    Q("FlowTexts::UpdatingDots[0]", FlowTexts::UpdatingDots[0], "Updating the unit."),
    Q("FlowTexts::UpdatingDots[1]", FlowTexts::UpdatingDots[1], "Updating the unit.."),
    Q("FlowTexts::UpdatingDots[2]", FlowTexts::UpdatingDots[2], "Updating the unit..."),
    Q("FlowTexts::UpdatingDots[3]", FlowTexts::UpdatingDots[3], "Updating the unit...."),
    Q("FlowTexts::BootTexts::PreparingBootloader", FlowTexts::BootTexts::PreparingBootloader,
          "Preparing bootloader code."),
    Q("FlowTexts::BootTexts::SendingBootloader", FlowTexts::BootTexts::SendingBootloader,
          "Sending bootloader code to unit..."),
    Q("FlowTexts::BootTexts::BootloaderSent", FlowTexts::BootTexts::BootloaderSent,
          "Bootloader file sent. Waiting for unit to begin algorithm..."),
    Q("FlowTexts::EraseTexts::EraseFailureTitle", FlowTexts::EraseTexts::EraseFailureTitle,
          "Erase failure"),
    Q("FlowTexts::EraseTexts::StoppedProcess", FlowTexts::EraseTexts::StoppedProcess,
          "User has stopped the update process."),
    Q("FlowTexts::EraseTexts::NotErased", FlowTexts::EraseTexts::NotErased,
          "The flash memory could not be erased.  Try again."),
    Q("FlowTexts::EraseTexts::WaitingForUnit", FlowTexts::EraseTexts::WaitingForUnit,
          "Waiting for response from unit..."),
    Q("FlowTexts::EraseTexts::InitialContact", FlowTexts::EraseTexts::InitialContact,
          "Initial contact successful. Attempting to erase flash. Please wait up to 20 s..."),
    Q("FlowTexts::EraseTexts::AttemptingErase", FlowTexts::EraseTexts::AttemptingErase,
          "Attempting to erase flash. Please wait up to 20 s..."),
    Q("FlowTexts::EraseTexts::EraseErrorBox", FlowTexts::EraseTexts::EraseErrorBox,
          "Error 'E': Flash erase error. Unit will not properly operate until the programming "
          "procedure is complete! "),
    Q("FlowTexts::EraseTexts::Erased", FlowTexts::EraseTexts::Erased,
          "Flash erase routine has successfully completed."),
    Q("FlowTexts::EraseTexts::ResendEraseHead", FlowTexts::EraseTexts::ResendEraseHead,
          "Flash not fully erased...resending erase command "),
    Q("FlowTexts::EraseTexts::ResendEraseTail", FlowTexts::EraseTexts::ResendEraseTail,
          " of 4..."),
    Q("FlowTexts::EraseTexts::PreviousUpdate", FlowTexts::EraseTexts::PreviousUpdate,
          "Previous update detected.  Restarting the update process..."),
    Q("FlowTexts::EraseTexts::ContactRetrying", FlowTexts::EraseTexts::ContactRetrying,
          "Could not establish communication with unit.  Retrying..."),
    Q("FlowTexts::EraseTexts::MaxRetries", FlowTexts::EraseTexts::MaxRetries,
          "The maximum number of retries has been reached.  Try again."),
    Q("FlowTexts::EraseTexts::RetriesSpentBox", FlowTexts::EraseTexts::RetriesSpentBox,
          "Erase Failure!  The flash memory has failed to erase after 4 retries.  Unit will not "
          "properly operate until the programming procedure is complete!"),
    Q("FlowTexts::UpdateModeTexts::ErrorCBox", FlowTexts::UpdateModeTexts::ErrorCBox,
          "Error 'C': Checksum error has occurred. Please try again, or consult the help file."),
    Q("FlowTexts::UpdateModeTexts::RestartQuestion", FlowTexts::UpdateModeTexts::RestartQuestion,
          "Update Complete.  Do you want to restart the unit (X)?  "),
    Q("FlowTexts::UpdateModeTexts::RestartTitle", FlowTexts::UpdateModeTexts::RestartTitle,
          "Restart the unit?"),
    Q("FlowTexts::MonitorTexts::ErrorEBox", FlowTexts::MonitorTexts::ErrorEBox,
          "Error 'E': Flash erase error. Please try again, or consult the help file. "),
    Q("FlowTexts::MonitorTexts::ErrorEStatus", FlowTexts::MonitorTexts::ErrorEStatus,
          "Error 'E': Flash erase error.  Try again."),
    Q("FlowTexts::MonitorTexts::ErrorVBox", FlowTexts::MonitorTexts::ErrorVBox,
          "Error 'V': Byte verification error. Please try again, or consult the help file. "),
    Q("FlowTexts::MonitorTexts::ErrorVStatus", FlowTexts::MonitorTexts::ErrorVStatus,
          "Error 'V': Byte verification error.  Try again."),
    Q("FlowTexts::MonitorTexts::ErrorSBox", FlowTexts::MonitorTexts::ErrorSBox,
          "Error 'S': Record header error. Please try again, or consult the help file. "),
    Q("FlowTexts::MonitorTexts::ErrorSStatus", FlowTexts::MonitorTexts::ErrorSStatus,
          "Error 'S': Record header error.  Try again."),
    Q("FlowTexts::MonitorTexts::HexProblem", FlowTexts::MonitorTexts::HexProblem,
          "Hex conversion problem.  Update file may be damaged. Try again."),
    Q("FlowTexts::MonitorTexts::AddressOverflow", FlowTexts::MonitorTexts::AddressOverflow,
          "S-Record format problem. Could not complete udpate. Please try again."),
    Q("FlowTexts::ModuleTexts::ErrorEBox", FlowTexts::ModuleTexts::ErrorEBox,
          "Error 'E': Flash ROM error. Please try again, or consult the help file. "),
    Q("FlowTexts::ModuleTexts::ErrorEStatus", FlowTexts::ModuleTexts::ErrorEStatus,
          "Error 'E': Flash ROM error.  Try again."),
    Q("FlowTexts::ModuleTexts::ErrorCBox", FlowTexts::ModuleTexts::ErrorCBox,
          "Error 'C': Checksum error. Please try again, or consult the help file. "),
    Q("FlowTexts::ModuleTexts::BootloaderQuestion", FlowTexts::ModuleTexts::BootloaderQuestion,
          "Please set unit to BOOTLOADER mode now  (see help file for details). Do you want to "
          "continue?"),
    Q("LinkTexts::StopPromptTitle", LinkTexts::StopPromptTitle, "Stop the update?"),
    Q("LinkTexts::StopPromptText", LinkTexts::StopPromptText,
          "WARNING: You have paused the programming procedure. If you stop this procedure, the "
          "unit will not properly operate until the programming procedure is complete!  Select YES "
          "to stop programming, or NO to continue."),
    Q("LinkTexts::Ready", LinkTexts::Ready, "Ready."),
    Q("LinkTexts::UserStopped", LinkTexts::UserStopped, "User has stopped the update."),
    Q("LinkTexts::SendFailed", LinkTexts::SendFailed,
          "Could not successfully send data using selected COM port.  Please try again."),
    Q("FileTexts::FileNotFound", FileTexts::FileNotFound, "Warning: File not found."),
    Q("FileTexts::NameTooShort", FileTexts::NameTooShort, "Warning: Filename too short."),
    Q("FileTexts::NameMayBeIncorrect", FileTexts::NameMayBeIncorrect,
          "Warning: Filename may be incorrect."),
    Q("FileTexts::NameCheckFailed", FileTexts::NameCheckFailed,
          "Warning: File name verification failed."),
    Q("FileTexts::CheckingFormat", FileTexts::CheckingFormat,
          "Checking file format. Please wait."),
    Q("FileTexts::ProblemReading", FileTexts::ProblemReading, "Problem reading update file."),
    Q("FileTexts::ProblemFormat", FileTexts::ProblemFormat,
          "Problem with update file format."),
    Q("FileTexts::FileErrorTitle", FileTexts::FileErrorTitle, "File Error"),
    Q("FileTexts::CouldNotBeRead", FileTexts::CouldNotBeRead,
          "The selected update file could not be read. The file may be opened by a different "
          "application or may no longer exist."),
    Q("FileTexts::FormatErrorTitle", FileTexts::FormatErrorTitle, "File Format Error"),
    Q("FileTexts::FormatErrorText", FileTexts::FormatErrorText,
          "The selected update file is not in the proper format for this unit type, or may be "
          "damaged. Please try again."),
    Q("FileTexts::LimitText", FileTexts::LimitText,
          "The selected update file has reached an internal limit of 20000 lines and cannot be "
          "used."),
    C("WizardTexts::NextCaption", WizardTexts::NextCaption, "Next >"),
    C("WizardTexts::BeginCaption", WizardTexts::BeginCaption, "Begin"),
    C("WizardTexts::ExitCaption", WizardTexts::ExitCaption, "Exit"),
    C("WizardTexts::StopCaption", WizardTexts::StopCaption, "Stop"),
    C("WizardTexts::BusySuffix", WizardTexts::BusySuffix, " (busy)"),
    C("WizardTexts::NoPermissionHint", WizardTexts::NoPermissionHint,
          "Varnel has no permission to open this port. On Linux, join the\ndialout group (sudo "
          "usermod -aG dialout $USER), then log out and\nin again. See Help for details."),
    C("WizardTexts::PortManufacturer", WizardTexts::PortManufacturer, "Manufacturer: %s"),
    C("WizardTexts::PortSerialNumber", WizardTexts::PortSerialNumber, "Serial number: %s"),
    C("WizardTexts::PortUsbIds", WizardTexts::PortUsbIds, "USB vendor and product id: %s:%s"),
    C("WizardTexts::PortUsbVendorId", WizardTexts::PortUsbVendorId, "USB vendor id: %s"),
    C("WizardTexts::PortUsbProductId", WizardTexts::PortUsbProductId, "USB product id: %s"),
    C("WizardTexts::PortByIdLink", WizardTexts::PortByIdLink, "Stable name: %s"),
    C("WizardTexts::PortHeldBy", WizardTexts::PortHeldBy,
          "Held by %s (pid %s).\nClose that program, then go Back and Next to list the ports "
          "again.\nA modem manager or braille display service that keeps taking the\nadapter can "
          "be stopped from doing so; see Help."),
    C("WizardTexts::PortHeldByUnnamed", WizardTexts::PortHeldByUnnamed, "an unnamed program"),
    C("WizardTexts::PortNotOpened", WizardTexts::PortNotOpened,
          "Varnel could not open this port: another program may hold it, or no\ndevice answers "
          "behind the name. Close any program that uses the\nport, then go Back and Next to list "
          "the ports again."),
    C("WizardTexts::PortSlowLatency", WizardTexts::PortSlowLatency,
          "This adapter holds received bytes for %s ms before it passes them\non, which slows "
          "every exchange. Varnel asks the driver for 1 ms\nwhen an update opens the port; Help "
          "gives the rule that sets it\nfor good."),
    C("WizardTexts::CaptionVersion", WizardTexts::CaptionVersion, " version "),
    C("WizardTexts::ProductSelect", WizardTexts::ProductSelect,
          "Please select a specific unit type to update. Before you attempt to update any unit, "
          "please visit %s and download the appropriate firmware update."),
    C("WizardTexts::SummaryUnit", WizardTexts::SummaryUnit, "Selected unit to update: %s"),
    C("WizardTexts::SummaryFile", WizardTexts::SummaryFile, "Update file: "),
    C("WizardTexts::SummaryPort", WizardTexts::SummaryPort, "Port selected: "),
    C("WizardTexts::PortGoneTitle", WizardTexts::PortGoneTitle, "COM port not available"),
    C("WizardTexts::PortGone", WizardTexts::PortGone,
          "The selected COM port is no longer available.  Press OK to rescan available COM ports."),
    C("WizardTexts::AlreadyRunningTitle", WizardTexts::AlreadyRunningTitle, "Loading Error"),
    C("WizardTexts::AlreadyRunning", WizardTexts::AlreadyRunning,
          "There is already an instance of %s running.\nYou cannot run more than one instance of "
          "%s."),
    C("WizardTexts::InstanceNameFormat", WizardTexts::InstanceNameFormat, "%s.SEMAPHORE"),
    C("WizardTexts::Welcome", WizardTexts::Welcome,
          "Welcome to %s - a firmware update application for the following %s products:\n\n"),
    C("WizardTexts::WelcomeClosing", WizardTexts::WelcomeClosing,
          "\n\nPlease review the help section for detailed instructions\nbefore beginning any "
          "update."),
    C("WizardTexts::HelpErrorTitle", WizardTexts::HelpErrorTitle, "Help File Open Error"),
    C("WizardTexts::HelpNoMemory", WizardTexts::HelpNoMemory,
          "There was not enough memory available to open the web browser.\nTry closing other "
          "programs or restarting your computer."),
    C("WizardTexts::HelpNotFound", WizardTexts::HelpNotFound,
          "The help file that is distributed with %s was not found.\nIt may not have been "
          "installed or may have been erased.  %s\nmay have to be reinstalled to have access to "
          "these files."),
    C("WizardTexts::HelpPermissions", WizardTexts::HelpPermissions,
          "The help files have been installed with the wrong permissions.\nTo view the help files "
          "their user and group id security permissions\nmust be set to allow you access to them."),
    C("WizardTexts::HelpNoBrowser", WizardTexts::HelpNoBrowser,
          "An error occured openning a web browser to view the help file.\nA web browser must be "
          "present to view these files.  To view the\nfiles manually, open \"helpindex.html\" in "
          "the %s installation\ndirectory."),
    C("WizardTexts::HelpSystemError", WizardTexts::HelpSystemError,
          "A system error occured.  The system may be busy.\nTry openning the help files again, if "
          "this error occurs again\ntry closing other programs or restarting your computer."),

    // Texts the flows share with the file check and the link, under their own names.
    Q("FlowTexts::FileErrorTitle", FlowTexts::FileErrorTitle, "File Error"),
    Q("FlowTexts::FileUnreadable", FlowTexts::FileUnreadable,
          "The selected update file could not be read. The file may be opened by a different "
          "application or may no longer exist."),
    Q("FlowTexts::Ready", FlowTexts::Ready, "Ready."),
    // The window's texts that its design file does not hold. The dialog's filter names the
    // upper-case pattern beside the lower-case one.
    C("WindowTexts::OpenDialogTitle", WindowTexts::OpenDialogTitle, "Choose an update file"),
    C("WindowTexts::OpenDialogFilter", WindowTexts::OpenDialogFilter, "S19 Files (*.s19 *.S19)"),
    C("WindowTexts::DesignStatus", WindowTexts::DesignStatus, "Ready"),
};

std::string RowName(const char *name)
{
    std::string out;
    for (const char *p = name; *p; ++p) {
        if (*p == ':' || *p == '[' || *p == ']') {
            if (!out.empty() && out.back() != '_')
                out += '_';
        } else {
            out += *p;
        }
    }
    while (!out.empty() && out.back() == '_')
        out.pop_back();
    return out;
}

class MessageText : public ::testing::TestWithParam<TTextRow> {};

TEST_P(MessageText, IsSpelledExactly)
{
    const TTextRow &row = GetParam();
    const QString constant = row.Constant ? *row.Constant : QString::fromUtf8(row.ConstantUtf8);
    EXPECT_EQ(constant.toStdString(), std::string(row.Expected));
}

INSTANTIATE_TEST_SUITE_P(EveryText, MessageText, ::testing::ValuesIn(Texts),
                         [](const auto &info) { return RowName(info.param.Name); });

// The window's design captions, as the technician reads them.
struct TCaptionRow {
    const char *Control;
    const char *Expected;
};

void PrintTo(const TCaptionRow &row, std::ostream *os) { *os << row.Control; }

const TCaptionRow Captions[] = {
    {"next_1_L", "Press Next to select a specific product to update."},
    {"next_2_L", "Press Next to select the COM port and update file."},
    {"comm_L", "Please select one of the following available COM ports:"},
    {"find_coms_L", "Finding Comports..."},
    {"RichEditNoComPort", "No COM ports detected.\nVarnel requires a COM port to continue."},
    {"update_L", "Choose an update file for this product:"},
    {"LabelFileName", "no file selected"},
    {"ButtonBrowse", "Browse"},
    {"next_4_L", "Press Next to view a summary of your selections."},
    {"summary_L", "The following is a summary of your selections:"},
    {"next_3_L", "Press Begin to start the update."},
    {"num_lines_L", "Number of S-Record lines sent:"},
    {"LabelSREClines", "0"},
    {"next_5_L", "Please wait until the update is complete; if necessary, press STOP to interrupt the update."},
    {"ButtonHelp", "Help"},
    {"ButtonBack", "< Back"},
    {"ButtonNext", "Next >"},
    {"ButtonExit", "Exit"},
    {"Label1", "Select Unit Type"},
};

class WindowCaption : public ::testing::TestWithParam<TCaptionRow> {};

TEST_P(WindowCaption, IsSpelledExactly)
{
    TVirtualClock clock;
    TInProcessPort port(clock);
    TMainF window(false, &port, &clock);
    QWidget *control = window.findChild<QWidget *>(QString::fromUtf8(GetParam().Control));
    ASSERT_NE(control, nullptr);
    QString caption;
    if (auto *label = qobject_cast<QLabel *>(control))
        caption = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        caption = button->text();
    else if (auto *edit = qobject_cast<QTextEdit *>(control))
        caption = edit->toPlainText();
    else
        FAIL() << "no caption on a " << control->metaObject()->className();
    EXPECT_EQ(caption.toStdString(), std::string(GetParam().Expected));
}

INSTANTIATE_TEST_SUITE_P(DesignTexts, WindowCaption, ::testing::ValuesIn(Captions),
                         [](const auto &info) { return std::string(info.param.Control); });

} // namespace
