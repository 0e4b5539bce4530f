#include "PtyPair.h"

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

TPtyPair::TPtyPair()
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0)
        return;
    const char *name = nullptr;
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || (name = ::ptsname(fd)) == nullptr) {
        ::close(fd);
        return;
    }
    // Termios requests on the controlling end act on the terminal end: raw, so that nothing
    // echoes or translates before the port under test sets its own line settings.
    termios tio {};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    path_ = QString::fromLocal8Bit(name);
    master_ = fd;
    // A descriptor of the terminal end, only to look at its input queue.
    peek_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
}

TPtyPair::~TPtyPair()
{
    if (peek_ >= 0)
        ::close(peek_);
    if (master_ >= 0)
        ::close(master_);
}

bool TPtyPair::FarWrite(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray TPtyPair::FarRead(int want, int timeoutMs)
{
    QByteArray out;
    while (out.size() < want) {
        pollfd p {master_, POLLIN, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        if (r <= 0 || !(p.revents & POLLIN))
            break;
        char buf[512];
        const ssize_t n = ::read(master_, buf, qMin<size_t>(sizeof buf, size_t(want - out.size())));
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

bool TPtyPair::AwaitQueued(int n, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        int queued = 0;
        if (peek_ >= 0 && ::ioctl(peek_, FIONREAD, &queued) == 0 && queued >= n)
            return true;
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(2);
    }
}

int TPtyPair::FillTowardsFarEnd(char fill)
{
    if (peek_ < 0)
        return 0;
    // The kernel moves bytes between the pseudo-terminal's buffers in the background, so room
    // can come back after a write is refused: fill until a pause brings no more room.
    const QByteArray chunk(4096, fill);
    int total = 0;
    for (int quietRounds = 0; quietRounds < 3;) {
        int round = 0;
        for (;;) {
            const ssize_t n = ::write(peek_, chunk.constData(), size_t(chunk.size()));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            round += int(n);
        }
        total += round;
        quietRounds = round == 0 ? quietRounds + 1 : 0;
        QThread::msleep(20);
    }
    return total;
}

void TPtyPair::HangUp()
{
    if (peek_ >= 0)
        ::close(peek_);
    peek_ = -1;
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}
