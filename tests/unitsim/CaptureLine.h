#pragma once

#include <QByteArray>
#include <QList>

#include <gtest/gtest.h>
#include <initializer_list>

#include "unitsim/FaultScript.h"
#include "unitsim/UnitModel.h"

// A line back to the host that keeps every answer with the delay it was given.
class TCaptureLine : public TUnitLine {
public:
    struct TSent {
        QByteArray Bytes;
        qint64 DelayMs;
    };

    void SendToHost(const QByteArray &bytes, qint64 delayMs) override { Sent.append({bytes, delayMs}); }

    // Every answer byte so far, in order.
    QByteArray All() const
    {
        QByteArray all;
        for (const TSent &s : Sent)
            all += s.Bytes;
        return all;
    }
    // The answers since the last call, concatenated.
    QByteArray TakeNew()
    {
        QByteArray fresh;
        for (qsizetype i = taken_; i < Sent.size(); ++i)
            fresh += Sent[i].Bytes;
        taken_ = Sent.size();
        return fresh;
    }

    QList<TSent> Sent;

private:
    qsizetype taken_ = 0;
};

// A script of fault rules written as the command line writes them.
inline TFaultScript ScriptOf(std::initializer_list<const char *> rules, qint64 eraseMs = 0, qint64 answerMs = 0)
{
    TFaultScript script;
    script.EraseTimeMs = eraseMs;
    script.AnswerDelayMs = answerMs;
    for (const char *text : rules) {
        QString error;
        const auto rule = TFaultScript::ParseRule(QString::fromLatin1(text), &error);
        if (!rule)
            ADD_FAILURE() << "rule " << text << " rejected: " << error.toStdString();
        else
            script.Rules.push_back(*rule);
    }
    return script;
}
