#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTextStream>
#include <QtGlobal>
#include <optional>

// One unit's update as the station's report keeps it: one JSON object per line, appended when
// the unit's update has ended, whatever the outcome.
struct TUpdateRecord {
    QDateTime Start;           // UTC
    QDateTime End;             // UTC
    int UnitCode = 0;
    QString UnitName;          // the catalogue's short name, e.g. "TVR-4200"
    QString Port;              // as given on the command line
    QString AdapterDescription;
    QString AdapterSerialNumber;
    QString AdapterByIdLink;
    QString FilePath;          // absolute
    qint64 FileSize = 0;
    QString FileSha256;        // lower-case hexadecimal
    qint64 FileRecords = 0;    // data records in the file
    qint64 Acknowledged = 0;   // lines, data bytes or records the unit acknowledged
    QString AcknowledgedUnit;  // "lines", "bytes" or "records"
    QString Outcome;           // OutcomeKindName(...)
    QString OutcomeDetail;     // DescribeOutcome(...)
    QString UnitError;         // the unit's error letter or byte, empty when none
    QString LastStatus;        // the last status text shown
    int Retries = 0;
    qint64 DurationMs = 0;
    QString VarnelVersion;
    QString Host;
    // A station's job: the bay the unit sat in and the unit's own serial number (typed or
    // scanned); written only when not empty, so lines without a job stay as they were.
    QString Bay;
    QString UnitSerial;
};

// The record as one line of compact JSON, without a line end. Times as ISO 8601 UTC with
// milliseconds ("2026-12-08T21:53:54.123Z"); the field names are those of the README.
QByteArray ReportLine(const TUpdateRecord &record);

// Reads a record back from a report line; empty for a line that is not one.
std::optional<TUpdateRecord> ParseReportLine(const QByteArray &line);

// Appends the line and a line end to the report at path in one write, created when missing,
// and flushes it to the disk before returning, so that a crash or a power cut never leaves
// half a line. False with a one-line reason when that failed.
bool AppendReportLine(const QString &path, const QByteArray &line, QString *error);

// Prints a report as a table (one row per unit) or, with csv, as CSV with a header row.
// Returns the command's exit code: 0, or 4 when the report cannot be read (the reason goes to
// err). Lines that are not records are counted and named on err, never fatal.
int PrintReport(const QString &path, bool csv, QTextStream &out, QTextStream &err);
