#pragma once

#include <QByteArray>
#include <QStringList>

#include "seriallink/LinkPrimitives.h"

// Outcome of the contact-and-erase stage of an update-mode unit.
enum class EraseResult { Erased, Failed, Stopped };

// Makes contact with an update-mode unit on the open port and has it erase its flash, within a
// budget of five passes. Leaves the port open.
EraseResult ContactAndErase(TLink &link);

// The three update flows. Each probes the selected port, opens it at its bit rate, checks the
// update file (link.Surface.UpdateFileName()), runs its protocol and closes the port again on
// every way out. True only when the unit acknowledged the end of the update.
bool UpdateModeFlow(TLink &link);       // unit types 1, 2, 6, 11, 12, 16 at 57600 baud
bool ResistorMonitorFlow(TLink &link);  // unit types 3, 13 at 19200 baud
bool CommsModuleFlow(TLink &link);      // unit types 4, 5 at 9600 baud

// The RAM bootloaders: ordered lists of S1 record texts without the "S1" prefix.
enum class TBootloaderImage { Monitor, Module };
const QStringList &MonitorBootloaderImage();
const QStringList &ModuleBootloaderImage();

// The block of bytes a bootloader download sends after the lead-in byte 0xF0: 0x0080..0x0280
// (513 bytes) for the monitor, 0x0000..0x03FF (1024 bytes) for the module. Empty when a record
// holds a character that is not an upper-case hexadecimal digit.
QByteArray BootloaderBlock(TBootloaderImage image);

// Sends the lead-in byte and the bootloader block to a unit in bootloader mode, with the waits
// that let it start the program. True when the whole block was written and Stop was not
// requested. Reads nothing back; leaves the port open.
bool SendBootloader(TLink &link, TBootloaderImage image);
