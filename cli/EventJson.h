#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "operator/OperatorSurface.h"
#include "protocols/UpdateOutcome.h"

// How one port's update ended, as the summary and the report need it.
struct TPortResult {
    QString Port;
    QString UnitName;      // the catalogue's short name
    TUpdateOutcome Outcome;
    int ExitCode = 0;
    qint64 DurationMs = 0;
    QString LastStatus;
    QDateTime Start;       // UTC
    QDateTime End;         // UTC
};

// The events of an update as varnel-cli --json writes them: one compact JSON object per line,
// each with "event" and, where it belongs to one port, "port".
namespace EventJson {
QByteArray Line(const QJsonObject &event); // compact, without the line end

QJsonObject Status(const QString &port, const QString &text);
QJsonObject Box(const QString &port, const QString &title, const QString &text, TBoxIcon icon);
QJsonObject Question(const QString &port, const QString &title, const QString &text);
// by: who answered: "terminal", "--yes", "--restart", "kept" (an answer given before to the
// same question of another port), "ctrl-c", "terminate", "end-of-input", "no-terminal".
QJsonObject Answer(const QString &port, const QString &title, bool yes, const QString &by);
QJsonObject Progress(const QString &port, qint64 sent, qint64 total);
QJsonObject Outcome(const TPortResult &result);
// reportFailed: a line of the report could not be written ("reportFailed": true).
QJsonObject Summary(const QList<TPortResult> &results, int exitCode, const QString &retryCommand,
                    bool reportFailed = false);

// The unit's answer as a string a program can compare: the byte as a character (Latin-1);
// empty when none.
QString UnitAnswerText(const QByteArray &answer);
} // namespace EventJson
