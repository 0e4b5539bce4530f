#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

// What a technician wants to know about an update file before an update, beside the format
// check: information only, the check alone decides whether a file may be sent.
struct TFileSummary {
    qint64 FileSize = 0;
    QByteArray Sha256Hex;            // lower-case hexadecimal SHA-256 of the whole file
    qint64 Lines = 0;                // lines of the file (a last line without line end counts)
    QMap<QByteArray, int> RecordsByType; // "S0".."S9" -> lines of that record type
    qint64 OtherLines = 0;           // lines that are not S-records (blank lines included)
    qint64 DataBytes = 0;            // data bytes of the data records (S1, S2, S3)
    std::optional<quint32> LowestAddress;  // lowest address a data byte goes to
    std::optional<quint32> HighestAddress; // highest address a data byte goes to
    std::vector<qint64> BadChecksumLines;  // 1-based numbers of the records whose checksum is wrong
    std::vector<qint64> MalformedLines;    // 1-based numbers of S-record lines that cannot be decoded
};

// Reads the file once. Empty when it cannot be opened or read to its end.
std::optional<TFileSummary> SummariseUpdateFile(const QString &path);
