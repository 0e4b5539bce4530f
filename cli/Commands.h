#pragma once

#include <QStringList>
#include <QTextStream>

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

// Writes "varnel-cli: text" as one line to err and returns code.
int Fail(QTextStream &err, int code, const QString &text);
