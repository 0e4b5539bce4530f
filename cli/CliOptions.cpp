#include "cli/CliOptions.h"


namespace {

TCliCommand CommandFromName(const QString &name)
{
    if (name == QLatin1String("ports")) return TCliCommand::Ports;
    if (name == QLatin1String("units")) return TCliCommand::Units;
    if (name == QLatin1String("check")) return TCliCommand::Check;
    if (name == QLatin1String("update")) return TCliCommand::Update;
    if (name == QLatin1String("report")) return TCliCommand::Report;
    if (name == QLatin1String("job")) return TCliCommand::Job;
    return TCliCommand::None;
}

// The options each command takes (--help and --version are taken by all).
QStringList OptionsOf(TCliCommand command)
{
    switch (command) {
    case TCliCommand::Ports: return {QStringLiteral("--json")};
    case TCliCommand::Units: return {QStringLiteral("--json"), QStringLiteral("--brand-choice")};
    case TCliCommand::Check:
        return {QStringLiteral("--unit"), QStringLiteral("--json"), QStringLiteral("--brand-choice")};
    case TCliCommand::Update:
        return {QStringLiteral("--unit"), QStringLiteral("--port"), QStringLiteral("--ports"),
                QStringLiteral("--file"), QStringLiteral("--yes"), QStringLiteral("--restart"),
                QStringLiteral("--json"), QStringLiteral("--report"), QStringLiteral("--brand-choice"),
                QStringLiteral("--job"), QStringLiteral("--bay")};
    case TCliCommand::Report: return {QStringLiteral("--csv")};
    case TCliCommand::Job:
        return {QStringLiteral("--unit"), QStringLiteral("--file"), QStringLiteral("--restart"), QStringLiteral("--report"),
                QStringLiteral("--bay"), QStringLiteral("-o"), QStringLiteral("--brand-choice")};
    case TCliCommand::None: break;
    }
    return {};
}

bool TakesValue(const QString &option)
{
    static const QStringList valued = {QStringLiteral("--unit"), QStringLiteral("--port"), QStringLiteral("--ports"),
                                       QStringLiteral("--file"), QStringLiteral("--restart"),
                                       QStringLiteral("--report"), QStringLiteral("--job"), QStringLiteral("--bay"),
                                       QStringLiteral("-o")};
    return valued.contains(option);
}

TCliParse Fail(const QString &error)
{
    TCliParse parse;
    parse.Error = error;
    return parse;
}

} // namespace

QString CommandName(TCliCommand command)
{
    switch (command) {
    case TCliCommand::Ports: return QStringLiteral("ports");
    case TCliCommand::Units: return QStringLiteral("units");
    case TCliCommand::Check: return QStringLiteral("check");
    case TCliCommand::Update: return QStringLiteral("update");
    case TCliCommand::Report: return QStringLiteral("report");
    case TCliCommand::Job: return QStringLiteral("job");
    case TCliCommand::None: break;
    }
    return {};
}

TCliParse ParseCommandLine(const QStringList &arguments)
{
    TCliOptions options;
    QStringList positional;
    QStringList seen;          // options taking one value, given so far
    QStringList unknownBefore; // options met before the command was known
    bool optionsEnded = false;
    QString helpTopic;         // "varnel-cli help update"

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            if (options.Command == TCliCommand::None && positional.isEmpty() && !optionsEnded) {
                if (argument == QLatin1String("help")) {
                    options.Help = true;
                    if (i + 1 < arguments.size())
                        helpTopic = arguments[++i];
                    continue;
                }
                const TCliCommand command = CommandFromName(argument);
                if (command == TCliCommand::None)
                    return Fail(QStringLiteral("unknown command \"%1\" (ports, units, check, update, report or job; "
                                               "see varnel-cli --help)").arg(argument));
                options.Command = command;
                continue;
            }
            positional << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }

        QString name = argument;
        QString value;
        bool inlineValue = false;
        const qsizetype eq = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && eq > 2) {
            name = argument.left(eq);
            value = argument.mid(eq + 1);
            inlineValue = true;
        }

        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            options.Help = true;
            continue;
        }
        if (name == QLatin1String("--version")) {
            options.Version = true;
            continue;
        }
        if (options.Command == TCliCommand::None) {
            unknownBefore << name;
            continue;
        }
        if (!OptionsOf(options.Command).contains(name))
            return Fail(QStringLiteral("unknown option %1 for %2 (see varnel-cli %2 --help)")
                            .arg(name, CommandName(options.Command)));
        if (TakesValue(name)) {
            if (!inlineValue) {
                if (i + 1 >= arguments.size())
                    return Fail(QStringLiteral("%1 needs a value").arg(name));
                value = arguments[++i];
            }
        } else if (inlineValue) {
            return Fail(QStringLiteral("%1 takes no value").arg(name));
        }

        if (name != QLatin1String("--port") && name != QLatin1String("--ports") && name != QLatin1String("--bay")
            && TakesValue(name)) {
            if (seen.contains(name))
                return Fail(QStringLiteral("%1 is given twice").arg(name));
            seen << name;
        }

        if (name == QLatin1String("--json")) {
            options.Json = true;
        } else if (name == QLatin1String("--brand-choice")) {
            options.BrandChoice = true;
        } else if (name == QLatin1String("--csv")) {
            options.Csv = true;
        } else if (name == QLatin1String("--yes")) {
            options.Yes = true;
        } else if (name == QLatin1String("--unit")) {
            if (value.trimmed().isEmpty())
                return Fail(QStringLiteral("--unit needs a unit: a code, a short name or a full name"));
            options.Unit = value.trimmed();
        } else if (name == QLatin1String("--file")) {
            if (value.isEmpty())
                return Fail(QStringLiteral("--file needs a path"));
            options.File = value;
        } else if (name == QLatin1String("--report")) {
            if (value.isEmpty())
                return Fail(QStringLiteral("--report needs a path"));
            options.ReportPath = value;
        } else if (name == QLatin1String("--restart")) {
            const QString answer = value.toLower();
            if (answer == QLatin1String("yes"))
                options.Restart = true;
            else if (answer == QLatin1String("no"))
                options.Restart = false;
            else
                return Fail(QStringLiteral("--restart takes yes or no, not \"%1\"").arg(value));
        } else if (name == QLatin1String("--job")) {
            if (value.isEmpty())
                return Fail(QStringLiteral("--job needs a path"));
            options.JobPath = value;
        } else if (name == QLatin1String("-o")) {
            if (value.isEmpty())
                return Fail(QStringLiteral("-o needs a path"));
            options.Output = value;
        } else if (name == QLatin1String("--bay")) {
            const QString bay = value.trimmed();
            const bool pair = options.Command == TCliCommand::Job;
            const qsizetype eq = bay.indexOf(QLatin1Char('='));
            if (bay.isEmpty() || (pair && (eq <= 0 || bay.mid(eq + 1).trimmed().isEmpty())))
                return Fail(pair ? QStringLiteral("--bay takes NAME=PORT, not \"%1\"").arg(value)
                                 : QStringLiteral("--bay needs a bay's name"));
            options.Bays << bay;
        } else if (name == QLatin1String("--port") || name == QLatin1String("--ports")) {
            const QStringList names = name == QLatin1String("--ports") ? value.split(QLatin1Char(',')) : QStringList{value};
            for (const QString &raw : names) {
                const QString port = raw.trimmed();
                if (port.isEmpty())
                    return Fail(QStringLiteral("%1 needs a port name, not \"%2\"").arg(name, value));
                if (options.Ports.contains(port))
                    return Fail(QStringLiteral("port %1 is named twice").arg(port));
                options.Ports << port;
            }
        }
    }

    if (options.Help && options.Command == TCliCommand::None && !helpTopic.isEmpty()) {
        options.Command = CommandFromName(helpTopic);
        if (options.Command == TCliCommand::None)
            return Fail(QStringLiteral("unknown command \"%1\" (ports, units, check, update, report or job)").arg(helpTopic));
    }
    if (options.Help || options.Version) {
        TCliParse parse;
        parse.Ok = true;
        parse.Options = options;
        return parse;
    }
    if (!unknownBefore.isEmpty())
        return Fail(QStringLiteral("%1 before the command (ports, units, check, update, report or job)").arg(unknownBefore.first()));
    if (options.Command == TCliCommand::None)
        return Fail(QStringLiteral("no command given (ports, units, check, update, report or job; see varnel-cli --help)"));

    // What each command needs besides its options.
    switch (options.Command) {
    case TCliCommand::Ports:
    case TCliCommand::Units:
        if (!positional.isEmpty())
            return Fail(QStringLiteral("%1 takes no argument, not \"%2\"").arg(CommandName(options.Command), positional.first()));
        break;
    case TCliCommand::Check:
    case TCliCommand::Report:
        if (positional.isEmpty())
            return Fail(QStringLiteral("%1 needs a FILE").arg(CommandName(options.Command)));
        if (positional.size() > 1)
            return Fail(QStringLiteral("%1 takes one FILE, not also \"%2\"").arg(CommandName(options.Command), positional.at(1)));
        if (positional.first().isEmpty())
            return Fail(QStringLiteral("%1 needs a FILE, not an empty name").arg(CommandName(options.Command)));
        options.File = positional.first();
        if (options.Command == TCliCommand::Check && options.Unit.isEmpty())
            return Fail(QStringLiteral("check needs --unit UNIT"));
        break;
    case TCliCommand::Update:
        if (!positional.isEmpty())
            return Fail(QStringLiteral("update takes no argument \"%1\" (the file goes with --file)").arg(positional.first()));
        if (!options.JobPath.isEmpty()) {
            // The job fixes unit, file, ports and report; only the answers may come from here.
            const QString fixed = !options.Unit.isEmpty() ? QStringLiteral("--unit")
                                  : !options.File.isEmpty() ? QStringLiteral("--file")
                                  : !options.Ports.isEmpty() ? QStringLiteral("--port")
                                  : !options.ReportPath.isEmpty() ? QStringLiteral("--report") : QString();
            if (!fixed.isEmpty())
                return Fail(QStringLiteral("update --job takes no %1: the job names it").arg(fixed));
            break;
        }
        if (!options.Bays.isEmpty())
            return Fail(QStringLiteral("--bay needs --job JOB"));
        if (options.Unit.isEmpty())
            return Fail(QStringLiteral("update needs --unit UNIT"));
        if (options.Ports.isEmpty())
            return Fail(QStringLiteral("update needs --port PORT (or --ports A,B,...)"));
        if (options.File.isEmpty())
            return Fail(QStringLiteral("update needs --file FILE"));
        break;
    case TCliCommand::Job:
        if (positional.isEmpty())
            return Fail(QStringLiteral("job needs an action: job make --unit UNIT --file FILE --bay NAME=PORT ... -o JOB"));
        if (positional.first() != QLatin1String("make"))
            return Fail(QStringLiteral("unknown job action \"%1\" (make)").arg(positional.first()));
        if (positional.size() > 1)
            return Fail(QStringLiteral("job make takes no argument \"%1\"").arg(positional.at(1)));
        options.JobAction = positional.first();
        if (options.Unit.isEmpty())
            return Fail(QStringLiteral("job make needs --unit UNIT"));
        if (options.File.isEmpty())
            return Fail(QStringLiteral("job make needs --file FILE"));
        if (options.Bays.isEmpty())
            return Fail(QStringLiteral("job make needs --bay NAME=PORT (one for each bay)"));
        if (options.Output.isEmpty())
            return Fail(QStringLiteral("job make needs -o JOB (the job file to write)"));
        break;
    case TCliCommand::None:
        break;
    }

    TCliParse parse;
    parse.Ok = true;
    parse.Options = options;
    return parse;
}
