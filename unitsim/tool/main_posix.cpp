// varnel-unitsim: a simulated unit behind a pseudo-terminal, for running the updater against
// something that answers like a relay, a resistor monitor or a communications module.

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "unitsim/PtyUnit.h"
#include "unitsim/UnitFamilies.h"

#include <csignal>
#include <ctime>

namespace {

const char *const HelpText = R"(Usage: varnel-unitsim --family FAMILY [options]

Plays a unit at the far end of a serial line. Opens a pseudo-terminal, prints the
path of its slave side (the "serial port" to open, e.g. /dev/pts/3) on the first
line of standard output, and answers the updater there until it is stopped with
Ctrl+C (SIGINT) or SIGTERM, or, with --once, until one update has ended. On exit
it prints a summary of what the unit received and removes its link.

Options:
  --family FAMILY     The unit to play (required):
                        update-mode  relays with an update mode ("P", "p", S-record
                                     lines answered "." and "!", "Q", "X")
                        monitor      resistor monitor in bootloader mode (0xF0 and a
                                     513-byte block, ".", data-byte commands echoed, "!")
                        module       communications module in bootloader mode (0xF0
                                     and a 1024-byte block, ".", records ended by ":"
                                     answered ".", "!")
                        any          whichever of the three the updater talks to
  --link PATH         Also make PATH (e.g. /dev/ttyV0) a symbolic link to the slave,
                      so the updater lists the port under that name. Needs write
                      permission in the folder. An existing file is never replaced,
                      only a dangling link left by an earlier run.
  --fault RULE        Answer differently at one exchange (repeatable; the first rule
                      that applies wins). See "Fault rules" below.
  --erase-time MS     Milliseconds from the erase command "p" to its answer
                      (default 0; the updater waits up to 20000).
  --answer-delay MS   Milliseconds before every other answer (default 0; the
                      updater waits up to 5000).
  --pace BAUD         Let every byte take its time on the wire at BAUD bits per
                      second (10 bits a byte), both ways (default: no pacing).
  --adapter-latency MS
                      Play a USB serial adapter's latency timer: every byte to the
                      updater is held MS milliseconds (1 to 255), counted from the
                      first byte of a batch, after its time on the wire (default:
                      no adapter; FTDI's adapters hold 16 by default, 1 in their
                      low-latency mode).
  --cut-after N       Pull the cable once the updater has sent N bytes: the unit
                      takes no byte beyond them and closes its end of the line, so
                      the updater's reads and writes fail as on a line that is gone.
  --cut-delay MS      Milliseconds from the N-th byte to the cut (default 0).
  --replug MS         After a cut (by --cut-after or a "hangup" fault), plug in a
                      new line MS milliseconds later: a new pseudo-terminal, its
                      path printed on a line of its own, the --link moved to it.
                      Without it the unit stays unplugged until stopped.
  --record PATH       On exit, write what the unit took into its memory to PATH, for
                      comparing it with the update file: an update-mode unit's
                      accepted S-record lines, each ended by CR LF; a monitor's
                      programmed bytes, one "AAAA DD" line (hex) per address in
                      ascending order; a module's records as received, each ended
                      by ":".
  --once              Exit after one update has ended: the end acknowledged by a
                      monitor or module; for an update-mode unit the restart "X",
                      the quit "Q", or 10 s after its "!".
  -h, --help          Show this text.

Fault rules: STAGE[@K]=ANSWER[*N]
  STAGE   contact  the answer to "P" (update mode) or to "." (bootloader units)
          erase    the answer to "p" (update mode; comes after --erase-time)
          line     the answer to an S-record line ended by CR LF (update mode)
          byte     the answer to a data-byte command (resistor monitor)
          record   the answer to a record ended by ":" (communications module)
          end      the answer to "!" (resistor monitor, communications module)
  @K      only the K-th item of the stage (from 1). A line, byte or record keeps
          its number until the unit accepts it, so its repeats match the same
          rule. Without @K the rule applies to every item.
  ANSWER  one character (C, E, F, R, V, S, Q, t, s, ...), a byte as 0xHH,
          "silent" for no answer at all, or "hangup" to pull the cable instead
          of answering. A character or 0xHH may end in "+hangup": answer, then
          pull the cable.
  *N      apply the rule N times, then answer normally again. Without *N the rule
          applies every time.

Examples:
  varnel-unitsim --family update-mode --link /dev/ttyV0
  varnel-unitsim --family update-mode --fault contact=Q*2 --erase-time 8000
  varnel-unitsim --family update-mode --fault line@5=C*3      (line 5 is taken at the 4th try)
  varnel-unitsim --family update-mode --fault erase=silent    (the erase never finishes)
  varnel-unitsim --family monitor --fault byte@3=0x74         (answers "t" to the 3rd byte)
  varnel-unitsim --family module --fault record@2=E --once
  varnel-unitsim --family any --fault end=silent --pace 9600
  varnel-unitsim --family update-mode --link /dev/ttyV0 --fault line@7=.+hangup --replug 2000
  varnel-unitsim --family monitor --cut-after 600 --cut-delay 1500 --replug 0
)";

struct TOptions {
    QString Family;
    QString Link;
    QStringList Faults;
    qint64 EraseTimeMs = 0;
    qint64 AnswerDelayMs = 0;
    int PaceBaud = 0;
    qint64 AdapterLatencyMs = 0;
    qint64 CutAfter = -1;
    qint64 CutDelayMs = 0;
    qint64 ReplugMs = -1;
    QString Record;
    bool Once = false;
    bool Help = false;
};

void PrintError(const QString &text)
{
    std::fprintf(stderr, "varnel-unitsim: %s\n", text.toLocal8Bit().constData());
}

// Reads the command line; false with the reason in error on a usage fault.
bool ParseArguments(const QStringList &args, TOptions &options, QString &error)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString name = args[i];
        QString value;
        bool hasValue = false;
        const qsizetype eq = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            value = args[++i];
            return true;
        };
        const auto takeNumber = [&](qint64 &number, qint64 least) -> bool {
            if (!takeValue())
                return false;
            bool ok = false;
            number = value.toLongLong(&ok);
            if (!ok || number < least) {
                error = QStringLiteral("%1 needs a whole number from %2 up, not \"%3\"").arg(name).arg(least).arg(value);
                return false;
            }
            return true;
        };

        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            options.Help = true;
        } else if (name == QLatin1String("--once")) {
            options.Once = true;
        } else if (name == QLatin1String("--family")) {
            if (!takeValue())
                return false;
            static const QStringList families = {QStringLiteral("update-mode"), QStringLiteral("monitor"),
                                                 QStringLiteral("module"), QStringLiteral("any")};
            if (!families.contains(value)) {
                error = QStringLiteral("unknown family \"%1\" (update-mode, monitor, module or any)").arg(value);
                return false;
            }
            options.Family = value;
        } else if (name == QLatin1String("--link")) {
            if (!takeValue())
                return false;
            if (value.isEmpty()) {
                error = QStringLiteral("--link needs a path");
                return false;
            }
            options.Link = value;
        } else if (name == QLatin1String("--record")) {
            if (!takeValue())
                return false;
            options.Record = value;
        } else if (name == QLatin1String("--fault")) {
            if (!takeValue())
                return false;
            options.Faults << value;
        } else if (name == QLatin1String("--erase-time")) {
            if (!takeNumber(options.EraseTimeMs, 0))
                return false;
        } else if (name == QLatin1String("--answer-delay")) {
            if (!takeNumber(options.AnswerDelayMs, 0))
                return false;
        } else if (name == QLatin1String("--cut-after")) {
            if (!takeNumber(options.CutAfter, 0))
                return false;
        } else if (name == QLatin1String("--cut-delay")) {
            if (!takeNumber(options.CutDelayMs, 0))
                return false;
        } else if (name == QLatin1String("--replug")) {
            if (!takeNumber(options.ReplugMs, 0))
                return false;
        } else if (name == QLatin1String("--adapter-latency")) {
            if (!takeNumber(options.AdapterLatencyMs, 1))
                return false;
            if (options.AdapterLatencyMs > 255) {
                error = QStringLiteral("--adapter-latency %1 is beyond any adapter's timer (1 to 255 ms)")
                            .arg(options.AdapterLatencyMs);
                return false;
            }
        } else if (name == QLatin1String("--pace")) {
            qint64 baud = 0;
            if (!takeNumber(baud, 1))
                return false;
            if (baud > 10'000'000) {
                error = QStringLiteral("--pace %1 is beyond any serial line").arg(baud);
                return false;
            }
            options.PaceBaud = int(baud);
        } else {
            error = QStringLiteral("unknown option \"%1\"").arg(args[i]);
            return false;
        }
    }
    if (!options.Help && options.Family.isEmpty()) {
        error = QStringLiteral("--family is required");
        return false;
    }
    return true;
}

// The unit to play, with the questions the main loop asks it.
struct TPlayedUnit {
    std::unique_ptr<TUnitModel> Model;
    std::function<bool()> UpdateEnded;
    std::function<bool()> Finished;
    std::function<bool()> AwaitsRestart = [] { return false; }; // "X" may follow the end
};

TPlayedUnit MakeUnit(const QString &family, const TFaultScript &script)
{
    TPlayedUnit unit;
    if (family == QLatin1String("update-mode")) {
        auto model = std::make_unique<TUpdateModeUnit>(script);
        auto *m = model.get();
        unit.UpdateEnded = [m] { return m->UpdateEnded(); };
        unit.Finished = [m] { return m->Finished; };
        unit.AwaitsRestart = [] { return true; };
        unit.Model = std::move(model);
    } else if (family == QLatin1String("monitor")) {
        auto model = std::make_unique<TMonitorUnit>(script);
        auto *m = model.get();
        unit.UpdateEnded = [m] { return m->UpdateEnded(); };
        unit.Finished = [m] { return m->Finished; };
        unit.Model = std::move(model);
    } else if (family == QLatin1String("module")) {
        auto model = std::make_unique<TModuleUnit>(script);
        auto *m = model.get();
        unit.UpdateEnded = [m] { return m->UpdateEnded(); };
        unit.Finished = [m] { return m->Finished; };
        unit.Model = std::move(model);
    } else {
        auto model = std::make_unique<TAnyUnit>(script);
        auto *m = model.get();
        unit.UpdateEnded = [m] { return m->UpdateEnded(); };
        unit.Finished = [m] { return m->Finished(); };
        unit.AwaitsRestart = [m] { return m->Family() == TUnitFamily::UpdateMode; };
        unit.Model = std::move(model);
    }
    return unit;
}

// What the unit took into its memory (see --record).
QByteArray UnitRecord(const TUnitModel &model)
{
    if (const auto *any = dynamic_cast<const TAnyUnit *>(&model)) {
        switch (any->Family()) {
        case TUnitFamily::UpdateMode: return UnitRecord(any->UpdateMode);
        case TUnitFamily::Monitor: return UnitRecord(any->Monitor);
        case TUnitFamily::Module: return UnitRecord(any->Module);
        case TUnitFamily::None: return {};
        }
    }
    QByteArray record;
    if (const auto *relay = dynamic_cast<const TUpdateModeUnit *>(&model)) {
        for (const QByteArray &line : relay->Accepted)
            record += line + "\r\n";
    } else if (const auto *monitor = dynamic_cast<const TMonitorUnit *>(&model)) {
        for (auto it = monitor->Programmed.cbegin(); it != monitor->Programmed.cend(); ++it)
            record += QStringLiteral("%1 %2\n").arg(it.key(), 4, 16, QLatin1Char('0')).arg(it.value(), 2, 16, QLatin1Char('0')).toUpper().toLatin1();
    } else if (const auto *module = dynamic_cast<const TModuleUnit *>(&model)) {
        for (const QByteArray &text : module->Records)
            record += text + ":";
    }
    return record;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TOptions options;
    QString error;
    if (!ParseArguments(app.arguments(), options, error)) {
        PrintError(error);
        std::fprintf(stderr, "Try 'varnel-unitsim --help'.\n");
        return 2;
    }
    if (options.Help) {
        std::fputs(HelpText, stdout);
        return 0;
    }

    TFaultScript script;
    script.EraseTimeMs = options.EraseTimeMs;
    script.AnswerDelayMs = options.AnswerDelayMs;
    for (const QString &text : options.Faults) {
        const auto rule = TFaultScript::ParseRule(text, &error);
        if (!rule) {
            PrintError(QStringLiteral("bad fault rule \"%1\": %2").arg(text, error));
            return 2;
        }
        script.Rules.push_back(*rule);
    }

    // The signals that end the run are taken by sigtimedwait below, never by a handler; block
    // them before the unit's thread starts so that it inherits the mask.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    TPlayedUnit unit = MakeUnit(options.Family, script);
    TPtyUnit pty(*unit.Model);
    pty.PaceBaud = options.PaceBaud;
    pty.AdapterLatencyMs = int(options.AdapterLatencyMs);
    pty.CutAfterHostBytes = options.CutAfter;
    pty.CutDelayMs = options.CutDelayMs;
    if (!pty.Start(&error)) {
        PrintError(error);
        return 1;
    }
    if (!options.Link.isEmpty() && !pty.MakeLink(options.Link, &error)) {
        pty.Stop();
        PrintError(error);
        return 1;
    }
    std::printf("%s\n", pty.SlavePath().toLocal8Bit().constData());
    std::fflush(stdout);
    const QString link = options.Link.isEmpty() ? QString() : QStringLiteral(" (link %1)").arg(options.Link);
    std::fprintf(stderr, "varnel-unitsim: unit family %s on %s%s; stop with Ctrl+C\n",
                 options.Family.toLocal8Bit().constData(), pty.SlavePath().toLocal8Bit().constData(),
                 link.toLocal8Bit().constData());

    using namespace std::chrono;
    bool waitingForRestart = false;
    steady_clock::time_point finishedAt = steady_clock::now();
    int signal = 0;
    int cutsSeen = 0;
    steady_clock::time_point cutAt = steady_clock::now();
    for (;;) {
        const timespec tick{0, 100'000'000};
        const int got = sigtimedwait(&endSignals, nullptr, &tick);
        if (got > 0) {
            signal = got;
            break;
        }
        if (pty.LineCut()) {
            if (pty.Cuts() != cutsSeen) {
                cutsSeen = pty.Cuts();
                cutAt = steady_clock::now();
                std::fprintf(stderr, "varnel-unitsim: cable pulled\n");
            }
            if (options.ReplugMs >= 0 && steady_clock::now() - cutAt >= milliseconds(options.ReplugMs)) {
                // A new line takes no cut of its own: one cut per run of --cut-after.
                pty.CutAfterHostBytes = -1;
                if (!pty.Reconnect(&error)) {
                    PrintError(error);
                    break;
                }
                std::printf("%s\n", pty.SlavePath().toLocal8Bit().constData());
                std::fflush(stdout);
                std::fprintf(stderr, "varnel-unitsim: plugged in again on %s\n", pty.SlavePath().toLocal8Bit().constData());
            }
        }
        if (!options.Once)
            continue;
        bool ended = false;
        bool finished = false;
        bool awaitsRestart = false;
        pty.WithModel([&](TUnitModel &) {
            ended = unit.UpdateEnded();
            finished = unit.Finished();
            awaitsRestart = unit.AwaitsRestart();
        });
        if (ended)
            break;
        if (!finished || !awaitsRestart) {
            waitingForRestart = false;
            if (finished)
                break;
            continue;
        }
        // An update-mode unit that answered "!" waits a while for the restart command.
        if (!waitingForRestart) {
            waitingForRestart = true;
            finishedAt = steady_clock::now();
        } else if (steady_clock::now() - finishedAt >= seconds(10)) {
            break;
        }
    }
    pty.Stop();

    if (!options.Record.isEmpty()) {
        QFile record(options.Record);
        if (!record.open(QIODevice::WriteOnly | QIODevice::Truncate) || record.write(UnitRecord(*unit.Model)) < 0)
            PrintError(QStringLiteral("cannot write the record to %1: %2").arg(options.Record, record.errorString()));
    }
    std::printf("%s\n", unit.Model->Summary().toLocal8Bit().constData());
    std::printf("bytes from the host: %lld, to the host: %lld\n", static_cast<long long>(pty.BytesFromHost()),
                static_cast<long long>(pty.BytesToHost()));
    if (signal)
        std::printf("stopped by %s\n", signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP");
    std::fflush(stdout);
    return 0;
}
