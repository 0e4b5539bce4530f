#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Reads an update file as text, one line at a time, in bounded memory. A line ends at LF; a CR
// right before the LF is not part of the line; a last line without a line end is still a line.
// The end-of-file mark is set when a read runs into the end of the file: the last line had no
// line end, or nothing was left to read (that read yields an empty line).
class TTextLineReader {
public:
    // Lines are kept up to this many bytes; longer lines are read to their end and reported
    // with their full length, so a huge line never fills memory.
    static constexpr qint64 MaxKeptLineLength = 64 * 1024;
    // The file is read in blocks of this size.
    static constexpr qint64 ChunkSize = 64 * 1024;

    TTextLineReader() = default;
    explicit TTextLineReader(const QString &path);
    ~TTextLineReader();

    // False when the file cannot be opened for reading. Only regular files are opened: a pipe or
    // a device could block the window's thread on open or never end.
    bool Open(const QString &path);
    bool IsOpen() const;
    void Close();

    // True once a read has run into the end of the file.
    bool Eof() const { return eof_; }

    // Reads the next line into line (at most MaxKeptLineLength bytes of it) and its full length
    // into fullLength. Returns false on a read error (the file vanished or became unreadable).
    bool ReadLine(QByteArray &line, qint64 *fullLength = nullptr);

private:
    // Makes unread bytes available in buffer_; false on a read error. At the end of the file
    // it returns true with nothing available.
    bool Refill();

    QFile file_;
    bool eof_ = false;
    QByteArray buffer_;   // the block last read
    qsizetype pos_ = 0;   // first unread byte in buffer_
    qsizetype end_ = 0;   // bytes of buffer_ that hold file data
};
