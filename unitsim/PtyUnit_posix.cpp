#include "unitsim/PtyUnit.h"

#include <QFile>
#include <algorithm>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <sys/prctl.h>
#endif

TPtyUnit::TPtyUnit(TUnitModel &model) : model_(model) {}

TPtyUnit::~TPtyUnit() { Stop(); }

void TPtyUnit::WithModel(const std::function<void(TUnitModel &)> &fn)
{
    std::lock_guard lock(modelMutex_);
    fn(model_);
}

TPtyUnit::TClock::duration TPtyUnit::ByteTime() const
{
    if (PaceBaud <= 0)
        return TClock::duration::zero();
    return std::chrono::duration_cast<TClock::duration>(std::chrono::nanoseconds(10'000'000'000LL / PaceBaud));
}

void TPtyUnit::SendToHost(const QByteArray &bytes, qint64 delayMs)
{
    const bool onUnitThread = std::this_thread::get_id() == unitThread_.load();
    // An answer to the host's bytes counts from the moment the last of them was through the
    // wire, not from when this thread got round to them.
    const TClock::time_point base = onUnitThread && answerBase_ ? *answerBase_ : TClock::now();
    {
        std::lock_guard lock(answersMutex_);
        answers_.emplace(base + std::chrono::milliseconds(std::max<qint64>(delayMs, 0)), bytes);
    }
    if (!onUnitThread)
        Wake();
}

qint64 TPtyUnit::NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(TClock::now().time_since_epoch()).count();
}

std::vector<TPtyUnit::TExchange> TPtyUnit::Exchanges() const
{
    std::lock_guard lock(exchangesMutex_);
    return exchanges_;
}

void TPtyUnit::ClearExchanges()
{
    std::lock_guard lock(exchangesMutex_);
    exchanges_.clear();
}

void TPtyUnit::NoteAnswerOut(TClock::time_point at)
{
    if (answersOnWire_.empty())
        return;
    TExchange e;
    e.Answer = answersOnWire_.front();
    answersOnWire_.pop_front();
    e.AnswerOutNs = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
    e.UnitBytesThrough = toHost_;
    e.HostBytesThrough = readFromHost_;
    std::lock_guard lock(exchangesMutex_);
    exchanges_.push_back(e);
}

void TPtyUnit::NoteHostIn(TClock::time_point at, char first)
{
    std::lock_guard lock(exchangesMutex_);
    if (exchanges_.empty() || exchanges_.back().NextInNs >= 0)
        return;
    TExchange &e = exchanges_.back();
    e.NextInNs = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
    e.NextByte = first;
    e.HostBytesBeforeNext = readFromHost_;
}

#ifdef _WIN32

bool TPtyUnit::Start(QString *error)
{
    if (error)
        *error = QStringLiteral("pseudo-terminals need a POSIX system");
    return false;
}

bool TPtyUnit::MakeLink(const QString &, QString *error)
{
    if (error)
        *error = QStringLiteral("pseudo-terminals need a POSIX system");
    return false;
}

void TPtyUnit::Stop() {}
void TPtyUnit::HangUp(qint64) {}
bool TPtyUnit::Reconnect(QString *error) { return Start(error); }
bool TPtyUnit::CutDue(TClock::time_point) { return false; }
void TPtyUnit::CutLine() {}
void TPtyUnit::CloseLine() {}
void TPtyUnit::Wake() {}
void TPtyUnit::Run() {}
void TPtyUnit::MoveDueAnswers(TClock::time_point) {}
void TPtyUnit::DeliverDueInput(TClock::time_point) {}
void TPtyUnit::WriteDueOutput(TClock::time_point) {}
void TPtyUnit::ReadInput(TClock::time_point) {}

#else

namespace {

QString SystemError(const QString &what, int err)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(err)));
}

void CloseFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool SetFlags(int fd)
{
    const int fl = ::fcntl(fd, F_GETFL);
    const int fdfl = ::fcntl(fd, F_GETFD);
    return fl >= 0 && fdfl >= 0 && ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) == 0
           && ::fcntl(fd, F_SETFD, fdfl | FD_CLOEXEC) == 0;
}

} // namespace

bool TPtyUnit::Start(QString *error)
{
    if (Running()) {
        if (error)
            *error = QStringLiteral("the unit is already running");
        return false;
    }
    const auto fail = [&](const QString &what) {
        const int err = errno;
        CloseFd(slave_);
        CloseFd(master_);
        CloseFd(wake_[0]);
        CloseFd(wake_[1]);
        if (error)
            *error = SystemError(what, err);
        return false;
    };

    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail(QStringLiteral("cannot open a pseudo-terminal"));
    if (!SetFlags(master_) || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail(QStringLiteral("cannot prepare the pseudo-terminal"));
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0)
        return fail(QStringLiteral("cannot name the pseudo-terminal's slave"));
    slavePath_ = QFile::decodeName(name);

    // Our own hold on the slave: the master then sees no hang-up while the host has the port
    // closed, and the raw line settings stay in place between the host's opens.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0)
        return fail(QStringLiteral("cannot open %1").arg(slavePath_));
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0)
        return fail(QStringLiteral("cannot read the line settings"));
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0)
        return fail(QStringLiteral("cannot set raw mode"));

    if (::pipe(wake_) != 0 || !SetFlags(wake_[0]) || !SetFlags(wake_[1]))
        return fail(QStringLiteral("cannot make the wake-up pipe"));

    stop_ = false;
    cut_ = false;
    readSinceStart_ = 0;
    cutArmed_ = CutAfterHostBytes >= 0;
    discardInput_ = false;
    {
        std::lock_guard lock(answersMutex_);
        cutAt_.reset();
    }
    answersOnWire_.clear();
    lastIn_ = lastOut_ = TClock::now();
    latencyFlush_.reset();
    model_.AttachLine(this);
    attached_ = true;
    thread_ = std::thread(&TPtyUnit::Run, this);
    return true;
}

bool TPtyUnit::MakeLink(const QString &linkPath, QString *error)
{
    const auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (slavePath_.isEmpty())
        return fail(QStringLiteral("the pseudo-terminal is not open"));
    const QByteArray path = QFile::encodeName(linkPath);
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0) {
        struct stat target {};
        const bool dangling = S_ISLNK(st.st_mode) && ::stat(path.constData(), &target) != 0 && errno == ENOENT;
        if (!dangling)
            return fail(QStringLiteral("%1 already exists; remove it or choose another name").arg(linkPath));
        if (::unlink(path.constData()) != 0)
            return fail(SystemError(QStringLiteral("cannot replace the stale link %1").arg(linkPath), errno));
    }
    if (::symlink(QFile::encodeName(slavePath_).constData(), path.constData()) != 0)
        return fail(SystemError(QStringLiteral("cannot create the link %1").arg(linkPath), errno));
    linkPath_ = linkPath;
    return true;
}

void TPtyUnit::Stop()
{
    CloseLine();
    if (!linkPath_.isEmpty()) {
        const QByteArray path = QFile::encodeName(linkPath_);
        char target[256] = {};
        const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
        if (n > 0 && QFile::decodeName(QByteArray(target, int(n))) == slavePath_)
            ::unlink(path.constData());
        linkPath_.clear();
    }
    if (attached_)
        model_.AttachLine(nullptr);
    attached_ = false;
}

// Ends the thread and closes the pseudo-terminal; the link and the model's record stay.
void TPtyUnit::CloseLine()
{
    if (thread_.joinable()) {
        stop_ = true;
        Wake();
        thread_.join();
        thread_ = std::thread();
    }
    CloseFd(slave_);
    CloseFd(master_);
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
    in_.clear();
    out_.clear();
    outBlocked_ = false;
    std::lock_guard lock(answersMutex_);
    answers_.clear();
}

bool TPtyUnit::Reconnect(QString *error)
{
    const QString link = linkPath_;
    CloseLine();
    linkPath_.clear();
    if (!Start(error))
        return false;
    if (link.isEmpty())
        return true;
    // The old link points to a slave that is gone, or that a new line took over by now.
    const QByteArray path = QFile::encodeName(link);
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(path.constData());
    return MakeLink(link, error);
}

void TPtyUnit::HangUp(qint64 delayMs)
{
    const bool onUnitThread = std::this_thread::get_id() == unitThread_.load();
    const TClock::time_point base = onUnitThread && answerBase_ ? *answerBase_ : TClock::now();
    {
        std::lock_guard lock(answersMutex_);
        if (cut_)
            return;
        const auto at = base + std::chrono::milliseconds(std::max<qint64>(delayMs, 0));
        if (!cutAt_ || at < *cutAt_)
            cutAt_ = at;
    }
    if (!onUnitThread)
        Wake();
}

// The cut is due at its time, once the answers due before it have left and the host has read
// them: some kernels drop what the slave has not read yet when the master closes, and an answer
// that was on the wire before the cable came out must reach the host. The kernel hands written
// bytes to the slave a moment later, so the last write must also be a little while ago. A host
// that reads nothing gets its cut a second late.
bool TPtyUnit::CutDue(TClock::time_point now)
{
    std::lock_guard lock(answersMutex_);
    if (cut_)
        cutAt_.reset();
    if (!cutAt_ || *cutAt_ > now)
        return false;
    if (now - *cutAt_ >= std::chrono::seconds(1))
        return true;
    if (!answers_.empty() && answers_.begin()->first <= *cutAt_)
        return false;
    // An answer due by the cut goes out whole, however long its bytes take on the wire.
    if (!out_.empty() && out_.front().Due <= *cutAt_)
        return false;
    int unread = 0;
    if (slave_ >= 0 && ::ioctl(slave_, FIONREAD, &unread) == 0 && unread > 0)
        return false;
    return now - lastWrite_ >= std::chrono::milliseconds(20);
}

// The pulled cable: the master and our hold on the slave close, so the host's descriptor on
// the slave reads and writes nothing but errors, and whatever was still on the wire is lost.
void TPtyUnit::CutLine()
{
    CloseFd(slave_);
    CloseFd(master_);
    in_.clear();
    out_.clear();
    answersOnWire_.clear();
    outBlocked_ = false;
    {
        std::lock_guard lock(answersMutex_);
        answers_.clear();
        cutAt_.reset();
    }
    cutArmed_ = false;
    ++cuts_;
    cut_ = true;
}

void TPtyUnit::Wake()
{
    if (wake_[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &c, 1);
    }
}

void TPtyUnit::MoveDueAnswers(TClock::time_point now)
{
    std::lock_guard lock(answersMutex_);
    const auto byteTime = ByteTime();
    while (!answers_.empty() && answers_.begin()->first <= now) {
        const auto due = answers_.begin()->first;
        const QByteArray &answer = answers_.begin()->second;
        for (const char c : answer) {
            lastOut_ = std::max(due, lastOut_) + byteTime;
            TClock::time_point toHost = lastOut_;
            if (AdapterLatencyMs > 0) {
                // Off the wire into the adapter, which passes it on with its held batch.
                if (!latencyFlush_ || lastOut_ > *latencyFlush_)
                    latencyFlush_ = lastOut_ + std::chrono::milliseconds(AdapterLatencyMs);
                toHost = *latencyFlush_;
            }
            out_.push_back({toHost, c, false, due});
        }
        if (!answer.isEmpty()) {
            out_.back().EndsAnswer = true;
            if (TimeExchanges)
                answersOnWire_.push_back(answer);
        }
        answers_.erase(answers_.begin());
    }
}

void TPtyUnit::DeliverDueInput(TClock::time_point now)
{
    QByteArray chunk;
    TClock::time_point through{};
    while (!in_.empty() && in_.front().At <= now) {
        chunk += in_.front().Byte;
        through = in_.front().At;
        in_.pop_front();
    }
    if (chunk.isEmpty())
        return;
    fromHost_ += chunk.size();
    std::lock_guard lock(modelMutex_);
    answerBase_ = through;
    model_.FromHost(chunk);
    answerBase_.reset();
}

void TPtyUnit::WriteDueOutput(TClock::time_point now)
{
    while (!outBlocked_ && !out_.empty() && out_.front().At <= now) {
        QByteArray chunk;
        for (auto it = out_.begin(); it != out_.end() && it->At <= now && chunk.size() < 4096; ++it)
            chunk += it->Byte;
        const ssize_t n = ::write(master_, chunk.constData(), size_t(chunk.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                outBlocked_ = true;
                return;
            }
            // The line is gone; what was on its way is lost, as on a pulled cable.
            for (auto it = out_.begin(); it != out_.begin() + chunk.size(); ++it)
                if (it->EndsAnswer && !answersOnWire_.empty())
                    answersOnWire_.pop_front();
            out_.erase(out_.begin(), out_.begin() + chunk.size());
            return;
        }
        const auto written = TClock::now();
        lastWrite_ = written;
        const auto sent = out_.begin() + n;
        qint64 counted = toHost_;
        for (auto it = out_.begin(); it != sent; ++it) {
            ++counted;
            if (it->EndsAnswer && TimeExchanges) {
                toHost_ = counted;
                NoteAnswerOut(written);
            }
        }
        toHost_ = counted;
        out_.erase(out_.begin(), sent);
        if (n < chunk.size())
            outBlocked_ = true;
    }
}

void TPtyUnit::ReadInput(TClock::time_point now)
{
    const auto byteTime = ByteTime();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        ssize_t take = n;
        if (cutArmed_) {
            // Bytes beyond the cut never reach the unit.
            const qint64 left = std::max<qint64>(CutAfterHostBytes - readSinceStart_, 0);
            take = ssize_t(std::min<qint64>(n, left));
            if (take == left) {
                cutArmed_ = false;
                discardInput_ = true;
                const auto through = std::max(now, lastIn_) + take * byteTime;
                std::lock_guard lock(answersMutex_);
                cutAt_ = through + std::chrono::milliseconds(std::max<qint64>(CutDelayMs, 0));
            }
        } else if (discardInput_) {
            take = 0; // the cut is on its way
        }
        readSinceStart_ += take;
        if (take <= 0)
            continue;
        if (TimeExchanges)
            NoteHostIn(now, buffer[0]);
        readFromHost_ += take;
        for (ssize_t i = 0; i < take; ++i) {
            lastIn_ = std::max(now, lastIn_) + byteTime;
            in_.push_back({lastIn_, buffer[i]});
        }
    }
}

void TPtyUnit::Run()
{
    unitThread_ = std::this_thread::get_id();
#ifdef __linux__
    // A paced line wakes this thread for every byte; the default timer slack (50 us) would
    // stretch each byte time at high bit rates.
    if (PaceBaud > 0)
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    bool hungUp = false;
    while (!stop_) {
        const auto now = TClock::now();
        MoveDueAnswers(now);
        DeliverDueInput(now);
        // Answers without delay go out in the same turn: the model stamped them after now.
        const auto afterModel = TClock::now();
        MoveDueAnswers(afterModel);
        WriteDueOutput(afterModel);
        if (CutDue(TClock::now())) {
            CutLine();
            continue;
        }

        // Sleep until the next byte is due, the host writes, or Stop/SendToHost wakes us.
        std::optional<TClock::time_point> next;
        const auto consider = [&](TClock::time_point t) {
            if (!next || t < *next)
                next = t;
        };
        {
            std::lock_guard lock(answersMutex_);
            if (!answers_.empty())
                consider(answers_.begin()->first);
            if (cutAt_)
                consider(std::max(*cutAt_, TClock::now() + std::chrono::milliseconds(1)));
        }
        if (!in_.empty())
            consider(in_.front().At);
        if (!out_.empty() && !outBlocked_)
            consider(out_.front().At);
        // The wait in nanoseconds (-1: until something happens). A paced byte is due to the
        // microsecond; a wait rounded up to whole milliseconds would stretch every exchange.
        long long waitNs = -1;
        if (next) {
            const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(*next - TClock::now()).count();
            waitNs = std::clamp<long long>(wait, 0, 60'000'000'000LL);
        }
        // A paced answer byte is what the host waits for: a timed sleep wakes tens of
        // microseconds late, which at 19200 baud is a few per cent of an exchange. Sleep to
        // shortly before it is due and watch the clock for the rest.
        if (PaceBaud > 0 && next && !outBlocked_ && !out_.empty() && out_.front().At == *next) {
            constexpr long long AnswerSpinNs = 120'000;
            if (waitNs <= AnswerSpinNs) {
                while (TClock::now() < *next) {
                }
                continue;
            }
            waitNs -= AnswerSpinNs;
        }
        // Without a slave open a master reports a hang-up on every poll; look again after a
        // short pause instead of spinning.
        constexpr long long HangUpPauseNs = 20'000'000;
        if (hungUp && (waitNs < 0 || waitNs > HangUpPauseNs))
            waitNs = HangUpPauseNs;

        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, short(POLLIN | (outBlocked_ ? POLLOUT : 0)), 0}};
        const nfds_t watched = hungUp || master_ < 0 ? 1 : 2;
#ifdef __linux__
        timespec timeout{time_t(waitNs / 1'000'000'000), long(waitNs % 1'000'000'000)};
        const int ready = ::ppoll(fds, watched, waitNs < 0 ? nullptr : &timeout, nullptr);
#else
        const int timeoutMs = waitNs < 0 ? -1 : int((waitNs + 999'999) / 1'000'000);
        const int ready = ::poll(fds, watched, timeoutMs);
#endif
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wake_[0], drain, sizeof drain) > 0) {
            }
        }
        if (hungUp || master_ < 0) {
            hungUp = false; // look at the master again next turn
            continue;
        }
        if (fds[1].revents & POLLIN)
            ReadInput(TClock::now());
        if (fds[1].revents & POLLOUT)
            outBlocked_ = false;
        hungUp = (fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLIN);
    }
}

#endif
