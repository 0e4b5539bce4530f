#include "cli/PortWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "cli/UpdateConsole.h"
#include "protocols/UpdateEngine.h"
#include "seriallink/LinkClock.h"
#include "seriallink/LinkPrimitives.h"
#include "seriallink/TComPort.h"

TPortSurface::TPortSurface(TUpdateConsole &console, int port, const QString &fileName)
    : console_(console), port_(port), fileName_(fileName)
{
}

void TPortSurface::SetStatusText(const QString &text)
{
    status_ = text;
    TUpdateConsole *console = &console_;
    const int port = port_;
    QMetaObject::invokeMethod(console, [console, port, text] { console->Status(port, text); }, Qt::QueuedConnection);
}

void TPortSurface::ReportBox(const QString &text, const QString &title, TBoxIcon icon)
{
    TUpdateConsole *console = &console_;
    const int port = port_;
    QMetaObject::invokeMethod(console, [console, port, title, text, icon] { console->Box(port, title, text, icon); },
                              Qt::QueuedConnection);
}

bool TPortSurface::AskYesNo(const QString &text, const QString &title)
{
    // Everything shown before the question reaches the console first: queued calls and this
    // blocking one are handled in the order they were posted.
    TUpdateConsole *console = &console_;
    const int port = port_;
    bool answer = false;
    QMetaObject::invokeMethod(console, [console, port, title, text] { return console->Ask(port, title, text); },
                              Qt::BlockingQueuedConnection, &answer);
    return answer;
}

void TPortSurface::SetGaugeMaximum(int maximum)
{
    TUpdateConsole *console = &console_;
    const int port = port_;
    QMetaObject::invokeMethod(console, [console, port, maximum] { console->GaugeMaximum(port, maximum); },
                              Qt::QueuedConnection);
}

void TPortSurface::SetGaugePosition(int position)
{
    TUpdateConsole *console = &console_;
    const int port = port_;
    QMetaObject::invokeMethod(console, [console, port, position] { console->GaugePosition(port, position); },
                              Qt::QueuedConnection);
}

void TPortSurface::SetLinesSent(const QString &caption)
{
    TUpdateConsole *console = &console_;
    const int port = port_;
    QMetaObject::invokeMethod(console, [console, port, caption] { console->LinesSent(port, caption); },
                              Qt::QueuedConnection);
}

void TPortSurface::ProcessPendingMessages()
{
    QCoreApplication::processEvents();
}

void TPortSurface::SetFileWarning(const QString &text)
{
    TUpdateConsole *console = &console_;
    const int port = port_;
    QMetaObject::invokeMethod(console, [console, port, text] { console->Status(port, text); }, Qt::QueuedConnection);
}

TPortWorker::TPortWorker(int port, const QString &portName, const TUnitType &unit, const QString &fileName,
                         TUpdateConsole &console, QObject *parent)
    : QThread(parent), port_(port), portName_(portName), unit_(unit), fileName_(fileName), console_(console),
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
        TPortSurface surface(console_, port_, fileName_);
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
        QMetaObject::invokeMethod(&console_, [ended, port, result] { ended(port, result); }, Qt::QueuedConnection);
    }
}
