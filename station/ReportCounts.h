#pragma once

#include <QDate>
#include <QString>

struct TReportCounts {
    int Completed = 0;
    int Failed = 0;
    int Total = 0;
};

// Records of the report file whose end falls on the given local day; reads the file as a stream.
// Failed counts every record that is not completed (stopped ones too). Lines that are no records, and records without an end, are not counted; a report that is
// missing or cannot be read counts nothing.
TReportCounts CountReportDay(const QString &reportPath, const QDate &day);
