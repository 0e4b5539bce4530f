#pragma once

#include <QJsonArray>
#include <QString>
#include <QTextStream>

#include "operator/OperatorSurface.h"

// An operator surface on the main thread for the commands that run a check or a port scan
// without an update: status texts and boxes are printed as lines ("TITLE: text") or, for
// --json, collected as messages. Questions are answered No (none of those commands asks one).
class TConsoleSurface : public TOperatorSurface {
public:
    // out: where lines go; nullptr prints nothing (the messages are still collected).
    TConsoleSurface(QTextStream *out, const QString &fileName);

    void SetStatusText(const QString &text) override;
    QString StatusText() const override { return status_; }
    void ReportBox(const QString &text, const QString &title, TBoxIcon icon) override;
    bool AskYesNo(const QString &text, const QString &title) override;
    void SetGaugeMaximum(int) override {}
    void SetGaugePosition(int) override {}
    void SetLinesSent(const QString &) override {}
    void ProcessPendingMessages() override;
    QString UpdateFileName() const override { return fileName_; }
    void SetFileWarning(const QString &text) override;

    // Every status text and box shown, in order: {"event":"status","text"} and
    // {"event":"box","title","text","icon"}.
    const QJsonArray &Messages() const { return messages_; }

private:
    void Print(const QString &line);
    QTextStream *out_;
    QString fileName_;
    QString status_;
    QJsonArray messages_;
};
