#pragma once

#include <QByteArray>
#include <QString>

#include "protocols/FlowRun.h"
#include "protocols/FlowStart.h"
#include "protocols/UpdateFlows.h"

// The steps that the resistor-monitor and communications-module flows share: both load a RAM
// bootloader, make contact with it, send the update file's S1 records in their own way and end
// with the "!" exchange.
namespace BootloaderFlowSteps {

// From the shared start to the open update file: the bootloader downloaded, contact made with
// it and the file opened. True when the record phase may begin, with the port and the file open
// and the gauge's maximum set. False when the flow has ended: the outcome is reported, the port
// is closed and ended says how it ended.
bool StartUpdate(TLink &link, const TFlowStart &start, TBootloaderImage image, TFlowResources &held,
                 TUpdateOutcome &ended);

// Lines before the first header line ("S0") play no part in an update; from the header on,
// a line's first two characters, compared case-sensitively, say what it is.
enum class TLineKind { BeforeHeader, Header, Data, End, Other };
TLineKind ClassifyLine(const QByteArray &line, bool &headerSeen);

// Value of the hexadecimal digit at a 1-based position of a line; -1 for anything but 0-9 and
// A-F, and for a position beyond the line.
int DigitAt(const QByteArray &line, int position);

// The head of every pass: when Stop was pressed, asks whether to stop. True when the
// technician chose to stop (the caller ends the flow); on No, StopRequested is cleared.
bool StopConfirmedAtPass(TLink &link);

// The head of the record loop, pass by pass until a line matters: end of file (reported), the
// Stop question (Yes: closes and reports), the window's events, the next line. Data: an S1 line
// is in line, to be sent. End: the first S9 line, never sent. Ended: the flow has reported its
// outcome, which ended holds (with the run's counts), and returns.
enum class TNextLine { Data, End, Ended };
TNextLine NextRecordLine(TLink &link, TFlowResources &held, bool &headerSeen, QByteArray &line,
                         const TFlowRun &run, TUpdateOutcome &ended);

// One more record acknowledged: count, status-line animation, gauge and lines-sent label.
void CountRecord(TLink &link, qint64 &count, int &dotPhase);

// The closing exchange in place of the S9 record: "!" answered by "!". Closes the file and
// the port, reports the outcome and returns it; Completed when the unit acknowledged the end.
TUpdateOutcome FinishUpdate(TLink &link, TFlowResources &held, const TFlowRun &run);

} // namespace BootloaderFlowSteps
