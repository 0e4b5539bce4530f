#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "operator/OperatorSurface.h"

// The answer to one question of a port's flow. The front end gives it once (true for Yes), at
// once or later, on its own thread; later answers are ignored. A question whose every copy of
// its answer has gone unanswered (a front end that dropped it, or went) is answered No, so a
// port's thread never waits on a front end that is not there.
class TStationAnswer {
public:
    explicit TStationAnswer(std::function<void(bool yes)> deliver);
    void operator()(bool yes) const;
    bool Given() const;

private:
    struct TState;
    std::shared_ptr<TState> state_;
};

// Where the workers of a station send what their flows show: one object on the front end's
// thread (the console of varnel-cli, the station window), called there for every port's status
// text, box, gauge change and question. Workers reach it through queued calls. A question does
// not hold the front end's thread: the port's thread waits for its answer, and the front end
// goes on with the other ports until it gives it.
class TStationSink : public QObject {
public:
    using QObject::QObject;

    virtual void Status(int port, const QString &text) = 0;
    virtual void Box(int port, const QString &title, const QString &text, TBoxIcon icon) = 0;
    virtual void GaugeMaximum(int port, int maximum) = 0;
    virtual void GaugePosition(int port, int position) = 0;
    virtual void LinesSent(int port, const QString &caption) = 0;
    virtual void Ask(int port, const QString &title, const QString &text, TStationAnswer answer) = 0;
};
