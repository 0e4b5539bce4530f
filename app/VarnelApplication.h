#pragma once

#include <QApplication>
#include <QString>

// The application object. An exception that escapes an event handler ends the message loop
// here instead of unwinding through the toolkit; the program then reports it and ends.
class TVarnelApplication : public QApplication {
public:
    TVarnelApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    bool Failed() const { return failed_; }
    QString FailureMessage() const { return failureMessage_; }

    // The standard box for an exception that reached the start-up code: the application's title,
    // the exception's message (empty for an exception of an unknown kind), OK only.
    static void ShowException(const QString &message);

private:
    void Fail(const QString &message);

    bool failed_ = false;
    QString failureMessage_;
};
