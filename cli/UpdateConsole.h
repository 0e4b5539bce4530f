#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <QTimer>
#include <functional>
#include <optional>

#include "cli/Console.h"
#include "cli/EventJson.h"
#include "cli/ProgressText.h"
#include "operator/OperatorSurface.h"
#include "station/FlowQuestion.h"
#include "station/StationSink.h"

// The console of an update on the main thread: it prints what every port's flow shows (status
// lines, boxes, progress), asks the flows' questions on the terminal once for all ports (or
// answers them from the options), and turns Ctrl-C into the Stop button of every running port.
// Human output redraws a progress bar (one port) or one row per port in place on a terminal,
// writes plain lines elsewhere; --json writes one JSON object per event and nothing else.
class TUpdateConsole : public TStationSink {
    Q_OBJECT
public:
    struct TSettings {
        bool Json = false;
        bool OutIsTerminal = false; // standard output is a terminal
        bool Redraw = false;  // ... and takes escape sequences: progress drawn in place
        bool CanAsk = false;  // standard input is a terminal and a terminal shows the question
        // Where questions are shown when neither standard output (a terminal without --json)
        // nor standard error can be used for them: the controlling terminal. nullptr: standard
        // output when it is a terminal and carries no JSON, else standard error.
        QTextStream *AskTo = nullptr;
        bool Yes = false;     // --yes: the Begin and Stop questions answered Yes
        std::optional<bool> Restart; // --restart yes|no
        int Width = 80;       // terminal columns
        // The end of the gauge as the unit will acknowledge the file: a flow that sets its
        // gauge to FlowRecords (the format check's count) is shown counting to AcknowledgedEnd
        // instead. Update-mode units acknowledge every line before the end record, also those
        // before the header, which the records do not count. 0: the flow's maximum as it is.
        int FlowRecords = 0;
        qint64 AcknowledgedEnd = 0;
    };
    struct TPortInfo {
        QString Name;
        QString SerialNumber; // the adapter's, where known
    };

    TUpdateConsole(const TSettings &settings, const QList<TPortInfo> &ports, QTextStream &out, QTextStream &err,
                   QObject *parent = nullptr);

    // The line read for answers (ReadAnswerLine unless a test replaces it), the interrupts that
    // arrived during it (the interrupt watch's), and how a stop reaches a running port.
    std::function<TLineRead(QString &)> ReadLine;
    std::function<int(bool *)> TakeInterrupts;
    std::function<void(int port)> PostStop;

    // What a port's flow shows; called on this object's thread.
    void Status(int port, const QString &text) override;
    void Box(int port, const QString &title, const QString &text, TBoxIcon icon) override;
    void GaugeMaximum(int port, int maximum) override;
    void GaugePosition(int port, int position) override;
    void LinesSent(int port, const QString &caption) override;
    // A flow's question, answered before this returns: one question at a time on a terminal.
    void Ask(int port, const QString &title, const QString &text, TStationAnswer answer) override
    {
        answer(Ask(port, title, text));
    }
    // True for Yes.
    bool Ask(int port, const QString &title, const QString &text);

    // A port's update has ended; it takes no more stop requests.
    void Ended(int port, const TPortResult &result);

    // Ctrl-C pressed count times; terminate for a request to terminate (taken as a confirmed
    // stop). A request to terminate sticks: every question after it is answered without asking
    // (Stop: Yes; every other: No).
    void Interrupt(int count, bool terminate);

    // An error line on standard error ("varnel-cli: text"), written while the progress rows
    // may be on the screen: the rows are taken away first and drawn again below it, so that
    // the next redraw does not climb over the error.
    void Error(const QString &text);

    // The end of the run: the progress as it ended, the summary table, the failed ports and the
    // command that retries them; reportFailed: a report line could not be written.
    void Finish(const QList<TPortResult> &results, int exitCode, const QString &retryCommand,
                bool reportFailed = false);

    // Redraws the progress now (the timer does it a few times a second).
    void Redraw();

private:
    struct TPortView {
        QString Name;
        QString SerialNumber;
        QString Status;
        QString LinesSent;
        qint64 Sent = 0;
        qint64 Total = 0;
        bool GaugeSeen = false;
        bool Running = true;
        QString Outcome;       // set when ended
        int LastDecile = -1;   // plain output: the last tenth printed
        int StopRound = 0;     // the Ctrl-C round whose stop this port was sent; 0 none
        // Rate of acknowledged lines: counted from the first one seen.
        QElapsedTimer RateClock;
        qint64 RateBase = 0;
        TProgressFigures Figures() const;
    };
    using TQuestion = TFlowQuestion;

    static TQuestion Classify(const QString &title);
    QString Label(int port) const; // "" for one port, "[PORT] " for several
    bool Several() const { return ports_.size() > 1; }

    void Emit(const QJsonObject &event);   // --json: one line on standard output
    void PrintLines(const QStringList &lines); // human output above the progress rows
    void ClearRows();
    void DrawRows();
    void ScheduleRedraw();
    void ProgressChanged(int port);

    // Asks on the terminal; by names who answered.
    bool AskTerminal(int port, TQuestion kind, const QString &title, const QString &text, QString &by);
    int StartRound(bool presetYes);
    void ShowAnswer(int port, const QString &title, bool yes, const QString &by, bool quiet);

    TSettings settings_;
    QList<TPortView> ports_;
    QTextStream &out_;
    QTextStream &err_;
    QTimer redrawTimer_;
    int rowsShown_ = 0;

    std::optional<bool> beginAnswer_;
    std::optional<bool> restartAnswer_;
    int openRound_ = 0;            // the latest Ctrl-C round
    QMap<int, bool> roundAnswers_; // the Stop answer of each round, once given
    bool asking_ = false;          // a question waits on the terminal
    bool terminated_ = false;      // asked to terminate: no question is asked any more
    bool finished_ = false;        // the summary is out: the rows stay as they are
};
