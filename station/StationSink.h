#pragma once

#include <QObject>
#include <QString>

#include "operator/OperatorSurface.h"

// Where the workers of a station send what their flows show: one object on the front end's
// thread (the console of varnel-cli, the station window), called there for every port's status
// text, box, gauge change and question. Workers reach it through queued calls; a question is a
// blocking call, so a front end must answer it or let a stop or a signal end the wait.
class TStationSink : public QObject {
public:
    using QObject::QObject;

    virtual void Status(int port, const QString &text) = 0;
    virtual void Box(int port, const QString &title, const QString &text, TBoxIcon icon) = 0;
    virtual void GaugeMaximum(int port, int maximum) = 0;
    virtual void GaugePosition(int port, int position) = 0;
    virtual void LinesSent(int port, const QString &caption) = 0;
    // True for Yes.
    virtual bool Ask(int port, const QString &title, const QString &text) = 0;
};
