#include "cli/ExitCodes.h"

int ExitCodeForOutcome(TOutcomeKind kind)
{
    switch (kind) {
    case TOutcomeKind::Completed: return ExitCode::Completed;
    case TOutcomeKind::Stopped: return ExitCode::Stopped;
    case TOutcomeKind::PortNotAvailable: return ExitCode::PortNotAvailable;
    case TOutcomeKind::FileProblem: return ExitCode::FileProblem;
    case TOutcomeKind::UnitRejected: return ExitCode::UnitRejected;
    case TOutcomeKind::NoAnswer: return ExitCode::NoAnswer;
    case TOutcomeKind::LinkFailed: return ExitCode::LinkFailed;
    case TOutcomeKind::Unexpected: break;
    }
    return ExitCode::Unexpected;
}

int ExitCodeSeverity(int code)
{
    switch (code) {
    case ExitCode::Completed: return 0;
    case ExitCode::Stopped: return 1;
    case ExitCode::FileProblem: return 2;
    case ExitCode::PortNotAvailable: return 3;
    case ExitCode::NoAnswer: return 4;
    case ExitCode::UnitRejected: return 5;
    case ExitCode::LinkFailed: return 6;
    case ExitCode::UnknownUnit: return 7;
    case ExitCode::Usage: return 8;
    default: break; // unexpected, and any code this table does not know
    }
    return 9;
}

int WorstExitCode(const QList<int> &codes)
{
    int worst = ExitCode::Completed;
    for (int code : codes)
        if (ExitCodeSeverity(code) > ExitCodeSeverity(worst))
            worst = code;
    return worst;
}
