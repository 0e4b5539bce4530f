#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The commands of varnel-cli.
enum class TCliCommand { None, Ports, Units, Check, Update, Report, Job };

// The command line as read: which command, and its options.
struct TCliOptions {
    TCliCommand Command = TCliCommand::None;
    bool Help = false;        // --help (for the command, or overall without one)
    bool Version = false;     // --version
    bool Json = false;        // --json
    bool BrandChoice = false; // --brand-choice: the first brand's unit types offered too
    bool Csv = false;         // report --csv
    bool Yes = false;         // update --yes: the Begin and Stop questions answered Yes
    std::optional<bool> Restart; // update --restart yes|no
    QString Unit;             // --unit
    QString File;             // check FILE, update --file, report FILE
    QStringList Ports;        // update --port (repeatable) and --ports A,B,...; in the order given
    QString ReportPath;       // update --report
    QString JobPath;          // update --job
    QStringList Bays;         // update --bay NAME, job make --bay NAME=PORT (repeatable), in order
    QString JobAction;        // job ACTION: "make"
    QString Output;           // job make -o JOB
};

// The result of reading a command line: the options, or the one-line reason it is not usable
// (exit code 2).
struct TCliParse {
    bool Ok = false;
    TCliOptions Options;
    QString Error;
};

// Reads the arguments after the program's name. Options take their value as the next argument
// or after "=" (--unit=13); "--" ends the options. An option the command does not know, a value
// missing, an option given twice that takes one value, a port named twice or a command without
// what it needs gives the reason. --help and --version need nothing else.
TCliParse ParseCommandLine(const QStringList &arguments);

// The command's name as typed ("update"), empty for None.
QString CommandName(TCliCommand command);
