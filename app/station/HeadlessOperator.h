#pragma once

#include <QObject>
#include <QString>
#include <QTextStream>

class TStationWindow;

// The operator of a headless run: presses Start all, answers every question Yes (the Begin
// question once for the bays that start together), prints each bay's outcome as it ends, and
// when the last bay has ended saves a picture of the window and ends the program: exit code 0
// only when every bay of the job completed.
class THeadlessOperator : public QObject {
    Q_OBJECT
public:
    THeadlessOperator(TStationWindow &window, const QString &screenshot, QTextStream &out);

    void Start();

private:
    void Answer(int bay);
    void Finish();

    TStationWindow &window_;
    const QString screenshot_;
    QTextStream &out_;
    int started_ = 0;
    int ended_ = 0;
    int completed_ = 0;
    bool finished_ = false;
};
