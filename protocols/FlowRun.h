#pragma once

#include <QByteArray>

#include "protocols/UpdateOutcome.h"
#include "seriallink/LinkPrimitives.h"
#include "updatefile/FormatCheck.h"

// What one run of a flow has counted so far, and the outcome of each way out: a flow counts as
// it goes and names its outcome where it returns ("return run.NoAnswer(TNoAnswerStage::Line);").
class TFlowRun {
public:
    explicit TFlowRun(const TLink &link) : link_(link) {}

    qint64 Acknowledged = 0; // lines, data bytes or records the unit took
    int Retries = 0;         // writes repeated after an unanswered or refused attempt

    TUpdateOutcome Completed() const { return Ended(TOutcomeKind::Completed); }
    TUpdateOutcome Stopped() const { return Ended(TOutcomeKind::Stopped); }
    TUpdateOutcome PortNotAvailable() const { return Ended(TOutcomeKind::PortNotAvailable); }
    TUpdateOutcome LinkFailed() const { return Ended(TOutcomeKind::LinkFailed); }
    TUpdateOutcome Unexpected() const { return Ended(TOutcomeKind::Unexpected); }
    TUpdateOutcome FileProblem(TFileProblem problem) const;
    TUpdateOutcome UnitRejected(const QByteArray &answer) const;
    TUpdateOutcome NoAnswer(TNoAnswerStage stage) const;

    // A receive result "s": the port failed while waiting, or the technician confirmed Stop, or
    // (neither) the unit itself sent the byte "s".
    TUpdateOutcome StopResult() const;

    // A receive result that ends the run: "s" as StopResult, no byte in time as no answer at the
    // stage, any byte that came (a "t" included) as the unit's answer.
    TUpdateOutcome Answer(const QByteArray &answer, bool timedOut, TNoAnswerStage stage) const;

    // A format check that gave no count: stopped when a stop is requested (as the status line
    // says), else the file's problem (a check that failed in some other way is unexpected).
    TUpdateOutcome FormatRejected(TFormatVerdict verdict) const;

private:
    TUpdateOutcome Ended(TOutcomeKind kind) const;

    const TLink &link_;
};
