#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QFrame>
#include <QString>
#include <functional>

#include "operator/OperatorSurface.h"
#include "protocols/UpdateOutcome.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// One bay of the bench on the station window: its name, port and adapter, the unit's serial
// number, what the bay's flow shows (status text, gauge, lines sent, its boxes and questions),
// the time and the outcome. Status and gauge changes are kept until Flush() paints them, so a
// flow that reports a thousand lines a second costs the window a few repaints.
class TBayTile : public QFrame {
    Q_OBJECT
public:
    enum class TState { Unplugged, Idle, Running, Ended };

    explicit TBayTile(const QString &bayName, QWidget *parent = nullptr);

    QString BayName() const { return bayName_; }
    TState State() const { return state_; }

    // The bay's port as the port list shows it now: portName empty when the adapter is not
    // plugged in (given is then what the job names).
    void SetPort(const QString &given, const QString &portName, const QString &adapterSerial);
    bool Plugged() const { return plugged_; }

    QString UnitSerial() const;
    void FocusSerial();

    // What the flow shows; kept until Flush().
    void SetStatus(const QString &text);
    void SetGaugeMaximum(int maximum);
    void SetGaugePosition(int position);
    void SetLinesSent(const QString &caption);
    // Paints what changed since the last call; true when something was painted.
    bool Flush();
    int Paints() const { return paints_; }

    // A box of the flow: its title, text and icon stay on the tile until the bay starts again
    // or the operator dismisses it.
    void ShowBox(const QString &title, const QString &text, TBoxIcon icon);
    TBoxIcon BoxIcon() const { return boxIcon_; }
    QString BoxText() const;

    // A question of the flow on the tile: Yes and No buttons; answered is called once.
    void Ask(const QString &title, const QString &text, std::function<void(bool)> answered);
    void EndQuestion();
    bool Asking() const { return bool(answered_); }
    QString QuestionTitle() const { return answered_ ? questionTitle_ : QString(); }

    // The update's start and end: the outcome by word and colour, the duration, and why the
    // record could not be written (empty when it was).
    void Started();
    void Ended(const TUpdateOutcome &outcome, const QString &lastStatus, qint64 durationMs,
               const QString &recordError);
    QString OutcomeText() const;
    QString StatusText() const;

    QPushButton *StartButton() const { return start_; }
    QPushButton *StopButton() const { return stop_; }
    QPushButton *YesButton() const { return yes_; }
    QPushButton *NoButton() const { return no_; }

    // "m:ss".
    static QString FormatTime(qint64 ms);

protected:
    void paintEvent(QPaintEvent *event) override;

signals:
    void StartClicked();
    void StopClicked();
    void SerialEntered();

private:
    void Answer(bool yes);
    void UpdateButtons();
    void SetFrameColour(const QString &colour);
    void SetOutcomeColour(const QString &colour);
    void ShowMessage(const QString &title, const QString &text, TBoxIcon icon);
    int MessageHeight(bool question) const;

    const QString bayName_;
    TState state_ = TState::Unplugged;
    bool plugged_ = false;
    QString given_;
    QColor frameColour_;

    QLabel *name_;
    QLabel *port_;
    QLineEdit *serial_;
    QLabel *status_;
    QProgressBar *progress_;
    QLabel *time_;
    QLabel *outcome_;
    QLabel *icon_;
    QLabel *message_;
    QPushButton *start_;
    QPushButton *stop_;
    QPushButton *yes_;
    QPushButton *no_;
    QPushButton *dismiss_;

    // Kept for Flush().
    QString statusPending_;
    int maximumPending_ = 1;
    int positionPending_ = 0;
    QString linesPending_;
    bool dirty_ = false;
    int paints_ = 0;
    QElapsedTimer clock_;
    qint64 shownSecond_ = -1;

    TBoxIcon boxIcon_ = TBoxIcon::None;
    QString boxTitle_;
    QString boxText_;
    std::function<void(bool)> answered_;
    QString questionTitle_;
};
