#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "station/BayPorts.h"
#include "station/Job.h"
#include "station/PortWorker.h"
#include "station/StationSink.h"
#include "station/UpdateReport.h"
#include "updatefile/UnitCatalogue.h"

// A job's run on the front end's thread: starts bays, checks the file against the job's hash
// before any byte is sent to a bay, answers the restart question from the job, forwards every
// other status/box/question to the front end's sink, writes one report record per unit that
// ended (the varnel-cli line plus "bay" and "unitSerial"), and says when each bay ended.
//
// The bays are given the copy of the file that matched the hash (TPinnedFile), never the file
// itself. A question the front end is answering when the run is terminated is the front end's
// to end (its wait must end on Stop all or the window closing); the run answers every question
// asked after that itself.
// What the run says of a bay that does not start; %1, %2 ... are filled in where shown.
namespace StationTexts {
inline constexpr char BayNotPluggedIn[] = "bay %1: port %2 is not plugged in; nothing is sent";
inline constexpr char BayOnLineOf[] = "bay %1 is on the line of bay %2 (%3); nothing is sent";
inline constexpr char NotTheJobsFile[] = "file problem: not the job's file (its SHA-256 differs)";
inline constexpr char ReportUnwritable[] = "the report %1 cannot take records: %2; nothing is sent";
inline constexpr char ThreadFailed[] = "bay %1: its update could not be started";
} // namespace StationTexts

class TStationRun : public TStationSink { // it is the workers' sink, and forwards
    Q_OBJECT
public:
    TStationRun(const TJob &job, const TUnitType &unit, TStationSink &frontEnd, QObject *parent = nullptr);
    // Terminates the bays still running and waits for them.
    ~TStationRun() override;

    int BayCount() const;
    const TJobBay &Bay(int bay) const;
    const TBayPort &Port(int bay) const;
    void SetPort(int bay, const TBayPort &resolved); // from a fresh ResolveBays
    // Starts these bays together (their Begin questions come to the front end's sink together).
    // A bay not plugged in, already running or whose file does not match the hash does not
    // start: it ends at once with its outcome (file-problem for the hash, with a clear text).
    // A bay already running is left as it is. unitSerials go with bays by position.
    void Start(const QList<int> &bays, const QStringList &unitSerials);
    void Stop(int bay);   // the bay's Stop button: the flow asks its own Stop question
    void Terminate();     // stop every bay without asking (a signal, the window closing)
    bool IsRunning(int bay) const;
    bool AnyRunning() const;

    const TJob &Job() const { return job_; }
    // Why the job's file would be refused now (missing, unreadable, another SHA-256); empty
    // when it matches. The front end may show it before anything starts; Start checks again.
    QString FileProblem();

    // Why the job's report cannot take records now; empty when it can (or the job keeps none).
    // Start refuses every bay while this is not empty: an update nobody records is lost.
    QString ReportProblem() const;

    // The sink of the bays' workers: what each flow shows goes on to the front end.
    void Status(int port, const QString &text) override;
    void Box(int port, const QString &title, const QString &text, TBoxIcon icon) override;
    void GaugeMaximum(int port, int maximum) override;
    void GaugePosition(int port, int position) override;
    void LinesSent(int port, const QString &caption) override;
    void Ask(int port, const QString &title, const QString &text, TStationAnswer answer) override;

signals:
    // On the front end's thread once a bay's update has ended and its record was appended
    // (recordError empty) or could not be (recordError says why).
    void BayEnded(int bay, const TPortRun &run, const TUpdateRecord &record, const QString &recordError);

private:
    struct TBayState {
        TJobBay Bay;
        TBayPort Port;
        QString UnitSerial;
        std::unique_ptr<TPortWorker> Worker;
        bool Running = false;
        bool Terminating = false;
    };

    bool ValidBay(int bay) const { return bay >= 0 && bay < int(bays_.size()); }
    // A bay that does not start: its outcome and text, reported after Start has returned.
    void EndAtOnce(int bay, const TUpdateOutcome &outcome, const QString &text, const QString &detail = QString());
    // Records the bay's end and says so; ran for a bay whose worker ran, detail (when given)
    // the record's detail.
    void Ended(int bay, const TPortRun &run, bool ran, const QString &detail = QString());

    const TJob job_;
    const TUnitType unit_;
    TStationSink &frontEnd_;
    TPinnedFile file_;
    std::vector<TBayState> bays_;
    bool destroying_ = false;
};
