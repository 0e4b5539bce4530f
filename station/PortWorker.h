#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThread>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <memory>

#include "operator/OperatorSurface.h"
#include "operator/WizardState.h"
#include "protocols/UpdateOutcome.h"
#include "updatefile/UnitCatalogue.h"

class TStationSink;

// The operator surface of one port's update, living on the port's thread: it forwards every
// status text, box, gauge change and question to the front end's sink on its thread, in order,
// gathered a few milliseconds at a time (a box and a question go at once), and waits on this
// thread for a question's answer. Its event pump handles the port thread's own
// events, which is how a stop request posted to the thread reaches the flow.
class TPortSurface : public TOperatorSurface {
public:
    TPortSurface(TStationSink &sink, int port, const QString &fileName);
    ~TPortSurface() override;

    void SetStatusText(const QString &text) override;
    QString StatusText() const override { return status_; }
    void ReportBox(const QString &text, const QString &title, TBoxIcon icon) override;
    bool AskYesNo(const QString &text, const QString &title) override;
    void SetGaugeMaximum(int maximum) override;
    void SetGaugePosition(int position) override;
    void SetLinesSent(const QString &caption) override;
    void ProcessPendingMessages() override;
    QString UpdateFileName() const override { return fileName_; }
    void SetFileWarning(const QString &text) override;

private:
    struct TOutbox;
    // A call for the sink: gathered for a few milliseconds with the calls after it, or, now,
    // sent at once with every call gathered before it.
    void Post(std::function<void(TStationSink &, int port)> call, bool now = false);
    void SendGathered();

    TStationSink &sink_;
    const int port_;
    const QString fileName_;
    QString status_;
    std::shared_ptr<TOutbox> outbox_;
    QElapsedTimer sincePost_;
    QTimer gather_;
};

// How a port's update ended, as its thread reports it.
struct TPortRun {
    TUpdateOutcome Outcome;
    QString LastStatus;
    QDateTime Start; // UTC
    QDateTime End;   // UTC
    qint64 DurationMs = 0;
};

// One port's update on a thread of its own: its own serial port, clock, session state, link and
// surface, all made on that thread so that the flow's waits handle that thread's events.
class TPortWorker : public QThread {
    Q_OBJECT
public:
    TPortWorker(int port, const QString &portName, const TUnitType &unit, const QString &fileName,
                TStationSink &sink, QObject *parent = nullptr);
    ~TPortWorker() override;

    // Called on the main thread when the update has ended (queued from the port's thread).
    std::function<void(int port, const TPortRun &run)> OnEnded;

    // The Stop button for this port: StopRequested is set on the port's thread, which wakes
    // its wait. May be called before the thread runs and after it ended.
    void RequestStop();

protected:
    void run() override;

private:
    const int port_;
    const QString portName_;
    const TUnitType unit_;
    const QString fileName_;
    TStationSink &sink_;
    QObject *control_;               // lives on the port's thread; stop requests are posted to it
    TWizardState *state_ = nullptr;  // the running flow's state; touched on the port's thread only
};
