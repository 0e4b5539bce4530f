#pragma once

// A technician's terminal for varnel-cli: a pseudo-terminal in its usual, line-by-line mode, read
// as the screen shows it, typed into, and closed as a terminal window or a dropped remote session
// closes it.
#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "tests/cli/CliRig.h"

// How varnel-cli is started: by default the terminal is its standard input, output and error
// and its controlling terminal. Log: standard output and error go to that file instead
// (">log 2>&1"); Controlling false: a session without a controlling terminal.
struct TTerminalStart {
    QString Log;
    bool Controlling = true;
};

class TTechnicianTerminal {
public:
    TTechnicianTerminal()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        // Only this side holds the terminal: closed here, it is closed.
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        slave_ = QString::fromLocal8Bit(::ptsname(master_));
    }
    ~TTechnicianTerminal()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
        Close();
    }
    bool Ok() const { return !slave_.isEmpty(); }

    void Start(const QStringList &args, const TTerminalStart &how = {})
    {
        const QByteArray slave = slave_.toLocal8Bit();
        const QByteArray log = how.Log.toLocal8Bit();
        const bool controlling = how.Controlling;
        process.setProgram(CliPath());
        process.setArguments(args);
        process.setChildProcessModifier([slave, log, controlling] {
            ::setsid();
            // A session leader that opens a terminal without O_NOCTTY makes it its controlling one.
            const int fd = ::open(slave.constData(), controlling ? O_RDWR : O_RDWR | O_NOCTTY);
            if (fd < 0)
                ::_exit(127);
            if (controlling)
                ::ioctl(fd, TIOCSCTTY, 0);
            ::dup2(fd, 0);
            int outFd = fd;
            if (!log.isEmpty()) {
                outFd = ::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (outFd < 0)
                    ::_exit(127);
            }
            ::dup2(outFd, 1);
            ::dup2(outFd, 2);
            if (fd > 2)
                ::close(fd);
            if (outFd > 2 && outFd != fd)
                ::close(outFd);
        });
        process.start();
        process.waitForStarted(5000);
    }

    // Reads what the terminal shows until text has appeared count times, or timeoutMs.
    bool AwaitText(const QByteArray &text, int count = 1, int timeoutMs = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (master_ >= 0 && Screen.count(text) < count && t.elapsed() < timeoutMs) {
            pollfd fd{master_, POLLIN, 0};
            if (::poll(&fd, 1, 100) > 0) {
                char bytes[4096];
                const ssize_t n = ::read(master_, bytes, sizeof bytes);
                if (n <= 0)
                    break;
                Screen.append(bytes, n);
            }
        }
        return Screen.count(text) >= count;
    }

    void Type(const QByteArray &keys) { ASSERT_EQ(::write(master_, keys.constData(), size_t(keys.size())), keys.size()); }

    // The terminal window is closed: its side of the pseudo-terminal goes away, and the kernel
    // hangs up the session.
    void Close()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    QProcess process;
    QByteArray Screen;

private:
    int master_ = -1;
    QString slave_;
};

// The lines a terminal shows after the bytes written to it, for the few controls varnel-cli uses:
// CR, LF, cursor up (ESC [ n A) and clear to the end of the screen (ESC [ J).
inline QList<QByteArray> ScreenLines(const QByteArray &bytes)
{
    QList<QByteArray> lines{QByteArray()};
    qsizetype row = 0, column = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            if (++row >= lines.size())
                lines.append(QByteArray());
        } else if (c == '\x1b' && i + 1 < bytes.size() && bytes.at(i + 1) == '[') {
            qsizetype j = i + 2;
            int n = 0;
            while (j < bytes.size() && bytes.at(j) >= '0' && bytes.at(j) <= '9')
                n = n * 10 + (bytes.at(j++) - '0');
            if (j >= bytes.size())
                break;
            if (bytes.at(j) == 'A')
                row = qMax<qsizetype>(row - qMax(n, 1), 0);
            if (bytes.at(j) == 'J') {
                lines[row].truncate(column);
                lines.resize(row + 1);
            }
            i = j;
        } else {
            QByteArray &line = lines[row];
            if (column < line.size())
                line[column] = c;
            else
                line.append(QByteArray(column - line.size(), ' ') + c);
            ++column;
        }
    }
    return lines;
}
