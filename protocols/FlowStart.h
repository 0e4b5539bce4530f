#pragma once

#include <QString>

#include "protocols/FlowRun.h"
#include "protocols/UpdateOutcome.h"
#include "seriallink/LinkPrimitives.h"
#include "updatefile/TextLineReader.h"
#include "updatefile/UnitCatalogue.h"

// The start and the ways out that the three update flows share.

// The port and the update file as a flow holds them, from its start to every way out. Closing
// never raises, so it can run on every way out, the exception edge included; the destructor is
// the safety net for a way out that forgot.
class TFlowResources {
public:
    explicit TFlowResources(TCustomComPort &port) : port_(port) {}
    ~TFlowResources() { CloseAll(); }
    TFlowResources(const TFlowResources &) = delete;
    TFlowResources &operator=(const TFlowResources &) = delete;

    // The update file: its name as the flow began, and the reader that sends it.
    QString FileName;
    TTextLineReader File;

    void ClosePort();
    // Closes the update file and the port.
    void CloseAll();

private:
    TCustomComPort &port_;
};

// What differs between the flows at their start.
struct TFlowStart {
    TBaudRate BaudRate;
    QString Question;       // the "Begin Update?" question
    TRecordVariant Variant; // of the format check, from the unit type's row
};

// The start that every flow shares: "Ready." and an empty gauge, the port probed and opened at
// the flow's bit rate, the update file still there, the technician's go-ahead, the format
// check (its count is the gauge's maximum) and both queues purged. True when the flow goes on,
// with the port open and held.FileName set. False when the flow has ended: reported, the port
// closed, and ended says how.
bool StartFlow(TLink &link, const TFlowStart &start, TFlowResources &held, TUpdateOutcome &ended);

// Status "Updating the unit", then the update file opened for sending. True when it is open;
// false when the flow has ended: reported, the port closed, and ended says how.
bool OpenForSending(TLink &link, TFlowResources &held, const TFlowRun &run, TUpdateOutcome &ended);

// The update file cannot be read (any more): the status line, then the File Error box.
void ReportFileUnreadable(TLink &link);

// The file ran out before the unit took the end of the update: closes the file and the port
// and reports it.
void ReportEarlyEnd(TLink &link, TFlowResources &held);

// The way out for an exception, at a flow's edge: closes the file and the port and says so on
// the status line.
TUpdateOutcome EndUnexpected(TLink &link, TFlowResources &held, const TFlowRun &run);
