#include "updatefile/FormatCheck.h"

#include "updatefile/FileTexts.h"
#include "updatefile/HexDigit.h"
#include "updatefile/TextLineReader.h"

namespace {

// At most this many lines may stand before the header record.
constexpr int MaxLinesBeforeHeader = 30;
// A data record line needs type, count, at least a 16-bit address and the checksum.
constexpr qint64 MinDataLineLength = 12;
// The most data records an update file may hold.
constexpr int MaxDataRecords = 20000;

// A read failed half-way through the file.
struct TReadFailure {};

class TFormatCheck {
public:
    TFormatCheck(TOperatorSurface &surface, TWizardState &state, TRecordVariant variant)
        : surface_(surface), state_(state), data_(DataRecordLetters(variant)), end_(EndRecordLetters(variant)) {}

    // Why Run gave its count.
    TFormatVerdict Verdict = TFormatVerdict::Failed;

    int Run()
    {
        ShowStatus(FileTexts::CheckingFormat);
        if (state_.StopRequested)
            return Stopped();

        if (!reader_.Open(surface_.UpdateFileName())) {
            Verdict = TFormatVerdict::Unreadable;
            ShowStatus(FileTexts::ProblemReading);
            surface_.ReportBox(FileTexts::CouldNotBeRead, FileTexts::FileErrorTitle, TBoxIcon::Warning);
            return 0;
        }

        // The header: anything may stand before it, up to a limit.
        bool headerSeen = false;
        int skipped = 0;
        while (!reader_.Eof()) {
            if (!NextLine())
                return Stopped();
            if (line_.startsWith("S0")) {
                headerSeen = true;
                break;
            }
            if (++skipped > MaxLinesBeforeHeader)
                return FormatError(FileTexts::FormatErrorText);
        }
        if (!headerSeen)
            return FormatError(FileTexts::FormatErrorText);

        // The records: data records of the variant, then its termination record. Nothing
        // after the termination record is read.
        int records = 0;
        bool dataSeen = false;
        bool endSeen = false;
        while (!reader_.Eof()) {
            if (!NextLine())
                return Stopped();
            if (line_.startsWith(data_)) {
                dataSeen = true;
                ++records;
                if (length_ < MinDataLineLength)
                    return FormatError(FileTexts::FormatErrorText);
                const int high = HexDigitValue(line_.at(2));
                const int low = HexDigitValue(line_.at(3));
                if (high < 0 || low < 0)
                    return FormatError(FileTexts::FormatErrorText);
                // The count covers address, data and checksum, two characters a byte, after
                // the two type and two count characters.
                if (length_ != 2 * (16 * high + low) + 4)
                    return FormatError(FileTexts::FormatErrorText);
                if (records > MaxDataRecords)
                    return FormatError(FileTexts::LimitText);
            } else if (line_.startsWith(end_)) {
                endSeen = true;
                ++records;
                break;
            } else {
                return FormatError(FileTexts::FormatErrorText);
            }
        }
        reader_.Close();

        if (headerSeen && dataSeen && endSeen) {
            Verdict = TFormatVerdict::Usable;
            return records;
        }
        // The file ended inside its last record, or held no data record: said on the status
        // line only.
        Verdict = TFormatVerdict::NotValid;
        ShowStatus(FileTexts::ProblemFormat);
        return 0;
    }

private:
    // The status line; a failure to show it does not end the check.
    void ShowStatus(const QString &text)
    {
        try {
            surface_.SetStatusText(text);
        } catch (...) {
        }
    }

    // Reads the next line, handling the window's events first. False when a stop was asked
    // for before the line; a failed read throws.
    bool NextLine()
    {
        if (state_.StopRequested)
            return false;
        surface_.ProcessPendingMessages();
        if (!reader_.ReadLine(line_, &length_))
            throw TReadFailure();
        return true;
    }

    int Stopped()
    {
        Verdict = TFormatVerdict::Stopped;
        reader_.Close();
        return 0;
    }

    int FormatError(const QString &text)
    {
        Verdict = TFormatVerdict::NotValid;
        reader_.Close();
        ShowStatus(FileTexts::ProblemFormat);
        surface_.ReportBox(text, FileTexts::FormatErrorTitle, TBoxIcon::Warning);
        return 0;
    }

    TOperatorSurface &surface_;
    TWizardState &state_;
    const QByteArray data_;
    const QByteArray end_;
    TTextLineReader reader_;
    QByteArray line_;
    qint64 length_ = 0;
};

} // namespace

TFormatCheckResult CheckUpdateFileFormatWithVerdict(TOperatorSurface &surface, TWizardState &state,
                                                    TRecordVariant variant)
{
    TFormatCheckResult result;
    try {
        TFormatCheck check(surface, state, variant);
        result.Records = check.Run();
        result.Verdict = check.Verdict;
        return result;
    } catch (const TReadFailure &) {
        result.Verdict = TFormatVerdict::Unreadable;
    } catch (...) {
        result.Verdict = TFormatVerdict::Failed;
    }
    // A failure on the way (the file could not be read to its end, the surface failed): the
    // file cannot be used. Only the file warning label says so.
    try {
        surface.SetFileWarning(FileTexts::FileNotFound);
    } catch (...) {
    }
    result.Records = 0;
    return result;
}

int CheckUpdateFileFormat(TOperatorSurface &surface, TWizardState &state, TRecordVariant variant)
{
    return CheckUpdateFileFormatWithVerdict(surface, state, variant).Records;
}
