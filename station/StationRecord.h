#pragma once

#include <QString>
#include <optional>

#include "seriallink/PortFacts.h"
#include "station/PortWorker.h"
#include "station/UpdateReport.h"
#include "updatefile/FileSummary.h"
#include "updatefile/UnitCatalogue.h"

// What a station knows of one port before its update starts: the unit type, the port as the
// technician named it, its adapter, and the update file with its summary (empty when the file
// could not be read whole).
struct TRecordContext {
    TUnitType Unit;
    QString Port;
    TPortFacts Adapter;
    QString FilePath;  // absolute
    qint64 FileSize = 0;
    std::optional<TFileSummary> File;
};

// The report's record of a port's update that has ended.
TUpdateRecord MakeUpdateRecord(const TRecordContext &context, const TPortRun &run);

// What each acknowledged item of the unit's flow is: "lines", "bytes" or "records".
QString AcknowledgedUnitOf(TUpdateFlowKind flow);
