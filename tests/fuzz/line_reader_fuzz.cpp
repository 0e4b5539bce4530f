// Fuzz target: the text line reader the format check and the update flows read update files
// with. The whole input is the file. It is read to the end-of-file mark as the flows read it
// (while the mark is not set: read a line), with the reader's real limits, and every line is
// compared with the file's own bytes: no line holds a line feed; a CR right before the LF is
// part of the line end only; the full length counts the whole line while at most
// MaxKeptLineLength bytes of it are kept; the lines and their line ends add up to the file; one
// read per line feed plus one; and once the mark is set further reads give empty lines. A
// second pass without the full length, after reopening, reads the same lines.

#include "tests/fuzz/FuzzSupport.h"
#include "updatefile/TextLineReader.h"

namespace {

constexpr qint64 Kept = TTextLineReader::MaxKeptLineLength;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::SilenceQt();
    static const QString path = FuzzSupport::ScratchDir() + QStringLiteral("/lines.s19");

    const QByteArray file = FuzzSupport::Bytes(data, size);
    if (!FuzzSupport::WriteFile(path, file))
        std::abort();

    TTextLineReader reader;
    FUZZ_CHECK(reader.Open(path));
    FUZZ_CHECK(reader.IsOpen() && !reader.Eof());

    QList<QByteArray> kept;
    qint64 at = 0; // bytes of the file accounted for so far
    while (!reader.Eof()) {
        QByteArray line;
        qint64 full = -1;
        FUZZ_CHECK(reader.ReadLine(line, &full));
        FUZZ_CHECK(full >= 0 && at + full <= qint64(size));
        FUZZ_CHECK(line.size() == qMin(full, Kept));
        FUZZ_CHECK(line.capacity() <= 2 * Kept);
        FUZZ_CHECK(!line.contains('\n'));
        FUZZ_CHECK(line == file.mid(at, line.size()));

        // Only a read that runs into the end of the file sets the mark.
        const qint64 after = at + full;
        FUZZ_CHECK(reader.Eof() == (after == qint64(size)));
        // What follows the line in the file: the end, LF, or CR LF (the CR not in the line; a
        // CR right before an LF never is).
        if (after == qint64(size)) {
            at = after;
        } else if (file[after] == '\n') {
            FUZZ_CHECK(full == 0 || file[after - 1] != '\r');
            at = after + 1;
        } else {
            FUZZ_CHECK(file[after] == '\r' && after + 1 < qint64(size) && file[after + 1] == '\n');
            at = after + 2;
        }
        kept << line;
    }
    FUZZ_CHECK(at == qint64(size));
    FUZZ_CHECK(kept.size() == file.count('\n') + 1);

    // Past the mark: empty lines, the mark stays.
    QByteArray line("x");
    qint64 full = -1;
    FUZZ_CHECK(reader.ReadLine(line, &full) && line.isEmpty() && full == 0 && reader.Eof());

    // Again from the start after reopening, without asking for the full length.
    FUZZ_CHECK(reader.Open(path) && !reader.Eof());
    for (const QByteArray &expected : kept) {
        FUZZ_CHECK(!reader.Eof());
        FUZZ_CHECK(reader.ReadLine(line));
        FUZZ_CHECK(line == expected);
    }
    FUZZ_CHECK(reader.Eof());
    reader.Close();
    FUZZ_CHECK(!reader.IsOpen() && !reader.ReadLine(line) && line.isEmpty());
    return 0;
}
