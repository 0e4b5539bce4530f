#include "station/ReportCounts.h"

#include <QFile>
#include <QFileInfo>

#include "protocols/UpdateOutcome.h"
#include "station/UpdateReport.h"

TReportCounts CountReportDay(const QString &reportPath, const QDate &day)
{
    TReportCounts counts;
    // Regular files only: a FIFO or a device could block or never end.
    if (reportPath.isEmpty() || !QFileInfo(reportPath).isFile())
        return counts;
    QFile file(reportPath);
    if (!file.open(QIODevice::ReadOnly))
        return counts;
    // Line by line, so that a report of years is never held whole in memory. A line longer than
    // any record (a damaged file) is read in pieces, each no record.
    constexpr qint64 MaxLine = 1 << 20;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(MaxLine);
        if (line.isEmpty() && file.error() != QFileDevice::NoError)
            break;
        const std::optional<TUpdateRecord> record = ParseReportLine(line);
        if (!record || !record->End.isValid() || record->End.toLocalTime().date() != day)
            continue;
        ++counts.Total;
        if (record->Outcome == OutcomeKindName(TOutcomeKind::Completed))
            ++counts.Completed;
        else
            ++counts.Failed;
    }
    return counts;
}
