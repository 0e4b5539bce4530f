#include "unitsim/FaultScript.h"

#include <array>
#include <utility>

namespace {

const std::array<std::pair<const char *, TUnitStage>, 6> StageNames = {{
    {"contact", TUnitStage::Contact},
    {"erase", TUnitStage::Erase},
    {"line", TUnitStage::Line},
    {"byte", TUnitStage::Byte},
    {"record", TUnitStage::Record},
    {"end", TUnitStage::End},
}};

bool Fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

// A positive decimal count; false on anything else (signs, blanks, zero, overflow).
bool ParsePositive(const QString &text, int &value)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value > 0;
}

bool IsHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
           || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

} // namespace

QString UnitStageName(TUnitStage stage)
{
    for (const auto &[name, value] : StageNames)
        if (value == stage)
            return QString::fromLatin1(name);
    return QStringLiteral("?");
}

QString DescribeAnswer(const std::optional<QByteArray> &answer, bool hangUp)
{
    if (hangUp)
        return answer ? DescribeAnswer(answer) + QStringLiteral(" and a cut line") : QStringLiteral("a cut line");
    if (!answer)
        return QStringLiteral("silence");
    QString text;
    for (const char c : *answer) {
        const auto byte = quint8(c);
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        if (byte >= 0x21 && byte <= 0x7E)
            text += QStringLiteral("\"%1\"").arg(QLatin1Char(c));
        else
            text += QStringLiteral("0x%1").arg(QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    }
    return text;
}

bool TFaultScript::Take(TUnitStage stage, int index, std::optional<QByteArray> &answer)
{
    for (TFaultRule &rule : Rules) {
        if (rule.Stage != stage)
            continue;
        if (rule.Index != 0 && rule.Index != index)
            continue;
        if (rule.Times >= 0 && rule.Used >= rule.Times)
            continue;
        ++rule.Used;
        answer = rule.Answer;
        hangUpDue_ = rule.HangUp;
        return true;
    }
    return false;
}

std::optional<TFaultRule> TFaultScript::ParseRule(const QString &text, QString *error)
{
    const QString rule = text.trimmed();
    const qsizetype eq = rule.indexOf(QLatin1Char('='));
    if (eq < 0) {
        Fail(error, QStringLiteral("missing \"=\" in \"%1\"").arg(rule));
        return std::nullopt;
    }

    TFaultRule result;

    // STAGE[@K]
    QString target = rule.left(eq);
    QString stageName = target;
    const qsizetype at = target.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        stageName = target.left(at);
        if (!ParsePositive(target.mid(at + 1), result.Index)) {
            Fail(error, QStringLiteral("the item number after \"@\" must be a whole number from 1 up, not \"%1\"")
                            .arg(target.mid(at + 1)));
            return std::nullopt;
        }
    }
    bool known = false;
    for (const auto &[name, value] : StageNames) {
        if (stageName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            result.Stage = value;
            known = true;
        }
    }
    if (!known) {
        Fail(error, QStringLiteral("unknown stage \"%1\" (contact, erase, line, byte, record or end)").arg(stageName));
        return std::nullopt;
    }

    // ANSWER[*N]: the answer is "silent", "hangup", 0xHH or one character, and the last two may
    // end in "+hangup"; "*N" may follow.
    const QString rest = rule.mid(eq + 1);
    qsizetype used = 0;
    if (rest.startsWith(QLatin1String("hangup"), Qt::CaseInsensitive)) {
        result.Answer = std::nullopt;
        result.HangUp = true;
        used = 6;
    } else if (rest.startsWith(QLatin1String("silent"), Qt::CaseInsensitive)) {
        result.Answer = std::nullopt;
        used = 6;
    } else if (rest.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = rest.mid(2, 2);
        if (digits.size() != 2 || !IsHexDigit(digits.at(0)) || !IsHexDigit(digits.at(1))) {
            Fail(error, QStringLiteral("\"0x\" must be followed by two hexadecimal digits, not \"%1\"").arg(rest.mid(2)));
            return std::nullopt;
        }
        result.Answer = QByteArray(1, char(digits.toUInt(nullptr, 16)));
        used = 4;
    } else if (!rest.isEmpty()) {
        const QChar c = rest.at(0);
        if (c.unicode() > 0xFF) {
            Fail(error, QStringLiteral("the answer \"%1\" is not one byte; write it as 0xHH").arg(c));
            return std::nullopt;
        }
        result.Answer = QByteArray(1, char(c.unicode()));
        used = 1;
    } else {
        Fail(error, QStringLiteral("missing answer after \"=\" (one character, 0xHH or silent)"));
        return std::nullopt;
    }

    if (result.Answer && rest.mid(used).startsWith(QLatin1String("+hangup"), Qt::CaseInsensitive)) {
        result.HangUp = true;
        used += 7;
    }

    const QString tail = rest.mid(used);
    if (!tail.isEmpty()) {
        if (!tail.startsWith(QLatin1Char('*')) || !ParsePositive(tail.mid(1), result.Times)) {
            Fail(error, QStringLiteral("unexpected \"%1\" after the answer (expected *N with N from 1 up)").arg(tail));
            return std::nullopt;
        }
    }
    if (error)
        error->clear();
    return result;
}

std::optional<QByteArray> TFaultScript::Reply(TUnitStage stage, int index, const QByteArray &normal,
                                              QStringList *applied)
{
    std::optional<QByteArray> answer;
    if (!Take(stage, index, answer))
        return normal;
    if (applied)
        applied->append(QStringLiteral("%1 %2: %3 instead of %4")
                            .arg(UnitStageName(stage))
                            .arg(index)
                            .arg(DescribeAnswer(answer, hangUpDue_), DescribeAnswer(normal)));
    return answer;
}
