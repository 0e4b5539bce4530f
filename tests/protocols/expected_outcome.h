#pragma once

// How a run is expected to end, written in a table row as the kind and, where it matters, the
// file problem, the stage of the silence or the unit's answer.

#include <gtest/gtest.h>

#include <QByteArray>
#include <ostream>
#include <string>

#include "protocols/UpdateOutcome.h"

struct TExpectedOutcome {
    TOutcomeKind Kind = TOutcomeKind::Unexpected;
    TFileProblem File = TFileProblem::None;
    TNoAnswerStage Stage = TNoAnswerStage::None;
    QByteArray UnitAnswer;
};

// Every field that names how a run ended: "no-answer stage=erase", "unit-rejected answer=43".
inline std::string Spelled(TOutcomeKind kind, TFileProblem file, TNoAnswerStage stage, const QByteArray &answer)
{
    std::string text = OutcomeKindName(kind).toStdString();
    if (file != TFileProblem::None)
        text += " file=" + FileProblemName(file).toStdString();
    if (stage != TNoAnswerStage::None)
        text += " stage=" + NoAnswerStageName(stage).toStdString();
    if (!answer.isEmpty())
        text += " answer=" + answer.toHex().toStdString();
    return text;
}

inline void PrintTo(const TExpectedOutcome &e, std::ostream *os)
{
    *os << Spelled(e.Kind, e.File, e.Stage, e.UnitAnswer);
}

namespace Ends {
inline TExpectedOutcome Of(TOutcomeKind kind, TFileProblem file = TFileProblem::None,
                           TNoAnswerStage stage = TNoAnswerStage::None, const QByteArray &answer = {})
{
    return {kind, file, stage, answer};
}
inline TExpectedOutcome Completed() { return Of(TOutcomeKind::Completed); }
inline TExpectedOutcome Stopped() { return Of(TOutcomeKind::Stopped); }
inline TExpectedOutcome PortNotAvailable() { return Of(TOutcomeKind::PortNotAvailable); }
inline TExpectedOutcome File(TFileProblem problem) { return Of(TOutcomeKind::FileProblem, problem); }
inline TExpectedOutcome Rejected(const QByteArray &answer)
{
    return Of(TOutcomeKind::UnitRejected, TFileProblem::None, TNoAnswerStage::None, answer);
}
inline TExpectedOutcome NoAnswer(TNoAnswerStage stage) { return Of(TOutcomeKind::NoAnswer, TFileProblem::None, stage); }
inline TExpectedOutcome LinkFailed() { return Of(TOutcomeKind::LinkFailed); }
inline TExpectedOutcome Unexpected() { return Of(TOutcomeKind::Unexpected); }
} // namespace Ends

// The outcome's kind, file problem, stage and unit answer are the expected ones.
inline ::testing::AssertionResult EndedAs(const TUpdateOutcome &got, const TExpectedOutcome &expected)
{
    if (got.Kind == expected.Kind && got.File == expected.File && got.Stage == expected.Stage &&
        got.UnitAnswer == expected.UnitAnswer)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "ended as " << Spelled(got.Kind, got.File, got.Stage, got.UnitAnswer)
                                         << ", expected "
                                         << Spelled(expected.Kind, expected.File, expected.Stage, expected.UnitAnswer);
}
