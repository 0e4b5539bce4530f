#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class TDemoMainF;

// A scripted technician for the headless demonstration: picks the unit type, the port (the
// simulated unit's, or a real one) and the sample file, presses Next and Begin, answers every question as a person would
// (Yes: the unit is in its mode, go on; Yes: restart the unit) and confirms every report box.
// Prints each status text with a time stamp and the progress, saves a screenshot at the end and
// quits with 0 only when the update completed.
class TDemoTechnician : public QObject {
    Q_OBJECT

public:
    TDemoTechnician(TDemoMainF &window, QString unitName, QString portName, QString filePath, QString screenshotPath);

    void Start();
    void Status(const QString &text);
    void Progress(int position, int maximum);

private:
    void Step();
    void AnswerBoxes();
    void Finish(bool completed, const QString &why = QString());
    QString Stamp() const;
    void Say(const QString &line);
    bool PressNext(int expectedPage);

    TDemoMainF &window_;
    QString unitName_;
    QString portName_;
    QString filePath_;
    QString screenshotPath_;
    QElapsedTimer clock_;
    QTimer boxTimer_;
    QTimer watchdog_;
    bool progressOpen_ = false;
    bool interactiveTerminal_ = false;
    int lastPrintedPercent_ = -1;
};
