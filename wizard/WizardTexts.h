#pragma once

#include "seriallink/PortScan.h"

// Texts that the wizard shows, each written once. A "%s" is filled in by FormatText, in order.
namespace WizardTexts {
inline constexpr const char *NextCaption = "Next >";
inline constexpr const char *BeginCaption = "Begin";
inline constexpr const char *ExitCaption = "Exit";
inline constexpr const char *StopCaption = "Stop";
inline constexpr const char *BusySuffix = BusyPortSuffix;
inline constexpr const char *NoPermissionHint =
    "Varnel has no permission to open this port. On Linux, join the\n"
    "dialout group (sudo usermod -aG dialout $USER), then log out and\n"
    "in again. See Help for details.";

// The port list's hints: what the system tells about the port's adapter, one fact a line, then
// why the port is busy and what slows it.
inline constexpr const char *PortManufacturer = "Manufacturer: %s";
inline constexpr const char *PortSerialNumber = "Serial number: %s";
inline constexpr const char *PortUsbIds = "USB vendor and product id: %s:%s";
inline constexpr const char *PortUsbVendorId = "USB vendor id: %s";
inline constexpr const char *PortUsbProductId = "USB product id: %s";
inline constexpr const char *PortByIdLink = "Stable name: %s";
inline constexpr const char *PortLocation = "Socket (location path): %s";
inline constexpr const char *PortBluetooth =
    "A Bluetooth port: the device must be switched on and within reach.";
inline constexpr const char *PortOverNetwork =
    "A port reached over the network: a slow or broken network slows or\n"
    "breaks the update.";
inline constexpr const char *PortHeldBy =
    "Held by %s (pid %s).\n"
    "Close that program, then go Back and Next to list the ports again.\n"
    "A modem manager or braille display service that keeps taking the\n"
    "adapter can be stopped from doing so; see Help.";
inline constexpr const char *PortHeldByUnnamed = "an unnamed program";
inline constexpr const char *PortNotOpened =
    "Varnel could not open this port: another program may hold it, or no\n"
    "device answers behind the name. Close any program that uses the\n"
    "port, then go Back and Next to list the ports again.";
inline constexpr const char *PortGoneHint =
    "The adapter of this port is not there: it was unplugged, or the\n"
    "system still lists a port that is gone. Plug it in, then go Back\n"
    "and Next to list the ports again.";
inline constexpr const char *PortUnreachableHint =
    "The device behind this port does not answer: a Bluetooth device\n"
    "out of range or switched off, or a network port whose far end\n"
    "cannot be reached. Bring it within reach, then go Back and Next to\n"
    "list the ports again.";
inline constexpr const char *PortSlowLatencyDeviceManager =
    "This adapter holds received bytes for %s ms before it passes them\n"
    "on, which slows every exchange. Set its latency timer to 1 ms in\n"
    "Device Manager (the port's Properties, Port Settings, Advanced);\n"
    "see Help.";
inline constexpr const char *PortSlowLatency =
    "This adapter holds received bytes for %s ms before it passes them\n"
    "on, which slows every exchange. Varnel asks the driver for 1 ms\n"
    "when an update opens the port; Help gives the rule that sets it\n"
    "for good.";

inline constexpr const char *CaptionVersion = " version ";
inline constexpr const char *ProductSelect =
    "Please select a specific unit type to update. Before you attempt to update any unit, please "
    "visit %s and download the appropriate firmware update.";

inline constexpr const char *SummaryUnit = "Selected unit to update: %s";
inline constexpr const char *SummaryFile = "Update file: ";
inline constexpr const char *SummaryPort = "Port selected: ";

inline constexpr const char *PortGoneTitle = "COM port not available";
inline constexpr const char *PortGone =
    "The selected COM port is no longer available.  Press OK to rescan available COM ports.";

inline constexpr const char *AlreadyRunningTitle = "Loading Error";
inline constexpr const char *AlreadyRunning =
    "There is already an instance of %s running.\nYou cannot run more than one instance of %s.";
inline constexpr const char *InstanceNameFormat = "%s.SEMAPHORE";

inline constexpr const char *Welcome =
    "Welcome to %s - a firmware update application for the following %s products:\n\n";
inline constexpr const char *WelcomeClosing =
    "\n\nPlease review the help section for detailed instructions\nbefore beginning any update.";

inline constexpr const char *HelpErrorTitle = "Help File Open Error";
inline constexpr const char *HelpNoMemory =
    "There was not enough memory available to open the web browser.\nTry closing other programs or "
    "restarting your computer.";
inline constexpr const char *HelpNotFound =
    "The help file that is distributed with %s was not found.\nIt may not have been installed or may "
    "have been erased.  %s\nmay have to be reinstalled to have access to these files.";
inline constexpr const char *HelpPermissions =
    "The help files have been installed with the wrong permissions.\nTo view the help files their user "
    "and group id security permissions\nmust be set to allow you access to them.";
inline constexpr const char *HelpNoBrowser =
    "An error occured openning a web browser to view the help file.\nA web browser must be present to "
    "view these files.  To view the\nfiles manually, open \"helpindex.html\" in the %s installation\n"
    "directory.";
inline constexpr const char *HelpSystemError =
    "A system error occured.  The system may be busy.\nTry openning the help files again, if this error "
    "occurs again\ntry closing other programs or restarting your computer.";
} // namespace WizardTexts
