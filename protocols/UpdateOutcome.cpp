#include "protocols/UpdateOutcome.h"

QString OutcomeKindName(TOutcomeKind kind)
{
    switch (kind) {
    case TOutcomeKind::Completed: return QStringLiteral("completed");
    case TOutcomeKind::Stopped: return QStringLiteral("stopped");
    case TOutcomeKind::PortNotAvailable: return QStringLiteral("port-not-available");
    case TOutcomeKind::FileProblem: return QStringLiteral("file-problem");
    case TOutcomeKind::UnitRejected: return QStringLiteral("unit-rejected");
    case TOutcomeKind::NoAnswer: return QStringLiteral("no-answer");
    case TOutcomeKind::LinkFailed: return QStringLiteral("link-failed");
    case TOutcomeKind::Unexpected: break;
    }
    return QStringLiteral("unexpected");
}

QString FileProblemName(TFileProblem problem)
{
    switch (problem) {
    case TFileProblem::Gone: return QStringLiteral("gone");
    case TFileProblem::Unreadable: return QStringLiteral("unreadable");
    case TFileProblem::NotValid: return QStringLiteral("not-valid");
    case TFileProblem::None: break;
    }
    return {};
}

QString NoAnswerStageName(TNoAnswerStage stage)
{
    switch (stage) {
    case TNoAnswerStage::Contact: return QStringLiteral("contact");
    case TNoAnswerStage::Erase: return QStringLiteral("erase");
    case TNoAnswerStage::Bootloader: return QStringLiteral("bootloader");
    case TNoAnswerStage::Line: return QStringLiteral("line");
    case TNoAnswerStage::Byte: return QStringLiteral("byte");
    case TNoAnswerStage::Record: return QStringLiteral("record");
    case TNoAnswerStage::End: return QStringLiteral("end");
    case TNoAnswerStage::None: break;
    }
    return {};
}

namespace {
// A printable letter in quotes, anything else as a hexadecimal byte.
QString UnitAnswerText(const QByteArray &answer)
{
    if (answer.isEmpty())
        return QStringLiteral("nothing");
    const unsigned char c = static_cast<unsigned char>(answer.at(0));
    if (c > 0x20 && c < 0x7F && c != '\'')
        return QStringLiteral("'%1'").arg(QChar(c));
    return QStringLiteral("0x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
}
} // namespace

QString DescribeOutcome(const TUpdateOutcome &outcome)
{
    QString text = OutcomeKindName(outcome.Kind).replace(QLatin1Char('-'), QLatin1Char(' '));
    switch (outcome.Kind) {
    case TOutcomeKind::FileProblem:
        if (outcome.File != TFileProblem::None)
            text += QStringLiteral(": ") + FileProblemName(outcome.File).replace(QLatin1Char('-'), QLatin1Char(' '));
        break;
    case TOutcomeKind::UnitRejected:
        text += QStringLiteral(": ") + UnitAnswerText(outcome.UnitAnswer);
        break;
    case TOutcomeKind::NoAnswer:
        if (outcome.Stage != TNoAnswerStage::None)
            text += QStringLiteral(": ") + NoAnswerStageName(outcome.Stage);
        break;
    default:
        break;
    }
    return text;
}
