#include "cli/HelpText.h"

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

namespace {

const char *const ExitCodes = R"TXT(Exit codes:
  0  completed: the unit's update completed (several ports: every unit completed);
     check: the file passed the format check
  1  unexpected error
  2  usage: unknown option, missing argument, no terminal for a question, a port named
     twice (also by two names that lead to one line)
  3  unknown unit, or a unit type this build does not offer (the error names the offered ones)
  4  file problem: the update file is missing, unreadable or not valid (check rejects it);
     a report file that cannot be written or read
  5  port not available: it does not exist or is busy
  6  stopped by the technician (Ctrl-C answered Yes, the Begin question answered No)
  7  the unit rejected the update (an error letter or a wrong byte)
  8  no answer from the unit in time
  9  link failed: a send failed or the line went away (cable pulled)
For several ports the code is that of the worst outcome, in this order, worst first:
  unexpected (1), link failed (9), unit rejected (7), no answer (8),
  port not available (5), file problem (4), stopped (6), completed (0).
)TXT";

const char *const Overall = R"TXT(Usage: varnel-cli COMMAND [options]

Updates the firmware of protection relays, resistor monitors and communications modules over
serial ports from the command line, one port or many at once, with the same update flows as the
Varnel window.

Commands:
  ports [--json]             The serial ports as the window's port page lists them, busy ones
                             marked " (busy)", with the adapter's description, serial number
                             and by-id link where known.
  units [--brand-choice] [--json]
                             The unit types this build offers: code, full and short name, file
                             prefixes, record variant (S1/S2/S3), flow (update-mode, monitor,
                             module).
  check FILE --unit UNIT [--brand-choice] [--json]
                             The file-name rule and the format check of an update file for a
                             unit type, and a summary of the file (records by type, address
                             range, data bytes, wrong checksums, SHA-256).
  update --unit UNIT --port PORT [--port PORT ...] --file FILE [options]
                             Updates the unit on each port, all ports at once.
  report FILE [--csv]        Prints a report written by update --report.
  update --job JOB [--bay NAME ...] [--yes] [--json]
                             Runs a station's job: its unit, file (checked against the job's
                             SHA-256), restart answer and report, on its bays' ports.
  job make --unit UNIT --file FILE --bay NAME=PORT [--bay ...] -o JOB
                             Writes a job, with the file's SHA-256.

  varnel-cli COMMAND --help  Help on one command.
  varnel-cli --version       The version.

UNIT is a code ("13"), a short name ("TVR-4200", any letter case) or a full name
("TVR-4200 Motor Protection Relay").

)TXT";

const char *const Ports = R"TXT(Usage: varnel-cli ports [--json]

Lists every serial port as the window's port page does, each opened and closed again to see
whether it can be had. A port that cannot be opened reads " (busy)", with the reason: no
permission (join the dialout group) or held by another program (named where known). Each line
names the adapter's description, manufacturer, serial number, USB ids and by-id link where the
system tells them.

Options:
  --json   A JSON array of objects {name, busy, reason ("free", "no-permission", "held"),
           description, manufacturer, serialNumber, vendorId, productId, byIdLink, holder}.

)TXT";

const char *const Units = R"TXT(Usage: varnel-cli units [--brand-choice] [--json]

Lists the unit types this build offers: code, full name, short name, file-name prefixes, record
variant (S1 16-bit, S2 24-bit, S3 32-bit addresses) and update flow (update-mode, monitor,
module). The shipped build offers the second brand's four types.

Options:
  --brand-choice  Also the first brand's six types, as a build with the brand choice offers
                  them (always so in a build made with VARNEL_OFFER_BRAND_CHOICE=ON).
  --json          A JSON array of objects {code, brand, fullName, shortName, prefixes,
                  recordVariant, flow}.

)TXT";

const char *const Check = R"TXT(Usage: varnel-cli check FILE --unit UNIT [--brand-choice] [--json]

Checks an update file for a unit type as the window does before an update: the file-name rule
(the warning the window shows when the name does not fit) and the format check for the unit's
record variant (its status texts and boxes are printed). Then, for information only, a summary:
lines, records by type, data bytes, address range, records with a wrong checksum, lines that are
no S-records, SHA-256. Exit 0 only when the format check accepts the file; 4 when it rejects it
or the file cannot be read; 3 for a unit not offered.

Options:
  --unit UNIT     The unit type (code, short or full name).
  --brand-choice  Offer the first brand's unit types too.
  --json          One JSON object: {file, unit, nameFits, nameWarning, accepted, records,
                  messages, summary}.

)TXT";

const char *const Update = R"TXT(Usage: varnel-cli update --unit UNIT --port PORT [--port PORT ...] --file FILE
                         [--yes] [--restart yes|no] [--json] [--report FILE] [--brand-choice]
       varnel-cli update --job JOB [--bay NAME ...] [--yes] [--restart yes|no] [--json]

Updates the unit on every port named, each port on a thread of its own, all at once, with the
unit type's update flow. Before anything is sent: the unit must be offered (exit 3), the file
must exist, be readable and pass the format check (exit 4), the report file must be writable
(exit 4), and every port must exist and be free (exit 5). A file name that does not fit the
unit's rule is warned about and does not stop the update.

The flows ask their questions on the terminal, once for all ports: the Begin question (put the
unit into update or bootloader mode), and for update-mode units the restart question. Answer
y or n; anything else asks again; end of input is No.

Ctrl-C is the Stop button: every running port is asked to stop, and the Stop question is asked
once for all ports; Yes stops them (an update-mode unit is sent "Q"), No lets them go on. A
second Ctrl-C, also while the question waits, stops without asking. SIGTERM stops without
asking.

Options:
  --unit UNIT        The unit type (code, short or full name); one for all ports.
  --port PORT        A port (repeatable): a name as "ports" lists it, or a device path.
  --ports A,B,...    Several ports at once.
  --file FILE        The update file.
  --yes              Answer the Begin question and the Stop question Yes. Needed when
                     standard input is no terminal (else exit 2).
  --restart yes|no   Answer the restart question of update-mode units. Needed for them when
                     standard input is no terminal (else exit 2).
  --json             One compact JSON object per line on standard output for every event,
                     nothing else there: {"event": "status"|"box"|"question"|"answer"|
                     "progress"|"outcome"|"summary", "port", "text", "title", ...};
                     progress carries sent and total; outcome carries kind, detail, stage,
                     file, unitAnswer, acknowledged, retries, exitCode, durationMs,
                     lastStatus, start, end; summary carries ports, failed, exitCode, retry.
                     Errors go to standard error.
  --report FILE      Append one JSON line per port to FILE when its update has ended
                     (completed, failed or stopped), flushed to the disk at once. A report
                     file that cannot be written when the command starts: exit 4 before
                     anything is sent; one that fails later is named on standard error and
                     the exit code is at least 4.
  --brand-choice     Offer the first brand's unit types too.
  --job JOB          Run a station's job (see varnel-cli job --help): the unit, the file,
                     the restart answer and the report come from the job, the ports from its
                     bays (resolved now: a bay not plugged in is exit 5, two bays on one line
                     exit 2). The file is hashed before anything is sent: a file that is not
                     the job's (another SHA-256) is exit 4. Each record carries "bay". A bad
                     job is one line naming the field, exit 2 (exit 4 when it cannot be read).
  --bay NAME         With --job: only this bay (repeatable); an unknown bay is exit 2.

On a terminal a progress bar (one port) or one row per port (port, adapter serial number,
lines sent, percent, status) is redrawn in place; elsewhere plain lines, progress every 10 %.
At the end a summary table (port, unit, outcome, time) names the failed ports and prints a
command that retries them.

)TXT";

const char *const Report = R"TXT(Usage: varnel-cli report FILE [--csv]

Prints a report written by "update --report": one row per unit's update (start, unit, port,
adapter, file, outcome, duration ...). Lines that are no records are counted and named on
standard error. Exit 4 when the report cannot be read.

Options:
  --csv   CSV with a header row instead of the table.

)TXT";

const char *const Job = R"TXT(Usage: varnel-cli job make --unit UNIT --file FILE --bay NAME=PORT [--bay NAME=PORT ...]
                           [--restart yes|no] [--report REPORT] [--brand-choice] -o JOB

Writes a job: what an engineer fixes for a bench and an operator cannot change. The file must
pass the format check for the unit (exit 4); the job keeps its SHA-256, and "update --job" and
the station window send only a file with that hash. FILE and REPORT are kept relative to the
job's folder. An existing JOB is not overwritten (exit 4).

A job file (JSON, UTF-8):
  {"unit": "TVR-4200", "file": "T4200170.s19", "sha256": "<64 hex digits>",
   "restart": "yes", "report": "station.jsonl",
   "bays": [{"name": "A1", "port": "ttyUSB0"},
            {"name": "A2", "port": "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"}]}
"restart" and "report" may be left out (the restart question is then asked). A bay's port is a
port name, a /dev/serial/by-id or by-path link (Linux), a COM name or a USB location path
(Windows); a by-path link or a location path names the USB socket, so a bay stays itself when
adapters are swapped.

Options:
  --unit UNIT         The unit type (code, short or full name), kept as written.
  --file FILE         The update file.
  --bay NAME=PORT     A bay and its port (repeatable, one for each bay).
  --restart yes|no    The answer to the restart question of update-mode units.
  --report REPORT     The report every unit's record is appended to.
  --brand-choice      Offer the first brand's unit types too.
  -o JOB              The job file to write.

)TXT";

} // namespace

QString HelpText(TCliCommand command)
{
    const char *text = Overall;
    switch (command) {
    case TCliCommand::Ports: text = Ports; break;
    case TCliCommand::Units: text = Units; break;
    case TCliCommand::Check: text = Check; break;
    case TCliCommand::Update: text = Update; break;
    case TCliCommand::Report: text = Report; break;
    case TCliCommand::Job: text = Job; break;
    case TCliCommand::None: break;
    }
    return QString::fromUtf8(text) + QString::fromUtf8(ExitCodes);
}

QString VersionText()
{
    return QStringLiteral("varnel-cli ") + QString::fromLatin1(VARNEL_VERSION);
}
