#pragma once

#include <QStringList>
#include <QTextStream>
#include <functional>

#include "cli/CliOptions.h"

// Runs varnel-cli with the arguments after the program's name and returns its exit code.
// Output goes to out, errors (one line each, "varnel-cli: ...") to err.
int RunCli(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The commands, with their options read.
int RunPortsCommand(const TCliOptions &options, QTextStream &out, QTextStream &err);
int RunUnitsCommand(const TCliOptions &options, QTextStream &out, QTextStream &err);
int RunCheckCommand(const TCliOptions &options, QTextStream &out, QTextStream &err);
int RunUpdateCommand(const TCliOptions &options, QTextStream &out, QTextStream &err);
int RunReportCommand(const TCliOptions &options, QTextStream &out, QTextStream &err);
// update --job JOB [--bay NAME ...] and job make (cli/JobCommand.cpp).
int RunJobUpdateCommand(const TCliOptions &options, QTextStream &out, QTextStream &err);
int RunJobCommand(const TCliOptions &options, QTextStream &out, QTextStream &err);

// What a job adds to an update: the bay of each port (by position, for the records), the copy
// of the file that matched the job's hash (sent in place of the file), and the command that
// retries the failed ports.
struct TUpdateExtras {
    QStringList Bays;
    QString SendPath;
    std::function<QString(const QStringList &failedPorts)> Retry;
};
int RunUpdate(const TCliOptions &options, const TUpdateExtras &extras, QTextStream &out, QTextStream &err);

// Writes "varnel-cli: text" as one line to err and returns code.
int Fail(QTextStream &err, int code, const QString &text);
