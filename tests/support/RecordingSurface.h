#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

#include "seriallink/LinkClock.h"
#include "operator/OperatorSurface.h"

// One thing the technician saw, with the tick at which it appeared.
struct TSeen {
    enum Kind { Status, Report, Question } What;
    QString Text;
    QString Title;     // boxes only
    TBoxIcon Icon = TBoxIcon::None;
    qint64 At = 0;     // clock tick when shown
    bool Answer = false; // questions: the answer given
};

// An operator surface that records every status text and box and answers questions from a
// script. Unscripted questions are answered Yes, so a test only scripts the No answers it
// cares about (or pins every answer with Answers).
class TRecordingSurface : public TOperatorSurface {
public:
    explicit TRecordingSurface(TLinkClock *clock = nullptr) : clock_(clock) {}

    void SetStatusText(const QString &text) override;
    QString StatusText() const override { return status_; }
    void ReportBox(const QString &text, const QString &title, TBoxIcon icon) override;
    bool AskYesNo(const QString &text, const QString &title) override;
    void SetGaugeMaximum(int maximum) override { GaugeMaximum = maximum; }
    void SetGaugePosition(int position) override { GaugePosition = position; }
    void SetLinesSent(const QString &caption) override { LinesSent = caption; }
    void ProcessPendingMessages() override;
    QString UpdateFileName() const override { return FileName; }
    void SetFileWarning(const QString &text) override { FileWarning = text; }

    // Answers for the coming questions, first to last; an empty queue answers Yes.
    std::deque<bool> Answers;
    // Runs on every question before it is answered (e.g. to check the state at that moment).
    std::function<void(const QString &title)> OnQuestion;
    // Runs on every ProcessPendingMessages call (a scripted technician's hand).
    std::function<void()> OnPump;

    QList<TSeen> Seen;
    QString FileName;
    QString FileWarning;
    QString LinesSent = QStringLiteral("0");
    int GaugeMaximum = 100;
    int GaugePosition = 0;
    int PumpCount = 0;

    // The status texts in order (repeats kept).
    QStringList Statuses() const;
    // Every status and box as one line each: "status: T", "box[title]: T", "ask[title]: T -> yes".
    QStringList Timeline() const;
    // The boxes only, as "title: text".
    QStringList Boxes() const;

private:
    TLinkClock *clock_;
    QString status_ = QStringLiteral("Ready.");
    qint64 Now() const { return clock_ ? clock_->TickCount() : 0; }
};
