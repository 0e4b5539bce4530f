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
    // The lines with a problem: all of them counted, the first ListedLines of them named, so that
    // a file of any size is summarised in bounded memory.
    static constexpr size_t ListedLines = 100;
    qint64 BadChecksumCount = 0;           // records whose checksum is wrong
    qint64 MalformedCount = 0;             // S-record lines that cannot be decoded
    std::vector<qint64> BadChecksumLines;  // 1-based numbers of the first of them
    std::vector<qint64> MalformedLines;    // 1-based numbers of the first of them
};

// Reads the file once. Empty when it cannot be opened or read to its end.
std::optional<TFileSummary> SummariseUpdateFile(const QString &path);

// Reads the file once like SummariseUpdateFile and writes every byte it read to a new file at
// copyPath, so that an update sent from the copy sends exactly the bytes the summary (its size
// and SHA-256) describes, whatever happens to the file meanwhile. Empty, and no copy left, when
// the file cannot be read to its end or the copy cannot be made whole; the reason in error.
std::optional<TFileSummary> SummariseAndCopyUpdateFile(const QString &path, const QString &copyPath, QString *error);
