#pragma once

#include <QList>
#include <QMap>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "station/BayPorts.h"
#include "station/Job.h"
#include "station/ReportCounts.h"
#include "station/StationRun.h"
#include "updatefile/UnitCatalogue.h"

class QLabel;
class QPushButton;
class QGridLayout;
class TBayTile;

// The station window: a job's header (unit, file, hash, report, counters), one tile per bay and
// the window's Start all and Stop all. It is the front end of the job's run: every status text,
// gauge change and box of a bay's flow goes to the bay's tile, and every question is asked on
// the tile, or once for several bays in the window's prompt (the Begin question of bays that
// started together, the Stop question of a Stop all). A question only waits for its answer on its
// bay's thread, so the other bays go on while it is open, and any open question can be answered
// first; no box ever blocks the window.
class TStationWindow : public QWidget {
    Q_OBJECT
public:
    using TResolver = std::function<QList<TBayPort>(const QList<TJobBay> &)>;

    // resolver reads where the bays' adapters are now (ResolveBays unless a test replaces it).
    TStationWindow(const TJob &job, const TUnitType &unit, TResolver resolver = {},
                   QWidget *parent = nullptr);
    ~TStationWindow() override;

    const TJob &Job() const { return job_; }
    int BayCount() const { return int(tiles_.size()); }
    TBayTile *Tile(int bay) const { return tiles_.value(bay); }
    TStationRun &Run() { return *run_; }
    QPushButton *StartAllButton() const { return startAll_; }
    QPushButton *StopAllButton() const { return stopAll_; }

    // The window's prompt (several bays' question, or closing while bays run).
    bool PromptShown() const;
    QString PromptText() const;
    QPushButton *PromptYes() const { return promptYes_; }
    QPushButton *PromptNo() const { return promptNo_; }

    void StartBays(const QList<int> &bays);
    void StartAll();
    void StopAll();
    void StopBay(int bay);
    bool AnyRunning() const;

    // Reads where the adapters are now; a timer does it every interval (3 s unless changed).
    void Rescan();
    void SetRescanInterval(int ms);
    // Paints every tile's pending changes now; a timer does it five times a second.
    void FlushTiles();

    TReportCounts SessionCounts() const { return session_; }
    TReportCounts TodayCounts() const { return today_; }
    // What Start would refuse now (the job's file, its report), one reason a line; empty when
    // nothing. Read again at every port rescan and after every bay's end.
    QString JobProblemText() const { return jobProblem_; }
    QString SessionCountsText() const;
    QString TodayCountsText() const;

    // The sink the run reports to (tests and the bench call it as the workers do).
    TStationSink &Sink();

    // A bay's question or the window's prompt has been shown and waits for an answer.
    std::function<void(int bay)> OnQuestion; // bay -1: the window's prompt
    std::function<void(int bay, const TPortRun &run)> OnBayEnded;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class TSink;
    friend class TSink;

    enum class TKind { Begin, Stop, Other };
    struct TWait {
        TKind Kind = TKind::Other;
        TStationAnswer Reply; // given when the question is answered, then the wait goes
    };
    struct TBayRun {
        int Group = 0;     // the start that began it, while it runs
        int StopRound = 0; // the Stop all that stopped it, until its Stop question is answered
        std::shared_ptr<TWait> Wait; // its open question
    };
    struct TPrompt {
        QString Key;       // "group:N", "round:N" or "close"
        QString Title;
        QString Text;
        std::function<void(bool)> Answered;
    };

    // From the run's sink.
    void OnStatus(int bay, const QString &text);
    void OnBox(int bay, const QString &title, const QString &text, TBoxIcon icon);
    void OnGaugeMaximum(int bay, int maximum);
    void OnGaugePosition(int bay, int position);
    void OnLinesSent(int bay, const QString &caption);
    void OnAsk(int bay, const QString &title, const QString &text, TStationAnswer answer);
    void OnEnded(int bay, const TPortRun &run, const TUpdateRecord &record, const QString &recordError);

    static TKind KindOf(const QString &title);
    QList<int> Members(int group, bool ofRound) const;
    QString BayNames(const QList<int> &bays) const;
    void AnswerBay(int bay, bool yes);
    void AnswerEveryQuestion();
    void PrunePrompts();
    void PushPrompt(const TPrompt &prompt);
    bool HasPrompt(const QString &key) const;
    void AnswerPrompt(bool yes);
    void ShowTopPrompt();
    void BeginClosing();
    void UpdateHeader();
    void UpdateWindowButtons();
    void SerialEntered(int bay);

    TJob job_;
    TUnitType unit_;
    TResolver resolver_;
    std::unique_ptr<TSink> sink_;
    std::unique_ptr<TStationRun> run_;
    QList<TBayTile *> tiles_;
    QList<TBayRun> bays_;
    QMap<int, bool> groupAnswers_;
    QMap<int, bool> roundAnswers_;
    int groups_ = 0;
    int rounds_ = 0;
    QList<TPrompt> prompts_; // the top one is shown
    bool closing_ = false;
    TReportCounts session_;
    TReportCounts today_;
    QString jobProblem_;

    QLabel *unitLabel_;
    QLabel *fileLabel_;
    QLabel *shaLabel_;
    QLabel *reportLabel_;
    QLabel *sessionLabel_;
    QLabel *todayLabel_;
    QLabel *problemLabel_;
    QWidget *prompt_;
    QLabel *promptIcon_;
    QLabel *promptTitle_;
    QLabel *promptText_;
    QPushButton *promptYes_;
    QPushButton *promptNo_;
    QLabel *closingLabel_;
    QPushButton *startAll_;
    QPushButton *stopAll_;
    QTimer flushTimer_;
    QTimer rescanTimer_;
};
