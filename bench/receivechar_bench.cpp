// ReceiveChar on the real port and the system clock, over a pseudo-terminal whose far end this
// program plays:
//  - idle cost: CPU time the process uses while ReceiveChar waits out a silent line, as a
//    share of the wait (the wait must sleep, not poll in a tight loop);
//  - turnaround: from a byte written on the far end (by another thread) to ReceiveChar
//    returning it, median and 99th percentile.
//
// Usage: receivechar_bench [--idle-seconds N] [--exchanges N]
#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include "seriallink/LinkPrimitives.h"
#include "seriallink/TComPort.h"

namespace {

using Clock = std::chrono::steady_clock;

// The window as far as the waits see it: pending events are handled, nothing is shown.
class TQuietSurface : public TOperatorSurface {
public:
    void SetStatusText(const QString &text) override { status_ = text; }
    QString StatusText() const override { return status_; }
    void ReportBox(const QString &, const QString &, TBoxIcon) override {}
    bool AskYesNo(const QString &, const QString &) override { return true; }
    void SetGaugeMaximum(int) override {}
    void SetGaugePosition(int) override {}
    void SetLinesSent(const QString &) override {}
    void ProcessPendingMessages() override { QCoreApplication::processEvents(); }
    QString UpdateFileName() const override { return {}; }
    void SetFileWarning(const QString &) override {}

private:
    QString status_;
};

double CpuSeconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> sorted, double p)
{
    std::sort(sorted.begin(), sorted.end());
    const size_t i = std::min(sorted.size() - 1, size_t(p * double(sorted.size() - 1) + 0.5));
    return sorted[i];
}

int ArgValue(int argc, char **argv, const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String(name))
            return std::atoi(argv[i + 1]);
    return fallback;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int idleSeconds = ArgValue(argc, argv, "--idle-seconds", 5);
    const int exchanges = ArgValue(argc, argv, "--exchanges", 200);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::fprintf(stderr, "no pseudo-terminal available\n");
        return 1;
    }
    termios tio {};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);

    TComPort port;
    TQuietSurface surface;
    TSystemClock clock;
    TWizardState state;
    TLink link(surface, port, clock, state);
    port.SetPort(QString::fromLocal8Bit(::ptsname(master)));
    port.SetBaudRate(br57600);
    try {
        port.OpenPort();
    } catch (const EComPort &e) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(port.Port()), e.what());
        return 1;
    }

    // Idle cost of a wait on a silent line.
    const double cpuBefore = CpuSeconds();
    const Clock::time_point idleStart = Clock::now();
    const QByteArray idleResult = link.ReceiveChar(idleSeconds);
    const double idleWall = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const double idleCpu = CpuSeconds() - cpuBefore;

    // Turnaround: the far end writes while ReceiveChar is asleep in its wait.
    std::atomic<int> armed {-1};
    std::atomic<long long> sentAtNs {0};
    std::thread farEnd([&] {
        for (int i = 0; i < exchanges; ++i) {
            while (armed.load(std::memory_order_acquire) != i)
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const char byte = char('A' + i % 26);
            sentAtNs.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
            if (::write(master, &byte, 1) != 1)
                std::fprintf(stderr, "far end write failed\n");
        }
    });
    std::vector<double> turnaroundUs;
    int wrong = 0;
    const double cpuExchangeBefore = CpuSeconds();
    const Clock::time_point exchangeStart = Clock::now();
    for (int i = 0; i < exchanges; ++i) {
        armed.store(i, std::memory_order_release);
        const QByteArray got = link.ReceiveChar(5);
        const long long receivedAtNs = Clock::now().time_since_epoch().count();
        if (got != QByteArray(1, char('A' + i % 26)))
            ++wrong;
        turnaroundUs.push_back(double(receivedAtNs - sentAtNs.load(std::memory_order_acquire)) / 1000.0);
    }
    const double exchangeWall = std::chrono::duration<double>(Clock::now() - exchangeStart).count();
    const double exchangeCpu = CpuSeconds() - cpuExchangeBefore;
    farEnd.join();
    port.ClosePort();
    ::close(master);

    std::printf("ReceiveChar(%d) on a silent line: result \"%s\" after %.3f s, CPU %.4f s = %.2f %% of the wait\n",
                idleSeconds, idleResult.constData(), idleWall, idleCpu, 100.0 * idleCpu / idleWall);
    std::printf("Turnaround over %d exchanges (far end writes 2 ms into the wait): median %.1f us, "
                "p99 %.1f us, max %.1f us; wrong bytes %d\n",
                exchanges, Percentile(turnaroundUs, 0.5), Percentile(turnaroundUs, 0.99),
                *std::max_element(turnaroundUs.begin(), turnaroundUs.end()), wrong);
    std::printf("CPU during the exchanges: %.3f s of %.3f s (%.1f %%, far end thread included)\n",
                exchangeCpu, exchangeWall, 100.0 * exchangeCpu / exchangeWall);
    return wrong == 0 && idleResult == "t" ? 0 : 1;
}
