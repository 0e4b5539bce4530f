#include "station/PortWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "station/StationSink.h"
#include "protocols/UpdateEngine.h"
#include "seriallink/LinkClock.h"
#include "seriallink/LinkPrimitives.h"
#include "seriallink/TComPort.h"

TPortSurface::TPortSurface(TStationSink &sink, int port, const QString &fileName)
    : sink_(sink), port_(port), fileName_(fileName)
{
}

void TPortSurface::SetStatusText(const QString &text)
{
    status_ = text;
    TStationSink *sink = &sink_;
    const int port = port_;
    QMetaObject::invokeMethod(sink, [sink, port, text] { sink->Status(port, text); }, Qt::QueuedConnection);
}

void TPortSurface::ReportBox(const QString &text, const QString &title, TBoxIcon icon)
{
    TStationSink *sink = &sink_;
    const int port = port_;
    QMetaObject::invokeMethod(sink, [sink, port, title, text, icon] { sink->Box(port, title, text, icon); },
                              Qt::QueuedConnection);
}

bool TPortSurface::AskYesNo(const QString &text, const QString &title)
{
    // Everything shown before the question reaches the sink first: queued calls and this
    // blocking one are handled in the order they were posted.
    TStationSink *sink = &sink_;
    const int port = port_;
    bool answer = false;
    QMetaObject::invokeMethod(sink, [sink, port, title, text] { return sink->Ask(port, title, text); },
                              Qt::BlockingQueuedConnection, &answer);
    return answer;
}

void TPortSurface::SetGaugeMaximum(int maximum)
{
    TStationSink *sink = &sink_;
    const int port = port_;
    QMetaObject::invokeMethod(sink, [sink, port, maximum] { sink->GaugeMaximum(port, maximum); },
                              Qt::QueuedConnection);
}

void TPortSurface::SetGaugePosition(int position)
{
    TStationSink *sink = &sink_;
    const int port = port_;
    QMetaObject::invokeMethod(sink, [sink, port, position] { sink->GaugePosition(port, position); },
                              Qt::QueuedConnection);
}

void TPortSurface::SetLinesSent(const QString &caption)
{
    TStationSink *sink = &sink_;
    const int port = port_;
    QMetaObject::invokeMethod(sink, [sink, port, caption] { sink->LinesSent(port, caption); },
                              Qt::QueuedConnection);
}

void TPortSurface::ProcessPendingMessages()
{
    QCoreApplication::processEvents();
}

void TPortSurface::SetFileWarning(const QString &text)
{
    TStationSink *sink = &sink_;
    const int port = port_;
    QMetaObject::invokeMethod(sink, [sink, port, text] { sink->Status(port, text); }, Qt::QueuedConnection);
}

TPortWorker::TPortWorker(int port, const QString &portName, const TUnitType &unit, const QString &fileName,
                         TStationSink &sink, QObject *parent)
    : QThread(parent), port_(port), portName_(portName), unit_(unit), fileName_(fileName), sink_(sink),
      control_(new QObject)
{
    control_->moveToThread(this);
}

TPortWorker::~TPortWorker()
{
    wait();
    delete control_;
}

void TPortWorker::RequestStop()
{
    // Runs on the port's thread at its next event pass; before the flow runs and after it
    // ended there is no state, and the request is dropped.
    QMetaObject::invokeMethod(control_, [this] {
        if (state_)
            state_->StopRequested = true;
    }, Qt::QueuedConnection);
}

void TPortWorker::run()
{
    TPortRun result;
    result.Start = QDateTime::currentDateTimeUtc();
    QElapsedTimer clock;
    clock.start();
    {
        TComPort comPort;
        TSystemClock systemClock;
        TWizardState state;
        TPortSurface surface(sink_, port_, fileName_);
        TLink link(surface, comPort, systemClock, state);
        try {
            comPort.SetPort(portName_);
            state_ = &state;
            result.Outcome = RunUpdate(link, unit_);
        } catch (...) {
            // The engine never raises; should anything escape all the same, the port's update
            // still ends with an outcome, and the port is closed with the objects below.
            result.Outcome = TUpdateOutcome{};
            result.Outcome.Kind = TOutcomeKind::Unexpected;
        }
        state_ = nullptr;
        result.LastStatus = surface.StatusText();
    }
    result.DurationMs = clock.elapsed();
    result.End = QDateTime::currentDateTimeUtc();

    if (OnEnded) {
        const auto ended = OnEnded;
        const int port = port_;
        QMetaObject::invokeMethod(&sink_, [ended, port, result] { ended(port, result); }, Qt::QueuedConnection);
    }
}
