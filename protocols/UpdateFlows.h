#pragma once

#include <QByteArray>
#include <QStringList>

#include "protocols/UpdateOutcome.h"
#include "seriallink/LinkPrimitives.h"
#include "updatefile/UnitCatalogue.h"

// Outcome of the contact-and-erase stage of an update-mode unit.
enum class EraseResult { Erased, Failed, Stopped };

// How the stage ended: its own result, and the outcome the update ends with when the result is
// not Erased (Completed when it is). Outcome.Retries counts the contact requests and erase
// commands repeated after an unanswered pass, in every case.
struct TEraseStage {
    EraseResult Result;
    TUpdateOutcome Outcome;
};

// Makes contact with an update-mode unit on the open port and has it erase its flash, within a
// budget of five passes. Leaves the port open.
TEraseStage ContactAndErase(TLink &link);

// The three update flows, for the unit type of the catalogue row. Each probes the selected
// port, opens it at its bit rate, checks the update file (link.Surface.UpdateFileName()) with
// the row's record variant, runs its protocol and closes the port again on every way out. Each
// shows the technician everything itself and returns how the update ended; Completed only when
// the unit acknowledged the end of the update. RunUpdate (UpdateEngine.h) picks the one for a
// unit type.
TUpdateOutcome UpdateModeFlow(TLink &link, const TUnitType &unit);      // 57600 baud
TUpdateOutcome ResistorMonitorFlow(TLink &link, const TUnitType &unit); // 19200 baud
TUpdateOutcome CommsModuleFlow(TLink &link, const TUnitType &unit);     // 9600 baud

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
