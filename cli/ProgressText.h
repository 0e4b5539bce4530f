#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "cli/EventJson.h"

// The texts of the human output: progress bars and rows, the summary table, the retry command.

// A duration as "m:ss", or "h:mm:ss" from an hour up; negative counts as 0.
QString FormatDuration(qint64 ms);

// Where one port's transfer stands.
struct TProgressFigures {
    qint64 Sent = 0;
    qint64 Total = 0;
    std::optional<double> LinesPerSecond; // unknown until lines have been acknowledged
};

// Percent done, 0..100 (0 while the total is unknown).
int PercentDone(qint64 sent, qint64 total);

// Milliseconds left at the rate so far; empty while the rate is unknown.
std::optional<qint64> TimeLeftMs(const TProgressFigures &figures);

// The one port's bar: "[#####-----]  120/258 lines  46 %  35.2 lines/s  0:04 left", cut to
// width columns.
QString ProgressBarLine(const TProgressFigures &figures, int width);

// One row of several ports' progress: port, adapter serial number (where known), lines sent,
// percent, status text; cut to width columns. portWidth pads the port column.
QString ProgressRow(const QString &port, const QString &serialNumber, const TProgressFigures &figures,
                    const QString &status, int portWidth, int width);

// A message for a terminal width columns wide: broken at blanks so that no word is cut by the
// terminal's own wrapping; the blank at a break is dropped, every other character kept. A word
// longer than a line stands on a line of its own. Width below 20 counts as 20.
QString WrapToWidth(const QString &text, int width);

// The summary table: a header row and one row per port (port, unit, outcome, time).
QStringList SummaryTable(const QList<TPortResult> &results);

// A name from outside (a file or port name, an adapter's description) as human output shows it:
// every control character written as an escape ("\t", "\n", "\r", else "\xNN"), so that a name
// cannot move the cursor, clear the screen or fake a line of its own. Everything else is kept.
QString PrintableName(const QString &name);

// An argument as the technician's shell takes it back. POSIX shells: unchanged when it holds
// only safe characters, else in single quotes (a quote inside written as '\'').
QString PosixShellQuote(const QString &argument);
// cmd.exe and PowerShell alike: unchanged when safe, else in double quotes. Neither shell
// expands anything inside them but a variable ("%NAME%", "$name"), so an argument holding one
// of those characters, a double quote or a backtick cannot be written for both and is left in
// double quotes with that character as it is (file and port names never hold a double quote on
// Windows).
QString WindowsShellQuote(const QString &argument);
// The quoting of the platform the program runs on.
QString ShellQuote(const QString &argument);

// The command that runs the update again on the given ports:
// varnel-cli update --unit U --file F --port A --port B [other options].
QString RetryCommand(const QString &unit, const QString &file, const QStringList &ports, const QStringList &otherOptions);
