#include "station/StationRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include "station/DurableFile.h"
#include "station/FlowQuestion.h"
#include "station/StationRecord.h"

namespace {
QString Text(const char *text)
{
    return QString::fromUtf8(text);
}
} // namespace

TStationRun::TStationRun(const TJob &job, const TUnitType &unit, TStationSink &frontEnd, QObject *parent)
    : TStationSink(parent), job_(job), unit_(unit), frontEnd_(frontEnd), bays_(size_t(job.Bays.size()))
{
    for (qsizetype i = 0; i < job.Bays.size(); ++i) {
        bays_[size_t(i)].Bay = job.Bays[i];
        bays_[size_t(i)].Port.Bay = job.Bays[i].Name;
        bays_[size_t(i)].Port.Given = job.Bays[i].Port;
    }
}

TStationRun::~TStationRun()
{
    destroying_ = true;
    Terminate();
    // A worker may be waiting for an answer or posting its end to this object: those calls are
    // delivered here while it winds down, so that no thread waits on a loop that is not run and
    // every unit that ended is still recorded.
    for (TBayState &state : bays_) {
        if (!state.Worker)
            continue;
        while (!state.Worker->wait(10))
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

int TStationRun::BayCount() const
{
    return int(bays_.size());
}

const TJobBay &TStationRun::Bay(int bay) const
{
    return bays_.at(size_t(bay)).Bay;
}

const TBayPort &TStationRun::Port(int bay) const
{
    return bays_.at(size_t(bay)).Port;
}

void TStationRun::SetPort(int bay, const TBayPort &resolved)
{
    if (!ValidBay(bay))
        return;
    // A running bay keeps the port it was started on; the new one counts from its next start.
    bays_[size_t(bay)].Port = resolved;
}

QString TStationRun::ReportProblem() const
{
    const QString path = job_.ReportPath();
    if (path.isEmpty())
        return {};
    // Asked without making the file: the first record makes it, and flushes its folder with it.
    QString why;
    if (CanAppendTo(path, &why))
        return {};
    return Text(StationTexts::ReportUnwritable).arg(QDir::toNativeSeparators(path), why);
}

QString TStationRun::FileProblem()
{
    QString reason;
    return file_.Pin(job_.FilePath(), job_.Sha256, &reason) ? QString() : reason;
}

void TStationRun::Start(const QList<int> &bays, const QStringList &unitSerials)
{
    // The lines in use: those of the running bays, then those of the bays started here.
    QMap<QString, int> lines;
    for (int i = 0; i < BayCount(); ++i)
        if (bays_[size_t(i)].Running && !bays_[size_t(i)].Port.PortName.isEmpty())
            lines.insert(PortLineKey(bays_[size_t(i)].Port.PortName), i);

    const QString reportProblem = ReportProblem();
    bool pinTried = false;
    bool pinned = false;
    QString pinReason;
    TFileProblem pinProblem = TFileProblem::None;
    QList<int> starting;
    for (qsizetype k = 0; k < bays.size(); ++k) {
        const int bay = bays[k];
        if (!ValidBay(bay) || bays_[size_t(bay)].Running)
            continue;
        TBayState &state = bays_[size_t(bay)];
        state.UnitSerial = unitSerials.value(k).trimmed();
        state.Terminating = false;
        state.Running = true; // until its end is told, also for a bay that does not start
        if (!reportProblem.isEmpty()) {
            TUpdateOutcome outcome;
            outcome.Kind = TOutcomeKind::Unexpected;
            EndAtOnce(bay, outcome, reportProblem);
            continue;
        }
        if (state.Port.PortName.isEmpty()) {
            TUpdateOutcome outcome;
            outcome.Kind = TOutcomeKind::PortNotAvailable;
            EndAtOnce(bay, outcome, Text(StationTexts::BayNotPluggedIn).arg(state.Bay.Name, state.Port.Given));
            continue;
        }
        const QString line = PortLineKey(state.Port.PortName);
        if (lines.contains(line)) {
            TUpdateOutcome outcome;
            outcome.Kind = TOutcomeKind::PortNotAvailable;
            EndAtOnce(bay, outcome,
                      Text(StationTexts::BayOnLineOf)
                          .arg(state.Bay.Name, bays_[size_t(lines.value(line))].Bay.Name, state.Port.PortName));
            continue;
        }
        // The file is hashed once for the bays that start together, before any of them runs.
        if (!pinTried) {
            pinTried = true;
            pinned = file_.Pin(job_.FilePath(), job_.Sha256, &pinReason, &pinProblem);
        }
        if (!pinned) {
            TUpdateOutcome outcome;
            outcome.Kind = TOutcomeKind::FileProblem;
            outcome.File = pinProblem;
            EndAtOnce(bay, outcome, pinReason,
                      pinProblem == TFileProblem::NotValid ? Text(StationTexts::NotTheJobsFile) : QString());
            continue;
        }
        lines.insert(line, bay);
        starting << bay;
    }

    for (const int bay : starting) {
        TBayState &state = bays_[size_t(bay)];
        state.Worker = std::make_unique<TPortWorker>(bay, state.Port.PortName, unit_, file_.CopyPath(), *this);
        state.Worker->OnEnded = [this](int port, const TPortRun &run) { Ended(port, run, true); };
    }
    for (const int bay : starting) {
        TPortWorker &worker = *bays_[size_t(bay)].Worker;
        worker.start();
        if (!worker.isRunning() && !worker.isFinished()) {
            TUpdateOutcome outcome;
            outcome.Kind = TOutcomeKind::Unexpected;
            EndAtOnce(bay, outcome, Text(StationTexts::ThreadFailed).arg(bays_[size_t(bay)].Bay.Name));
        }
    }
}

void TStationRun::EndAtOnce(int bay, const TUpdateOutcome &outcome, const QString &text, const QString &detail)
{
    TPortRun run;
    run.Outcome = outcome;
    run.LastStatus = text;
    run.Start = run.End = QDateTime::currentDateTimeUtc();
    QMetaObject::invokeMethod(
        this,
        [this, bay, run, detail] {
            if (!destroying_)
                frontEnd_.Status(bay, run.LastStatus);
            Ended(bay, run, false, detail);
        },
        Qt::QueuedConnection);
}

void TStationRun::Ended(int bay, const TPortRun &run, bool ran, const QString &detail)
{
    if (!ValidBay(bay) || !bays_[size_t(bay)].Running)
        return;
    TBayState &state = bays_[size_t(bay)];
    state.Running = false;
    state.Terminating = false;

    TRecordContext context;
    context.Unit = unit_;
    context.Port = state.Port.PortName.isEmpty() ? state.Port.Given : state.Port.PortName;
    context.Adapter = state.Port.Facts;
    context.FilePath = job_.FilePath();
    // What the bay was given to send; for a bay that did not start, the file as it is now, so
    // that a record of a file refused by its hash shows the SHA-256 that was found.
    if (ran) {
        context.FileSize = file_.Size();
        context.File = file_.Summary();
    } else {
        context.FileSize = QFileInfo(context.FilePath).size();
        context.File = SummariseUpdateFile(context.FilePath);
    }
    TUpdateRecord record = MakeUpdateRecord(context, run);
    record.Bay = state.Bay.Name;
    record.UnitSerial = state.UnitSerial;
    if (!detail.isEmpty())
        record.OutcomeDetail = detail;

    QString recordError;
    const QString report = job_.ReportPath();
    if (!report.isEmpty())
        AppendReportLine(report, ReportLine(record), &recordError);
    if (!destroying_)
        emit BayEnded(bay, run, record, recordError);
}

void TStationRun::Stop(int bay)
{
    if (ValidBay(bay) && bays_[size_t(bay)].Running && bays_[size_t(bay)].Worker)
        bays_[size_t(bay)].Worker->RequestStop();
}

void TStationRun::Terminate()
{
    for (TBayState &state : bays_) {
        if (!state.Running)
            continue;
        state.Terminating = true;
        if (state.Worker)
            state.Worker->RequestStop();
    }
}

bool TStationRun::IsRunning(int bay) const
{
    return ValidBay(bay) && bays_[size_t(bay)].Running;
}

bool TStationRun::AnyRunning() const
{
    for (const TBayState &state : bays_)
        if (state.Running)
            return true;
    return false;
}

void TStationRun::Status(int port, const QString &text)
{
    if (!destroying_)
        frontEnd_.Status(port, text);
}

void TStationRun::Box(int port, const QString &title, const QString &text, TBoxIcon icon)
{
    if (!destroying_)
        frontEnd_.Box(port, title, text, icon);
}

void TStationRun::GaugeMaximum(int port, int maximum)
{
    if (!destroying_)
        frontEnd_.GaugeMaximum(port, maximum);
}

void TStationRun::GaugePosition(int port, int position)
{
    if (!destroying_)
        frontEnd_.GaugePosition(port, position);
}

void TStationRun::LinesSent(int port, const QString &caption)
{
    if (!destroying_)
        frontEnd_.LinesSent(port, caption);
}

void TStationRun::Ask(int port, const QString &title, const QString &text, TStationAnswer answer)
{
    if (!ValidBay(port))
        return answer(false);
    const TFlowQuestion kind = ClassifyQuestion(title);
    // A bay being terminated stops: Yes to its Stop question, No to any other.
    if (destroying_ || bays_[size_t(port)].Terminating)
        return answer(kind == TFlowQuestion::Stop);
    if (kind == TFlowQuestion::Restart && job_.Restart)
        return answer(*job_.Restart);
    frontEnd_.Ask(port, title, text, std::move(answer));
}
