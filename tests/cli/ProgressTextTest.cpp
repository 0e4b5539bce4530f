// The texts of the human output: durations, the progress bar, and a retry command a shell
// takes back word for word.
#include <gtest/gtest.h>

#include "cli/ProgressText.h"

namespace {

struct TDuration {
    qint64 Ms;
    const char *Text;
};

class DurationText : public ::testing::TestWithParam<TDuration> {};

TEST_P(DurationText, IsMinutesAndSecondsOrHoursToo)
{
    EXPECT_EQ(FormatDuration(GetParam().Ms), QString::fromLatin1(GetParam().Text));
}

INSTANTIATE_TEST_SUITE_P(Table, DurationText,
                         ::testing::Values(TDuration{-5, "0:00"}, TDuration{0, "0:00"}, TDuration{999, "0:00"},
                                           TDuration{1000, "0:01"}, TDuration{59999, "0:59"}, TDuration{60000, "1:00"},
                                           TDuration{3599999, "59:59"}, TDuration{3600000, "1:00:00"},
                                           TDuration{36061000, "10:01:01"}));

struct TPercent {
    qint64 Sent;
    qint64 Total;
    int Percent;
};

class PercentOfTotal : public ::testing::TestWithParam<TPercent> {};

TEST_P(PercentOfTotal, NeverBeyondItsBounds)
{
    EXPECT_EQ(PercentDone(GetParam().Sent, GetParam().Total), GetParam().Percent);
}

INSTANTIATE_TEST_SUITE_P(Table, PercentOfTotal,
                         ::testing::Values(TPercent{0, 0, 0}, TPercent{5, 0, 0}, TPercent{-1, 10, 0}, TPercent{1, 3, 33},
                                           TPercent{256, 257, 99}, TPercent{257, 257, 100}, TPercent{300, 257, 100},
                                           // 20000 records, the most a file may hold, far from overflowing
                                           TPercent{19999, 20001, 99}, TPercent{4'000'000'000LL, 8'000'000'000LL, 50}));

TEST(ProgressBar, ShowsTheFiguresAndTheTimeLeftAtTheRateSoFar)
{
    TProgressFigures f;
    f.Sent = 120;
    f.Total = 258;
    EXPECT_EQ(TimeLeftMs(f), std::nullopt) << "no rate yet, no time left";
    const QString unknown = ProgressBarLine(f, 100);
    EXPECT_TRUE(unknown.contains(QStringLiteral("120/258 lines")));
    EXPECT_TRUE(unknown.contains(QStringLiteral("-- lines/s")));

    f.LinesPerSecond = 23.0;
    EXPECT_EQ(TimeLeftMs(f), 6000); // 138 lines at 23 a second
    const QString line = ProgressBarLine(f, 100);
    EXPECT_TRUE(line.startsWith(QLatin1Char('['))) << line.toStdString();
    EXPECT_TRUE(line.contains(QStringLiteral("  46 %  23.0 lines/s  0:06 left"))) << line.toStdString();
    // 46 % of the bar is filled.
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    const QString bar = line.mid(1, close - 1);
    EXPECT_EQ(bar.count(QLatin1Char('#')), bar.size() * 46 / 100);
    EXPECT_LT(line.size(), 100);

    // A narrow terminal cuts the row rather than letting it wrap.
    EXPECT_EQ(ProgressBarLine(f, 30).size(), 29);
}

TEST(ProgressRow, APercentInAPortNameOrStatusStaysAsItIs)
{
    TProgressFigures f;
    f.Sent = 3;
    f.Total = 10;
    const QString row = ProgressRow(QStringLiteral("COM%1"), QString(), f, QStringLiteral("Updating %2 the unit"), 5, 200);
    EXPECT_EQ(row, QStringLiteral("COM%1  -                  3/10       30 %  Updating %2 the unit"));
}

struct TQuote {
    const char *Argument;
    const char *Quoted;
};

class ShellQuoting : public ::testing::TestWithParam<TQuote> {};

TEST_P(ShellQuoting, LeavesSafeWordsAndQuotesTheRest)
{
    EXPECT_EQ(PosixShellQuote(QString::fromUtf8(GetParam().Argument)), QString::fromUtf8(GetParam().Quoted));
}

INSTANTIATE_TEST_SUITE_P(Table, ShellQuoting,
                         ::testing::Values(TQuote{"ttyUSB0", "ttyUSB0"}, TQuote{"/dev/pts/3", "/dev/pts/3"},
                                           TQuote{"TVR-4200", "TVR-4200"}, TQuote{"", "''"},
                                           TQuote{"my file.s19", "'my file.s19'"}, TQuote{"a'b", "'a'\\''b'"},
                                           TQuote{"$HOME", "'$HOME'"}, TQuote{"x;rm -rf /", "'x;rm -rf /'"},
                                           TQuote{"T42\u00e9.s19", "'T42\u00e9.s19'"}));

// What cmd.exe and PowerShell both take back as the one argument.
class WindowsShellQuoting : public ::testing::TestWithParam<TQuote> {};

TEST_P(WindowsShellQuoting, UsesDoubleQuotesBothShellsTake)
{
    EXPECT_EQ(WindowsShellQuote(QString::fromUtf8(GetParam().Argument)), QString::fromUtf8(GetParam().Quoted));
}

INSTANTIATE_TEST_SUITE_P(Table, WindowsShellQuoting,
                         ::testing::Values(TQuote{"COM5", "COM5"}, TQuote{"C:\\fw\\T42.s19", "C:\\fw\\T42.s19"},
                                           TQuote{"", "\"\""}, TQuote{"C:\\my fw\\T42.s19", "\"C:\\my fw\\T42.s19\""},
                                           TQuote{"a'b", "\"a'b\""}, TQuote{"COM5,COM6", "\"COM5,COM6\""},
                                           TQuote{"50%", "\"50%\""}, TQuote{"@list", "\"@list\""},
                                           TQuote{"x&del", "\"x&del\""}, TQuote{"C:\\my fw\\", "\"C:\\my fw\\\\\""},
                                           TQuote{"T42\u00e9.s19", "\"T42\u00e9.s19\""}));

struct TShownName {
    const char *Name;
    const char *Shown;
};

class PrintedName : public ::testing::TestWithParam<TShownName> {};

TEST_P(PrintedName, ShowsControlCharactersAsEscapes)
{
    EXPECT_EQ(PrintableName(QString::fromUtf8(GetParam().Name)), QString::fromUtf8(GetParam().Shown));
}

INSTANTIATE_TEST_SUITE_P(Table, PrintedName,
                         ::testing::Values(TShownName{"/dev/ttyUSB0", "/dev/ttyUSB0"}, TShownName{"FT232R USB UART", "FT232R USB UART"},
                                           TShownName{"a\tb\nc\rd", "a\\tb\\nc\\rd"}, TShownName{"x\x1b[2J", "x\\x1b[2J"},
                                           TShownName{"del\x7f", "del\\x7f"}, TShownName{"c1\u009b", "c1\\x9b"},
                                           TShownName{"C:\\fw\\T42\u00e9.s19", "C:\\fw\\T42\u00e9.s19"}));

struct TWrapCase {
    const char *Text;
    int Width;
    const char *Wrapped;
};

class WrappedMessage : public ::testing::TestWithParam<TWrapCase> {};

TEST_P(WrappedMessage, BreaksAtBlanksAndKeepsEveryOtherCharacter)
{
    EXPECT_EQ(WrapToWidth(QString::fromLatin1(GetParam().Text), GetParam().Width),
              QString::fromLatin1(GetParam().Wrapped));
}

INSTANTIATE_TEST_SUITE_P(Table, WrappedMessage, ::testing::Values(
    TWrapCase{"short enough", 80, "short enough"},
    TWrapCase{"Do you want to continue?", 20, "Do you want to\ncontinue?"},
    // Two blanks between sentences: one goes at the break, the other stays at the line's end.
    TWrapCase{"UPDATED.  Do you want to go on now", 20, "UPDATED.  Do you\nwant to go on now"},
    TWrapCase{"a Supercalifragilisticexpialidocious word", 20, "a\nSupercalifragilisticexpialidocious\nword"},
    TWrapCase{"first line\nsecond line that is long", 20, "first line\nsecond line that is\nlong"},
    TWrapCase{"narrow", 5, "narrow"}));

TEST(RetryCommand, NamesTheFailedPortsWithTheOptionsThatWereGiven)
{
    EXPECT_EQ(RetryCommand(QStringLiteral("12"), QStringLiteral("/srv/fw/T42 v2.s19"),
                           {QStringLiteral("ttyUSB1"), QStringLiteral("ttyUSB3")},
                           {QStringLiteral("--yes"), QStringLiteral("--restart"), QStringLiteral("no")}),
#ifdef Q_OS_WIN
              QStringLiteral("varnel-cli update --unit 12 --file \"/srv/fw/T42 v2.s19\" --port ttyUSB1 --port ttyUSB3 --yes "
                             "--restart no"));
#else
              QStringLiteral("varnel-cli update --unit 12 --file '/srv/fw/T42 v2.s19' --port ttyUSB1 --port ttyUSB3 --yes "
                             "--restart no"));
#endif
}

} // namespace
