#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

// Builders of S-record update files for the update-file tests.
namespace SRecordText {

// One record line (no line end) with a correct checksum: type ("S0".."S9"), an address of
// addressBytes bytes and dataBytes bytes of data.
inline QByteArray Record(const char *type, int addressBytes, quint32 address, int dataBytes, int seed = 0)
{
    QByteArray bytes;
    const int count = addressBytes + dataBytes + 1;
    bytes.append(char(count));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.append(char((address >> (8 * i)) & 0xFF));
    for (int i = 0; i < dataBytes; ++i)
        bytes.append(char((seed * 31 + i * 7 + 3) & 0xFF));
    quint8 sum = 0;
    for (char b : bytes)
        sum += quint8(b);
    bytes.append(char(~sum));
    return QByteArray(type) + bytes.toHex().toUpper();
}

inline int AddressBytes(const char *dataType)
{
    switch (dataType[1]) {
    case '2': case '8': return 3;
    case '3': case '7': return 4;
    default: return 2;
    }
}

inline QByteArray Header() { return Record("S0", 2, 0, 6); }
inline QByteArray Data(const char *type, int index, int dataBytes = 16)
{
    return Record(type, AddressBytes(type), quint32(index) * 16, dataBytes, index);
}
inline QByteArray End(const char *type) { return Record(type, AddressBytes(type), 0, 0); }

// A whole file: header, n data records of the type, termination record; LF after each line.
inline QList<QByteArray> Lines(const char *dataType, const char *endType, int n)
{
    QList<QByteArray> lines{Header()};
    for (int i = 0; i < n; ++i)
        lines << Data(dataType, i);
    lines << End(endType);
    return lines;
}

inline QByteArray Join(const QList<QByteArray> &lines, const QByteArray &eol = "\n", bool finalEol = true)
{
    QByteArray text;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (finalEol || i + 1 < lines.size())
            text += eol;
    }
    return text;
}

inline bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(content) == content.size();
}

} // namespace SRecordText
