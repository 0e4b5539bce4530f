#include "updatefile/FileSummary.h"

#include "updatefile/HexDigit.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {

// Why a file could not be summarised, where the system gave no reason of its own.
namespace FileSummaryTexts {
constexpr char NoFile[] = "no file named";
constexpr char NotAFile[] = "not a file";
} // namespace FileSummaryTexts

// The file is read in blocks of this size.
constexpr qint64 BlockSize = 64 * 1024;

// The longest S-record line there can be: type, a count of 255 and 255 bytes after it, two
// characters each. Longer lines are read to their end but only this much of them is kept: such
// a record cannot be decoded anyway.
constexpr qsizetype LongestRecordLine = 4 + 2 * 255;

// Address bytes of a data record type, 0 for any other type.
int DataRecordAddressBytes(char typeDigit)
{
    switch (typeDigit) {
    case '1': return 2;
    case '2': return 3;
    case '3': return 4;
    default: return 0;
    }
}

// Gathers the summary one line at a time; lines are split as the update flows read them: a line
// ends at LF, a CR right before the LF belongs to the line end, a CR anywhere else belongs to the
// line, and a last line without a line end is still a line.
class TSummary {
public:
    void Feed(const char *bytes, qsizetype size)
    {
        for (qsizetype i = 0; i < size; ++i) {
            const char c = bytes[i];
            if (c == '\n') {
                EndLine();
                continue;
            }
            // A CR is held back until the next byte tells whether it ends the line.
            if (pendingCr_)
                Append('\r');
            pendingCr_ = (c == '\r');
            if (!pendingCr_)
                Append(c);
        }
    }

    TFileSummary Finish()
    {
        // A CR at the very end of the file has no LF after it, so it is part of the last line.
        if (pendingCr_) {
            Append('\r');
            pendingCr_ = false;
        }
        if (length_ > 0)
            EndLine();
        return summary_;
    }

private:
    // Counts the line among those of one problem, and names it while the list has room.
    void Note(qint64 &count, std::vector<qint64> &listed) const
    {
        ++count;
        if (listed.size() < TFileSummary::ListedLines)
            listed.push_back(summary_.Lines);
    }

    void Append(char c)
    {
        if (line_.size() < LongestRecordLine + 1)
            line_.append(c);
        ++length_;
    }

    void EndLine()
    {
        pendingCr_ = false; // a CR before the LF is part of the line end
        ++summary_.Lines;
        Classify();
        line_.clear();
        length_ = 0;
    }

    void Classify()
    {
        if (line_.size() < 2 || line_.at(0) != 'S' || line_.at(1) < '0' || line_.at(1) > '9') {
            ++summary_.OtherLines;
            return;
        }
        ++summary_.RecordsByType[line_.left(2)];
        const int addressBytes = DataRecordAddressBytes(line_.at(1));
        if (addressBytes > 0)
            DecodeDataRecord(addressBytes);
    }

    // A data record: count byte, address, data, checksum, every byte as two upper-case
    // hexadecimal digits. The count covers address, data and checksum.
    void DecodeDataRecord(int addressBytes)
    {
        const qint64 digits = length_ - 2;
        if (length_ > LongestRecordLine || digits < 2 || digits % 2 != 0) {
            Note(summary_.MalformedCount, summary_.MalformedLines);
            return;
        }
        QByteArray bytes;
        bytes.reserve(qsizetype(digits / 2));
        for (qsizetype i = 2; i < line_.size(); i += 2) {
            const int high = HexDigitValue(line_.at(i));
            const int low = HexDigitValue(line_.at(i + 1));
            if (high < 0 || low < 0) {
                Note(summary_.MalformedCount, summary_.MalformedLines);
                return;
            }
            bytes.append(char(16 * high + low));
        }
        const int count = quint8(bytes.at(0));
        if (count != bytes.size() - 1 || count < addressBytes + 1) {
            Note(summary_.MalformedCount, summary_.MalformedLines);
            return;
        }

        quint64 address = 0;
        for (int i = 1; i <= addressBytes; ++i)
            address = (address << 8) | quint8(bytes.at(i));
        const qint64 dataBytes = count - addressBytes - 1;
        // Data that would run past the top of the record type's address range have no address
        // to go to: such a record cannot be placed.
        const quint64 top = (quint64(1) << (8 * addressBytes)) - 1;
        if (dataBytes > 0 && address + quint64(dataBytes) - 1 > top) {
            Note(summary_.MalformedCount, summary_.MalformedLines);
            return;
        }

        quint8 sum = 0;
        for (qsizetype i = 0; i + 1 < bytes.size(); ++i)
            sum += quint8(bytes.at(i));
        if (quint8(~sum) != quint8(bytes.back()))
            Note(summary_.BadChecksumCount, summary_.BadChecksumLines);

        // The data of a record with a wrong checksum are still data the update would send.
        if (dataBytes == 0)
            return;
        summary_.DataBytes += dataBytes;
        const auto first = quint32(address);
        const auto last = quint32(address + quint64(dataBytes) - 1);
        if (!summary_.LowestAddress || first < *summary_.LowestAddress)
            summary_.LowestAddress = first;
        if (!summary_.HighestAddress || last > *summary_.HighestAddress)
            summary_.HighestAddress = last;
    }

    TFileSummary summary_;
    QByteArray line_;        // the line so far, at most one byte more than a record can have
    qint64 length_ = 0;      // bytes of the line so far, all of them
    bool pendingCr_ = false; // the last byte was a CR not yet added to the line
};

} // namespace

namespace {

// What reading the file found; copy (when given) receives every byte read.
std::optional<TFileSummary> Summarise(const QString &path, QFile *copy, QString *error)
{
    const auto fail = [error](const QString &why) -> std::optional<TFileSummary> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (path.isEmpty())
        return fail(QString::fromLatin1(FileSummaryTexts::NoFile));
    // Regular files only (a link to one is fine): a FIFO would block the open until a writer
    // comes, and a device such as /dev/zero never ends.
    if (!QFileInfo(path).isFile())
        return fail(QString::fromLatin1(FileSummaryTexts::NotAFile));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    if (file.isSequential()) // replaced by a pipe or device after the look above
        return fail(QString::fromLatin1(FileSummaryTexts::NotAFile));

    QCryptographicHash hash(QCryptographicHash::Sha256);
    TSummary summary;
    QByteArray block(qsizetype(BlockSize), Qt::Uninitialized);
    qint64 size = 0;
    for (;;) {
        const qint64 got = file.read(block.data(), BlockSize);
        if (got < 0)
            return fail(file.errorString()); // the file could not be read to its end
        if (got == 0)
            break;
        if (copy && copy->write(block.constData(), got) != got)
            return fail(copy->errorString());
        hash.addData(QByteArrayView(block.constData(), qsizetype(got)));
        summary.Feed(block.constData(), qsizetype(got));
        size += got;
    }
    if (copy && !copy->flush())
        return fail(copy->errorString());

    TFileSummary result = summary.Finish();
    // Size and hash are of the bytes read, so they belong together even when the file changed
    // on the disk meanwhile.
    result.FileSize = size;
    result.Sha256Hex = hash.result().toHex();
    return result;
}

} // namespace

std::optional<TFileSummary> SummariseUpdateFile(const QString &path)
{
    return Summarise(path, nullptr, nullptr);
}

std::optional<TFileSummary> SummariseAndCopyUpdateFile(const QString &path, const QString &copyPath, QString *error)
{
    QFile copy(copyPath);
    // A new file only: a name that is there already may be someone else's.
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error)
            *error = copy.errorString();
        return std::nullopt;
    }
    std::optional<TFileSummary> summary = Summarise(path, &copy, error);
    copy.close();
    if (summary && copy.error() != QFileDevice::NoError) {
        if (error)
            *error = copy.errorString();
        summary.reset();
    }
    if (!summary)
        copy.remove();
    return summary;
}
