#pragma once

#include <QList>
#include <QString>

#include "protocols/UpdateOutcome.h"

// The exit codes of varnel-cli: one per class of outcome, so that a script can tell what to do
// next without reading the texts.
namespace ExitCode {
constexpr int Completed = 0;      // every unit completed (check: the file was accepted)
constexpr int Unexpected = 1;     // an unexpected error
constexpr int Usage = 2;          // unknown option, missing argument, no terminal for a question
constexpr int UnknownUnit = 3;    // unknown unit or a unit type the build does not offer
constexpr int FileProblem = 4;    // update file missing, unreadable or not valid; report not writable
constexpr int PortNotAvailable = 5; // port does not exist or is busy
constexpr int Stopped = 6;        // stopped by the technician
constexpr int UnitRejected = 7;   // the unit answered with an error letter or a wrong byte
constexpr int NoAnswer = 8;       // the unit did not answer in time
constexpr int LinkFailed = 9;     // a send failed or the line went away (cable pulled)
} // namespace ExitCode

// The exit code of one unit's outcome.
int ExitCodeForOutcome(TOutcomeKind kind);

// How bad an exit code is, for picking the code of a run over several ports: the higher the
// worse. Order, worst first: unexpected (1), link failed (9), unit rejected (7), no answer (8),
// port not available (5), file problem (4), stopped (6), completed (0). A failure that needs a
// look at the station or the unit outranks one the technician chose; usage (2) and unknown unit
// (3) never come from a running update and rank just below unexpected.
int ExitCodeSeverity(int code);

// The code of the worst outcome; Completed for an empty list.
int WorstExitCode(const QList<int> &codes);
