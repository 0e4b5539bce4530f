// Fuzz target: the update-file format check on arbitrary file contents. The first input byte
// picks the record variant (odd: 32-bit S3/S7, even: 24-bit S2/S8) and, when its top bit is
// set, a press of Stop: already pressed at the start (bits 1-6 zero) or pressed during the
// pass of window events before line 1-63 (bits 1-6); the rest is the file. The
// check runs on a virtual clock with a recording surface, and its outcome is compared with a
// plain model of the file rules: lines split at LF (CR LF counts as one line end, a last line
// without a line end is still a line, and a file ending in a line end reads one empty line
// more), header within the first 31 lines, data records of the variant whose length agrees
// with their count, then the termination record.

#include <QByteArrayList>

#include "seriallink/LinkPrimitives.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/RecordingSurface.h"
#include "unitsim/InProcessPort.h"
#include "unitsim/VirtualClock.h"
#include "updatefile/FileTexts.h"
#include "updatefile/FormatCheck.h"

namespace {

enum class TEnd { Valid, FormatBox, LimitBox, Silent, Stopped };

struct TExpected {
    int Result = 0;
    TEnd End = TEnd::Valid;
    int LinesRead = 0;
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

TExpected Model(const QByteArray &file, TRecordVariant variant)
{
    QByteArrayList lines = file.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].endsWith('\r'))
            lines[i].chop(1);

    TExpected out;
    qsizetype next = 0;
    auto formatError = [&](TEnd end) {
        out.Result = 0;
        out.End = end;
        out.LinesRead = int(next);
        return out;
    };

    bool header = false;
    for (int skipped = 0; next < lines.size();) {
        if (lines[next++].startsWith("S0")) {
            header = true;
            break;
        }
        if (++skipped > 30)
            return formatError(TEnd::FormatBox);
    }
    if (!header)
        return formatError(TEnd::FormatBox);

    const QByteArray data = DataRecordLetters(variant);
    const QByteArray end = EndRecordLetters(variant);
    int records = 0;
    bool dataSeen = false;
    bool endSeen = false;
    while (next < lines.size()) {
        const QByteArray &line = lines[next++];
        if (line.startsWith(data)) {
            dataSeen = true;
            ++records;
            if (line.size() < 12)
                return formatError(TEnd::FormatBox);
            const int high = HexDigit(line[2]);
            const int low = HexDigit(line[3]);
            if (high < 0 || low < 0 || line.size() != 2 * (16 * high + low) + 4)
                return formatError(TEnd::FormatBox);
            if (records > 20000)
                return formatError(TEnd::LimitBox);
        } else if (line.startsWith(end)) {
            endSeen = true;
            ++records;
            break;
        } else {
            return formatError(TEnd::FormatBox);
        }
    }
    out.LinesRead = int(next);
    if (dataSeen && endSeen) {
        out.Result = records;
        out.End = TEnd::Valid;
    } else {
        out.End = TEnd::Silent;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::SilenceQt();
    static const QString path = FuzzSupport::ScratchDir() + QStringLiteral("/T42FUZZ.S19");

    const uint8_t first = size > 0 ? data[0] : 0;
    const TRecordVariant variant = (first & 1) ? TRecordVariant::Addr32 : TRecordVariant::Addr24;
    const int stopAt = (first & 0x80) ? (first >> 1) & 0x3F : -1; // pumps before Stop; -1: never
    const QByteArray file = size > 0 ? FuzzSupport::Bytes(data + 1, size - 1) : QByteArray();
    if (!FuzzSupport::WriteFile(path, file))
        std::abort();

    TVirtualClock clock;
    TInProcessPort port(clock);
    TWizardState state;
    TRecordingSurface surface(&clock);
    surface.FileName = path;
    TLink link(surface, port, clock, state);
    state.StopRequested = stopAt == 0;
    surface.OnPump = [&] {
        if (surface.PumpCount == stopAt)
            state.StopRequested = true;
    };

    const int result = CheckUpdateFileFormat(link.Surface, link.State, variant);
    TExpected expected = Model(file, variant);
    // A press of Stop ends the check before the next line, silently; one during the pass before
    // the last line read comes too late to matter.
    if (stopAt >= 0 && stopAt < expected.LinesRead)
        expected = {0, TEnd::Stopped, stopAt};

    FUZZ_CHECK(result == expected.Result);
    FUZZ_CHECK(result == 0 || (result >= 2 && result <= 20001));
    // One pass of window events before every line read, and no time spent on the way.
    FUZZ_CHECK(surface.PumpCount == expected.LinesRead);
    FUZZ_CHECK(clock.TickCount() == 0);
    // A regular file that stays put never ends in the unexpected-error path.
    FUZZ_CHECK(surface.FileWarning.isEmpty());
    FUZZ_CHECK(state.StopRequested == (stopAt >= 0 && stopAt <= surface.PumpCount));

    const QStringList statuses = surface.Statuses();
    const QStringList boxes = surface.Boxes();
    FUZZ_CHECK(!statuses.isEmpty() && statuses.first() == FileTexts::CheckingFormat);
    for (const TSeen &seen : surface.Seen)
        FUZZ_CHECK(seen.What != TSeen::Question);
    switch (expected.End) {
    case TEnd::Valid:
    case TEnd::Stopped:
        FUZZ_CHECK(statuses.size() == 1 && boxes.isEmpty());
        break;
    case TEnd::Silent:
        FUZZ_CHECK(statuses == QStringList({FileTexts::CheckingFormat, FileTexts::ProblemFormat}));
        FUZZ_CHECK(boxes.isEmpty());
        break;
    case TEnd::FormatBox:
    case TEnd::LimitBox: {
        const QString &text = expected.End == TEnd::LimitBox ? FileTexts::LimitText : FileTexts::FormatErrorText;
        FUZZ_CHECK(statuses == QStringList({FileTexts::CheckingFormat, FileTexts::ProblemFormat}));
        FUZZ_CHECK(boxes == QStringList({FileTexts::FormatErrorTitle + QStringLiteral(": ") + text}));
        break;
    }
    }
    return 0;
}
