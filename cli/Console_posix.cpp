// The console on POSIX systems: isatty, the window size of the terminal, SIGINT, SIGTERM and
// SIGHUP through a self-pipe read by a QSocketNotifier, and a line read that poll() lets a signal end.
#include "cli/Console.h"

#include <QByteArray>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// The self-pipe: the signal handler writes one byte per signal ('i' for Ctrl-C, 't' for a
// request to terminate: SIGTERM, or SIGHUP when the terminal went away); the main thread reads
// them.
int g_pipe[2] = {-1, -1};

extern "C" void OnSignal(int number)
{
    const int saved = errno;
    const char byte = number == SIGINT ? 'i' : 't';
    if (g_pipe[1] >= 0) {
        const ssize_t written = ::write(g_pipe[1], &byte, 1);
        (void)written; // a full pipe already holds enough interrupts
    }
    errno = saved;
}

void SetNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// Drains the pipe: the number of signals read, terminate set when one asked for that.
int DrainPipe(bool *terminate)
{
    int count = 0;
    if (g_pipe[0] < 0)
        return 0;
    char bytes[64];
    for (;;) {
        const ssize_t n = ::read(g_pipe[0], bytes, sizeof bytes);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            ++count;
            if (bytes[i] == 't' && terminate)
                *terminate = true;
        }
    }
    return count;
}
} // namespace

bool StdinIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool StdoutIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

bool StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

bool OpenControllingTerminal(QFile &file)
{
    // O_NOCTTY: opening it must never make a terminal the controlling one.
    const int fd = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

int TerminalWidth()
{
    winsize size {};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

bool EnableTerminalEscapes()
{
    return true;
}

struct TInterruptWatch::TImpl {
    bool installed = false;
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
    struct sigaction oldHup {};
    struct sigaction oldPipe {};
    std::unique_ptr<QSocketNotifier> notifier;
};

TInterruptWatch::TInterruptWatch(QObject *parent) : QObject(parent), impl_(std::make_unique<TImpl>())
{
    if (g_pipe[0] >= 0 || ::pipe(g_pipe) != 0)
        return; // one watch at a time
    SetNonBlocking(g_pipe[0]);
    SetNonBlocking(g_pipe[1]);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A closed terminal or a dropped remote session (SIGHUP) ends the run as SIGTERM does: every
    // unit is told it was stopped and every record written, instead of the process dying with
    // the units in the middle of their flash.
    if (::sigaction(SIGINT, &action, &impl_->oldInt) != 0 || ::sigaction(SIGTERM, &action, &impl_->oldTerm) != 0
        || ::sigaction(SIGHUP, &action, &impl_->oldHup) != 0) {
        ::sigaction(SIGINT, &impl_->oldInt, nullptr);
        ::sigaction(SIGTERM, &impl_->oldTerm, nullptr);
        ::close(g_pipe[0]);
        ::close(g_pipe[1]);
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    // A reader that went away (standard output piped into a program that ended, a closed
    // terminal) must not end an update half way: the write fails instead, and the update goes
    // on.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &impl_->oldPipe);

    impl_->installed = true;
    impl_->notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(impl_->notifier.get(), &QSocketNotifier::activated, this, [this] { Poll(); });
}

TInterruptWatch::~TInterruptWatch()
{
    if (!impl_->installed)
        return;
    impl_->notifier.reset();
    ::sigaction(SIGINT, &impl_->oldInt, nullptr);
    ::sigaction(SIGTERM, &impl_->oldTerm, nullptr);
    ::sigaction(SIGHUP, &impl_->oldHup, nullptr);
    ::sigaction(SIGPIPE, &impl_->oldPipe, nullptr);
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

bool TInterruptWatch::Installed() const
{
    return impl_->installed;
}

int TInterruptWatch::TakeInterrupts(bool *terminate)
{
    if (terminate)
        *terminate = false;
    return DrainPipe(terminate);
}

TLineRead ReadAnswerLine(QString &line)
{
    line.clear();
    QByteArray bytes;
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_pipe[0], POLLIN, 0}};
        const nfds_t count = g_pipe[0] >= 0 ? 2 : 1;
        const int ready = ::poll(fds, count, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return TLineRead::EndOfInput;
        }
        // A pending interrupt ends the read; it stays in the pipe for TakeInterrupts.
        if (count == 2 && (fds[1].revents & POLLIN))
            return TLineRead::Interrupted;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char c = 0;
            const ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0) {
                if (bytes.isEmpty())
                    return TLineRead::EndOfInput;
                break; // a last line without line end
            }
            if (c == '\n')
                break;
            bytes.append(c);
        }
    }
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    line = QString::fromLocal8Bit(bytes);
    return TLineRead::Line;
}
