#include "station/PortWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <future>
#include <mutex>
#include <utility>
#include <vector>

#include "station/StationSink.h"
#include "protocols/UpdateEngine.h"
#include "seriallink/LinkClock.h"
#include "seriallink/LinkPrimitives.h"
#include "seriallink/TComPort.h"

namespace {
// How long a port's calls gather before they go to the front end: far below what a person sees
// on a tile (the window repaints one at most five times a second), and sixteen bays at some
// forty lines a second each wake the front end's thread about 320 times a second, not 2000.
constexpr int GatherMs = 50;
} // namespace

// The calls of one port that wait for the front end's thread, in the order they were made. One
// queued call hands over every call gathered until it runs.
struct TPortSurface::TOutbox {
    std::mutex Lock;
    std::vector<std::function<void(TStationSink &, int port)>> Calls;
    bool Posted = false;
};

TPortSurface::TPortSurface(TStationSink &sink, int port, const QString &fileName)
    : sink_(sink), port_(port), fileName_(fileName), outbox_(std::make_shared<TOutbox>())
{
    sincePost_.start();
    // Calls gathered and not yet sent go when their time is up, also while the flow waits
    // (its waits handle this thread's events).
    gather_.setSingleShot(true);
    QObject::connect(&gather_, &QTimer::timeout, [this] { SendGathered(); });
}

TPortSurface::~TPortSurface()
{
    // Whatever the flow showed last reaches the front end before the port's end is told.
    SendGathered();
}

void TPortSurface::Post(std::function<void(TStationSink &, int port)> call, bool now)
{
    {
        const std::lock_guard<std::mutex> lock(outbox_->Lock);
        outbox_->Calls.push_back(std::move(call));
    }
    const qint64 since = sincePost_.elapsed();
    if (now || since >= GatherMs)
        SendGathered();
    else if (!gather_.isActive())
        gather_.start(int(GatherMs - since));
}

void TPortSurface::SendGathered()
{
    gather_.stop();
    {
        const std::lock_guard<std::mutex> lock(outbox_->Lock);
        // Nothing waits, or a handover already queued takes these calls too.
        if (outbox_->Calls.empty() || std::exchange(outbox_->Posted, true))
            return;
    }
    sincePost_.restart();
    const std::shared_ptr<TOutbox> outbox = outbox_;
    TStationSink *sink = &sink_;
    const int port = port_;
    QMetaObject::invokeMethod(sink, [outbox, sink, port] {
        std::vector<std::function<void(TStationSink &, int)>> calls;
        {
            const std::lock_guard<std::mutex> lock(outbox->Lock);
            calls.swap(outbox->Calls);
            outbox->Posted = false;
        }
        for (const auto &call : calls)
            call(*sink, port);
    }, Qt::QueuedConnection);
}

void TPortSurface::SetStatusText(const QString &text)
{
    status_ = text;
    Post([text](TStationSink &sink, int port) { sink.Status(port, text); });
}

void TPortSurface::ReportBox(const QString &text, const QString &title, TBoxIcon icon)
{
    Post([title, text, icon](TStationSink &sink, int port) { sink.Box(port, title, text, icon); }, true);
}

bool TPortSurface::AskYesNo(const QString &text, const QString &title)
{
    // Everything shown before the question reaches the sink first: it goes the same way, at once. This
    // thread waits for the answer; the front end's thread does not, so another port's question
    // can be open and answered at the same time.
    auto answered = std::make_shared<std::promise<bool>>();
    std::future<bool> answer = answered->get_future();
    TStationAnswer reply([answered](bool yes) { answered->set_value(yes); });
    Post([title, text, reply](TStationSink &sink, int port) { sink.Ask(port, title, text, reply); }, true);
    return answer.get();
}

void TPortSurface::SetGaugeMaximum(int maximum)
{
    Post([maximum](TStationSink &sink, int port) { sink.GaugeMaximum(port, maximum); });
}

void TPortSurface::SetGaugePosition(int position)
{
    Post([position](TStationSink &sink, int port) { sink.GaugePosition(port, position); });
}

void TPortSurface::SetLinesSent(const QString &caption)
{
    Post([caption](TStationSink &sink, int port) { sink.LinesSent(port, caption); });
}

void TPortSurface::ProcessPendingMessages()
{
    QCoreApplication::processEvents();
}

void TPortSurface::SetFileWarning(const QString &text)
{
    Post([text](TStationSink &sink, int port) { sink.Status(port, text); });
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
