#include "protocols/FlowRun.h"

TUpdateOutcome TFlowRun::Ended(TOutcomeKind kind) const
{
    TUpdateOutcome outcome;
    outcome.Kind = kind;
    outcome.Acknowledged = Acknowledged;
    outcome.Retries = Retries;
    return outcome;
}

TUpdateOutcome TFlowRun::FileProblem(TFileProblem problem) const
{
    TUpdateOutcome outcome = Ended(TOutcomeKind::FileProblem);
    outcome.File = problem;
    return outcome;
}

TUpdateOutcome TFlowRun::UnitRejected(const QByteArray &answer) const
{
    TUpdateOutcome outcome = Ended(TOutcomeKind::UnitRejected);
    outcome.UnitAnswer = answer;
    return outcome;
}

TUpdateOutcome TFlowRun::NoAnswer(TNoAnswerStage stage) const
{
    TUpdateOutcome outcome = Ended(TOutcomeKind::NoAnswer);
    outcome.Stage = stage;
    return outcome;
}

TUpdateOutcome TFlowRun::StopResult() const
{
    // A failed port sets StopRequested too, so it is asked first.
    if (link_.PortFailed)
        return LinkFailed();
    if (link_.State.StopRequested)
        return Stopped();
    return UnitRejected(QByteArrayLiteral("s"));
}

TUpdateOutcome TFlowRun::Answer(const QByteArray &answer, bool timedOut, TNoAnswerStage stage) const
{
    if (timedOut)
        return NoAnswer(stage);
    if (answer == "s")
        return StopResult();
    return UnitRejected(answer);
}

TUpdateOutcome TFlowRun::FormatRejected(TFormatVerdict verdict) const
{
    // As the status line tells it: a stop request makes it a stop whatever the check found.
    if (link_.State.StopRequested)
        return Stopped();
    switch (verdict) {
    case TFormatVerdict::Stopped: return Stopped();
    case TFormatVerdict::Unreadable: return FileProblem(TFileProblem::Unreadable);
    case TFormatVerdict::NotValid: return FileProblem(TFileProblem::NotValid);
    case TFormatVerdict::Usable:
    case TFormatVerdict::Failed: break;
    }
    return Unexpected();
}
