#include "updatefile/TextLineReader.h"

#include <QFileInfo>
#include <cstring>

TTextLineReader::TTextLineReader(const QString &path)
{
    Open(path);
}

TTextLineReader::~TTextLineReader()
{
    Close();
}

bool TTextLineReader::Open(const QString &path)
{
    Close();
    if (path.isEmpty())
        return false;
    // Regular files only (a link to one is fine): opening a FIFO blocks until a writer comes,
    // and a device such as /dev/zero never ends.
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    file_.setFileName(path);
    // Opened unbuffered and without text translation: the line ends are handled here, and
    // the reads go straight into our own block.
    if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    if (file_.isSequential()) { // replaced by a pipe or device after the look above
        file_.close();
        return false;
    }
    return true;
}

bool TTextLineReader::IsOpen() const
{
    return file_.isOpen();
}

void TTextLineReader::Close()
{
    if (file_.isOpen())
        file_.close();
    eof_ = false;
    buffer_.clear();
    pos_ = 0;
    end_ = 0;
}

bool TTextLineReader::Refill()
{
    if (buffer_.size() != ChunkSize)
        buffer_.resize(ChunkSize);
    pos_ = 0;
    end_ = 0;
    const qint64 got = file_.read(buffer_.data(), ChunkSize);
    if (got < 0)
        return false;
    end_ = got;
    return true;
}

bool TTextLineReader::ReadLine(QByteArray &line, qint64 *fullLength)
{
    line.clear();
    if (fullLength)
        *fullLength = 0;
    if (!file_.isOpen())
        return false;

    qint64 length = 0;  // bytes of the line so far, all of them
    char last = '\0';   // the line's last byte so far
    for (;;) {
        if (pos_ >= end_) {
            if (!Refill())
                return false;
            if (end_ == 0) { // end of file before a line feed
                eof_ = true;
                break;
            }
        }
        const char *begin = buffer_.constData() + pos_;
        const qsizetype avail = end_ - pos_;
        const char *lf = static_cast<const char *>(std::memchr(begin, '\n', size_t(avail)));
        const qsizetype take = lf ? lf - begin : avail;
        if (take > 0) {
            const qint64 room = MaxKeptLineLength - line.size();
            if (room > 0)
                line.append(begin, qsizetype(qMin<qint64>(room, take)));
            length += take;
            last = begin[take - 1];
        }
        if (lf) {
            pos_ += take + 1;
            // A CR right before the LF belongs to the line end, not to the line.
            if (length > 0 && last == '\r') {
                --length;
                if (line.size() > length)
                    line.chop(1);
            }
            break;
        }
        pos_ = end_;
    }
    if (fullLength)
        *fullLength = length;
    return true;
}
