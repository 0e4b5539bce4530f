#include "cli/EventJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace EventJson {

namespace {
QJsonObject Event(const char *name, const QString &port)
{
    QJsonObject event;
    event.insert(QStringLiteral("event"), QString::fromLatin1(name));
    if (!port.isNull())
        event.insert(QStringLiteral("port"), port);
    return event;
}

QString IconName(TBoxIcon icon)
{
    switch (icon) {
    case TBoxIcon::Warning: return QStringLiteral("warning");
    case TBoxIcon::Question: return QStringLiteral("question");
    case TBoxIcon::None: break;
    }
    return QStringLiteral("none");
}

QString IsoUtc(const QDateTime &time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}
} // namespace

QByteArray Line(const QJsonObject &event)
{
    return QJsonDocument(event).toJson(QJsonDocument::Compact);
}

QJsonObject Status(const QString &port, const QString &text)
{
    QJsonObject event = Event("status", port);
    event.insert(QStringLiteral("text"), text);
    return event;
}

QJsonObject Box(const QString &port, const QString &title, const QString &text, TBoxIcon icon)
{
    QJsonObject event = Event("box", port);
    event.insert(QStringLiteral("title"), title);
    event.insert(QStringLiteral("text"), text);
    event.insert(QStringLiteral("icon"), IconName(icon));
    return event;
}

QJsonObject Question(const QString &port, const QString &title, const QString &text)
{
    QJsonObject event = Event("question", port);
    event.insert(QStringLiteral("title"), title);
    event.insert(QStringLiteral("text"), text);
    return event;
}

QJsonObject Answer(const QString &port, const QString &title, bool yes, const QString &by)
{
    QJsonObject event = Event("answer", port);
    event.insert(QStringLiteral("title"), title);
    event.insert(QStringLiteral("answer"), yes ? QStringLiteral("yes") : QStringLiteral("no"));
    event.insert(QStringLiteral("by"), by);
    return event;
}

QJsonObject Progress(const QString &port, qint64 sent, qint64 total)
{
    QJsonObject event = Event("progress", port);
    event.insert(QStringLiteral("sent"), sent);
    event.insert(QStringLiteral("total"), total);
    return event;
}

QString UnitAnswerText(const QByteArray &answer)
{
    return QString::fromLatin1(answer);
}

QJsonObject Outcome(const TPortResult &result)
{
    const TUpdateOutcome &outcome = result.Outcome;
    QJsonObject event = Event("outcome", result.Port);
    event.insert(QStringLiteral("unit"), result.UnitName);
    event.insert(QStringLiteral("kind"), OutcomeKindName(outcome.Kind));
    event.insert(QStringLiteral("detail"), DescribeOutcome(outcome));
    event.insert(QStringLiteral("stage"), NoAnswerStageName(outcome.Stage));
    event.insert(QStringLiteral("file"), FileProblemName(outcome.File));
    event.insert(QStringLiteral("unitAnswer"), UnitAnswerText(outcome.UnitAnswer));
    event.insert(QStringLiteral("acknowledged"), outcome.Acknowledged);
    event.insert(QStringLiteral("retries"), outcome.Retries);
    event.insert(QStringLiteral("exitCode"), result.ExitCode);
    event.insert(QStringLiteral("durationMs"), result.DurationMs);
    event.insert(QStringLiteral("lastStatus"), result.LastStatus);
    event.insert(QStringLiteral("start"), IsoUtc(result.Start));
    event.insert(QStringLiteral("end"), IsoUtc(result.End));
    return event;
}

QJsonObject Summary(const QList<TPortResult> &results, int exitCode, const QString &retryCommand, bool reportFailed)
{
    QJsonObject event = Event("summary", QString());
    QJsonArray ports;
    QJsonArray failed;
    for (const TPortResult &result : results) {
        QJsonObject port;
        port.insert(QStringLiteral("port"), result.Port);
        port.insert(QStringLiteral("unit"), result.UnitName);
        port.insert(QStringLiteral("kind"), OutcomeKindName(result.Outcome.Kind));
        port.insert(QStringLiteral("detail"), DescribeOutcome(result.Outcome));
        port.insert(QStringLiteral("exitCode"), result.ExitCode);
        port.insert(QStringLiteral("durationMs"), result.DurationMs);
        ports.append(port);
        if (!result.Outcome.IsCompleted())
            failed.append(result.Port);
    }
    event.insert(QStringLiteral("ports"), ports);
    event.insert(QStringLiteral("failed"), failed);
    event.insert(QStringLiteral("exitCode"), exitCode);
    event.insert(QStringLiteral("retry"), retryCommand);
    event.insert(QStringLiteral("reportFailed"), reportFailed);
    return event;
}

} // namespace EventJson
