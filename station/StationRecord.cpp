#include "station/StationRecord.h"

#include <QSysInfo>

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

QString AcknowledgedUnitOf(TUpdateFlowKind flow)
{
    switch (flow) {
    case TUpdateFlowKind::UpdateMode: return QStringLiteral("lines");
    case TUpdateFlowKind::ResistorMonitor: return QStringLiteral("bytes");
    case TUpdateFlowKind::CommsModule: return QStringLiteral("records");
    }
    return {};
}

TUpdateRecord MakeUpdateRecord(const TRecordContext &context, const TPortRun &run)
{
    TUpdateRecord record;
    record.Start = run.Start;
    record.End = run.End;
    record.UnitCode = context.Unit.Code;
    record.UnitName = context.Unit.ShortName;
    record.Port = context.Port;
    record.AdapterDescription = context.Adapter.Description;
    record.AdapterSerialNumber = context.Adapter.SerialNumber;
    record.AdapterByIdLink = context.Adapter.ByIdLink;
    record.FilePath = context.FilePath;
    record.FileSize = context.File ? context.File->FileSize : context.FileSize;
    if (context.File) {
        record.FileSha256 = QString::fromLatin1(context.File->Sha256Hex);
        for (const char *type : {"S1", "S2", "S3"})
            record.FileRecords += context.File->RecordsByType.value(QByteArray(type), 0);
    }
    record.Acknowledged = run.Outcome.Acknowledged;
    record.AcknowledgedUnit = AcknowledgedUnitOf(context.Unit.Flow);
    record.Outcome = OutcomeKindName(run.Outcome.Kind);
    record.OutcomeDetail = DescribeOutcome(run.Outcome);
    record.UnitError = QString::fromLatin1(run.Outcome.UnitAnswer);
    record.LastStatus = run.LastStatus;
    record.Retries = run.Outcome.Retries;
    record.DurationMs = run.DurationMs;
    record.VarnelVersion = QString::fromLatin1(VARNEL_VERSION);
    record.Host = QSysInfo::machineHostName();
    return record;
}
