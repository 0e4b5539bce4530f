#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include "CaptureLine.h"
#include "protocols/UpdateFlows.h"
#include "seriallink/LinkPrimitives.h"
#include "seriallink/TComPort.h"
#include "tests/support/RecordingSurface.h"
#include "unitsim/PtyUnit.h"
#include "unitsim/UnitFamilies.h"

namespace {

// The host's end of the line, with plain POSIX calls.
class THostEnd {
public:
    explicit THostEnd(const QString &path)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios tio{};
            ::tcgetattr(fd_, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~THostEnd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }

    void Write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else
                ::usleep(1000);
        }
    }

    // Reads until count bytes arrived or timeoutMs passed.
    QByteArray Read(int count, int timeoutMs)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < count && timer.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(timeoutMs - timer.elapsed())) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }

    QByteArray Exchange(const QByteArray &bytes, int count = 1, int timeoutMs = 2000)
    {
        Write(bytes);
        return Read(count, timeoutMs);
    }

private:
    int fd_ = -1;
};

qint64 ProcessCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

TEST(PtyUnit, AnswersAcrossManyOpensAndClosesOfTheSlave)
{
    TUpdateModeUnit unit;
    TPtyUnit pty(unit);
    QString error;
    ASSERT_TRUE(pty.Start(&error)) << error.toStdString();
    ASSERT_TRUE(pty.SlavePath().startsWith(QStringLiteral("/dev/")));
    for (int i = 0; i < 20; ++i) {
        THostEnd host(pty.SlavePath());
        ASSERT_TRUE(host.IsOpen()) << "open " << i;
        EXPECT_EQ(host.Exchange("P"), "P") << "open " << i;
    }
    {
        THostEnd host(pty.SlavePath());
        EXPECT_EQ(host.Exchange("p"), "p");
        EXPECT_EQ(host.Exchange("S9030000FC\r\n"), "!");
    }
    int contacts = 0;
    pty.WithModel([&](TUnitModel &) { contacts = unit.ContactRequests; });
    EXPECT_EQ(contacts, 20);
    pty.Stop();
    EXPECT_FALSE(pty.Running());
    EXPECT_EQ(unit.Accepted, QList<QByteArray>{"S9030000FC"});
    EXPECT_EQ(pty.BytesFromHost(), 20 + 1 + 12);
    EXPECT_EQ(pty.BytesToHost(), 22);
}

TEST(PtyUnit, WaitsWithoutSpinningWhileNoHostHoldsThePort)
{
    TAnyUnit unit;
    TPtyUnit pty(unit);
    ASSERT_TRUE(pty.Start());
    {
        THostEnd host(pty.SlavePath());
        EXPECT_EQ(host.Exchange("P"), "P");
    }
    const qint64 before = ProcessCpuMs();
    ::usleep(600'000);
    EXPECT_LT(ProcessCpuMs() - before, 150);
    THostEnd again(pty.SlavePath());
    EXPECT_EQ(again.Exchange("P"), "P") << "still answering after the idle time";
}

struct TTiming {
    const char *Name;
    int PaceBaud;
    qint64 AnswerDelayMs;
    qint64 AtLeastMs;
    qint64 AtMostMs;
    int AdapterLatencyMs = 0; // a USB adapter's latency timer between unit and host
};

void PrintTo(const TTiming &t, std::ostream *os) { *os << t.Name; }

class PtyUnitTiming : public ::testing::TestWithParam<TTiming> {};

// A 100-byte line and its one-byte answer: 101 bytes on the wire.
TEST_P(PtyUnitTiming, AnswerTakesItsDelayAndTheBytesTheirTimeOnTheWire)
{
    TUpdateModeUnit unit(ScriptOf({}, 0, GetParam().AnswerDelayMs));
    TPtyUnit pty(unit);
    pty.PaceBaud = GetParam().PaceBaud;
    pty.AdapterLatencyMs = GetParam().AdapterLatencyMs;
    ASSERT_TRUE(pty.Start());
    THostEnd host(pty.SlavePath());
    ASSERT_EQ(host.Exchange("P", 1, 5000), "P");
    ASSERT_EQ(host.Exchange("p", 1, 5000), "p");
    const QByteArray line = "S1" + QByteArray(96, '0') + "\r\n";
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(host.Exchange(line, 1, 5000), ".");
    EXPECT_GE(timer.elapsed(), GetParam().AtLeastMs);
    EXPECT_LE(timer.elapsed(), GetParam().AtMostMs);
}

INSTANTIATE_TEST_SUITE_P(Table, PtyUnitTiming,
                         ::testing::Values(TTiming{"Unpaced", 0, 0, 0, 150},
                                           TTiming{"AnswerDelay", 0, 300, 295, 600},
                                           TTiming{"Paced2400", 2400, 0, 415, 800},
                                           TTiming{"PacedWithDelay", 4800, 100, 305, 650},
                                           // The answer waits for the adapter's timer after the wire.
                                           TTiming{"BehindAdapterAt16ms", 0, 0, 16, 300, 16},
                                           TTiming{"PacedBehindAdapterAt16ms", 2400, 0, 431, 900, 16}),
                         [](const auto &info) { return std::string(info.param.Name); });

TEST(PtyUnit, LinkPointsToTheSlaveAndGoesAwayOnStop)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("ttyV0"));

    TModuleUnit unit;
    TPtyUnit pty(unit);
    QString error;
    EXPECT_FALSE(pty.MakeLink(link, &error)) << "no pseudo-terminal yet";
    ASSERT_TRUE(pty.Start());
    ASSERT_TRUE(pty.MakeLink(link, &error)) << error.toStdString();
    EXPECT_EQ(QFile::symLinkTarget(link), pty.SlavePath());
    {
        THostEnd host(link);
        ASSERT_TRUE(host.IsOpen());
        host.Write(QByteArray(1, char(0xF0)) + BootloaderBlock(TBootloaderImage::Module));
        EXPECT_EQ(host.Exchange("."), ".");
    }

    // A second unit cannot take the same name.
    TModuleUnit otherUnit;
    TPtyUnit other(otherUnit);
    ASSERT_TRUE(other.Start());
    error.clear();
    EXPECT_FALSE(other.MakeLink(link, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("already exists")));
    EXPECT_EQ(QFile::symLinkTarget(link), pty.SlavePath());

    pty.Stop();
    EXPECT_FALSE(QFileInfo::exists(link) || QFileInfo(link).isSymLink());
    EXPECT_TRUE(unit.BlockMatchesImage);
    EXPECT_EQ(unit.ContactRequests, 1);
}

TEST(PtyUnit, LinkNeverReplacesAFileButReplacesADanglingLink)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ttyV1"));
    const QString dangling = dir.filePath(QStringLiteral("ttyV2"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dangling));

    TMonitorUnit unit;
    TPtyUnit pty(unit);
    ASSERT_TRUE(pty.Start());
    QString error;
    EXPECT_FALSE(pty.MakeLink(file, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(pty.MakeLink(dir.filePath(QStringLiteral("no/such/dir/ttyV3")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(pty.MakeLink(dangling, &error)) << error.toStdString();
    EXPECT_EQ(QFile::symLinkTarget(dangling), pty.SlavePath());
    pty.Stop();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "keep me");
    EXPECT_FALSE(QFileInfo(dangling).isSymLink());
}

// The updater's serial layer on the other end: it opens the slave, talks, closes, and opens
// it again; a port it holds stays busy for a second opener.
TEST(PtyUnit, SerialPortOpensTheSlaveAgainAndAgainAndHoldsItBusy)
{
    TUpdateModeUnit unit;
    TPtyUnit pty(unit);
    ASSERT_TRUE(pty.Start());
    for (int i = 0; i < 5; ++i) {
        QSerialPort port(pty.SlavePath());
        port.setBaudRate(57600);
        ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << "open " << i << ": " << port.errorString().toStdString();
        QSerialPort second(pty.SlavePath());
        EXPECT_FALSE(second.open(QIODevice::ReadWrite)) << "a held port is busy";
        port.write("P");
        ASSERT_TRUE(port.waitForBytesWritten(1000));
        QByteArray got;
        while (got.isEmpty() && port.waitForReadyRead(2000))
            got += port.readAll();
        EXPECT_EQ(got, "P") << "open " << i;
        port.close();
    }
    QSerialPort after(pty.SlavePath());
    EXPECT_TRUE(after.open(QIODevice::ReadWrite)) << "free again once closed";
}

TEST(PtyUnit, StopIsSafeTwiceAndDetachesTheModel)
{
    TCaptureLine line;
    TUpdateModeUnit unit;
    {
        TPtyUnit pty(unit);
        ASSERT_TRUE(pty.Start());
        pty.Stop();
        pty.Stop();
    }
    unit.FromHost("P"); // no line attached any more: must not reach the destroyed transport
    EXPECT_EQ(unit.ContactRequests, 1);
    unit.AttachLine(&line);
    unit.FromHost("P");
    EXPECT_EQ(line.All(), "P");
}

// Exchange timing pairs each answer with the first byte the host sent after it, and counts the
// bytes of both directions up to each point.
TEST(PtyUnit, ExchangeTimingPairsEachAnswerWithTheHostsNextByte)
{
    TUpdateModeUnit unit;
    TPtyUnit pty(unit);
    pty.TimeExchanges = true;
    ASSERT_TRUE(pty.Start());
    const QByteArray data = "S1050000AABB95\r\n";
    const QByteArray end = "S9030000FC\r\n";
    {
        THostEnd host(pty.SlavePath());
        ASSERT_EQ(host.Exchange("P"), "P");
        ASSERT_EQ(host.Exchange("p"), "p");
        ASSERT_EQ(host.Exchange(data), ".");
        ASSERT_EQ(host.Exchange(end), "!");
    }
    pty.Stop();

    const auto ex = pty.Exchanges();
    ASSERT_EQ(ex.size(), 4u);
    const QList<QByteArray> answers{ex[0].Answer, ex[1].Answer, ex[2].Answer, ex[3].Answer};
    EXPECT_EQ(answers, (QList<QByteArray>{"P", "p", ".", "!"}));
    EXPECT_EQ((std::string{ex[0].NextByte, ex[1].NextByte, ex[2].NextByte}), "pSS");
    EXPECT_EQ(ex[3].NextInNs, -1) << "nothing followed the end answer";
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_GE(ex[i].NextInNs, ex[i].AnswerOutNs) << i;
        EXPECT_EQ(ex[i].UnitBytesThrough, qint64(i + 1)) << i;
    }
    EXPECT_EQ(ex[0].HostBytesBeforeNext, 1);
    EXPECT_EQ(ex[1].HostBytesBeforeNext, 2);
    EXPECT_EQ(ex[2].HostBytesBeforeNext, 2 + data.size());
    EXPECT_EQ(ex[3].HostBytesThrough, 2 + data.size() + end.size());
    EXPECT_EQ(pty.BytesReadFromHost(), 2 + data.size() + end.size());

    pty.ClearExchanges();
    EXPECT_TRUE(pty.Exchanges().empty());
}

// On a paced line a one-byte command and its one-byte answer take two byte times, never less;
// at 57600 baud that is 0.35 ms, and the unit's waits must not round it up to whole
// milliseconds. Measured at the unit: from the host's byte in to the answer's byte out.
TEST(PtyUnit, PacedExchangeTakesItsWireTimeToTheMicrosecond)
{
    TUpdateModeUnit unit;
    TPtyUnit pty(unit);
    pty.PaceBaud = 57600;
    pty.TimeExchanges = true;
    ASSERT_TRUE(pty.Start());
    {
        THostEnd host(pty.SlavePath());
        for (int i = 0; i < 21; ++i)
            ASSERT_EQ(host.Exchange("P"), "P") << i;
    }
    pty.Stop();

    const auto ex = pty.Exchanges();
    ASSERT_EQ(ex.size(), 21u);
    const qint64 twoByteTimesNs = 2 * 10'000'000'000LL / 57600;
    std::vector<qint64> spans;
    for (size_t i = 1; i < ex.size(); ++i) {
        const qint64 span = ex[i].AnswerOutNs - ex[i - 1].NextInNs;
        EXPECT_GE(span, twoByteTimesNs) << "exchange " << i << " beat the wire";
        spans.push_back(span);
    }
    std::sort(spans.begin(), spans.end());
    EXPECT_LT(spans[spans.size() / 2], 900'000) << "paced waits rounded up to milliseconds";
}

} // namespace

// The program's own serial port and link primitives against the unit: probes (open and close)
// between the exchanges, a busy port while held, and the conversation picking up where it was.
TEST(PtyUnit, ProgramPortProbesAndTalksToTheUnit)
{
    TUpdateModeUnit unit(ScriptOf({"contact=Q*1"}, 200, 0));
    TPtyUnit pty(unit);
    ASSERT_TRUE(pty.Start());
    TRecordingSurface surface;
    TComPort port;
    TSystemClock clock;
    TWizardState state;
    TLink link(surface, port, clock, state);

    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(link.ProbePort(pty.SlavePath())) << "probe " << i;
    port.SetBaudRate(br57600);
    port.OpenPort();
    TComPort second;
    second.SetPort(pty.SlavePath());
    EXPECT_THROW(second.OpenPort(), EComPort) << "a held port is busy";
    EXPECT_TRUE(link.SendChar('P'));
    EXPECT_EQ(link.ReceiveChar(5), "Q");
    EXPECT_TRUE(link.SendChar('P'));
    EXPECT_EQ(link.ReceiveChar(5), "P");
    port.ClosePort();

    EXPECT_TRUE(link.ProbePort(pty.SlavePath()));
    port.OpenPort();
    port.PurgeQueues(true, true);
    EXPECT_TRUE(link.SendChar('p'));
    EXPECT_EQ(link.ReceiveChar(5), "p");
    EXPECT_TRUE(link.SendText("S9030000FC\r\n"));
    EXPECT_EQ(link.ReceiveChar(5), "!");
    port.ClosePort();
    pty.Stop();
    EXPECT_EQ(unit.Commands, "PPp");
    EXPECT_EQ(unit.Accepted, QList<QByteArray>{"S9030000FC"});
}

// A pulled cable: the answer owed before the cut still arrives, then the program's reads fail
// (a receive that fails ends as a stop) and so do its writes; the port's name is gone until a
// new line is plugged in behind the same link, which then serves the same unit.
TEST(PtyUnit, PulledCableFailsTheProgramsReadsAndWritesAndAReplugServesAgain)
{
    TUpdateModeUnit unit(ScriptOf({"contact@2=P+hangup*1"}));
    TPtyUnit pty(unit);
    ASSERT_TRUE(pty.Start());
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("ttyV0"));
    ASSERT_TRUE(pty.MakeLink(link));

    TRecordingSurface surface;
    TComPort port;
    TSystemClock clock;
    TWizardState state;
    TLink host(surface, port, clock, state);
    port.SetBaudRate(br57600);
    port.SetPort(link);
    port.OpenPort();
    EXPECT_TRUE(host.SendChar('P'));
    EXPECT_EQ(host.ReceiveChar(5), "P");
    EXPECT_TRUE(host.SendChar('P'));
    EXPECT_EQ(host.ReceiveChar(5), "P") << "the answer before the cut is lost";
    QElapsedTimer timer;
    timer.start();
    while (!pty.LineCut() && timer.elapsed() < 2000)
        QThread::msleep(5);
    ASSERT_TRUE(pty.LineCut());
    EXPECT_FALSE(state.StopRequested);
    EXPECT_EQ(host.ReceiveChar(5), "s");
    EXPECT_TRUE(state.StopRequested) << "a failed receive ends as a stop";
    EXPECT_LT(timer.elapsed(), 2000) << "the failed receive waited for its time-out";
    EXPECT_FALSE(host.SendChar('P'));
    EXPECT_FALSE(host.SendText("S9030000FC\r\n"));
    EXPECT_NO_THROW(port.ClosePort());
    EXPECT_FALSE(host.ProbePort(link)) << "a pulled line is no port";

    ASSERT_TRUE(pty.Reconnect());
    EXPECT_FALSE(pty.LineCut());
    EXPECT_EQ(pty.Cuts(), 1);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), pty.SlavePath());
    state.StopRequested = false;
    ASSERT_TRUE(host.ProbePort(link));
    port.OpenPort();
    EXPECT_TRUE(host.SendChar('P'));
    EXPECT_EQ(host.ReceiveChar(5), "P");
    port.ClosePort();
    pty.Stop();
    EXPECT_EQ(unit.Commands, "PPP");
    EXPECT_FALSE(QFileInfo::exists(link));
}

// A cut at a byte count: the unit takes exactly that many of the host's bytes, and the line
// goes the given time after the last of them.
TEST(PtyUnit, CutAfterHostBytesTakesExactlyThoseBytesAndCutsAfterTheDelay)
{
    TUpdateModeUnit unit(ScriptOf({"contact=Q"}));
    TPtyUnit pty(unit);
    pty.CutAfterHostBytes = 5;
    pty.CutDelayMs = 300;
    ASSERT_TRUE(pty.Start());
    THostEnd host(pty.SlavePath());
    ASSERT_TRUE(host.IsOpen());
    QElapsedTimer timer;
    timer.start();
    host.Write("PPPPPPPP");
    EXPECT_EQ(host.Read(5, 2000), "QQQQQ");
    while (!pty.LineCut() && timer.elapsed() < 3000)
        QThread::msleep(2);
    ASSERT_TRUE(pty.LineCut());
    EXPECT_GE(timer.elapsed(), 280);
    EXPECT_EQ(host.Read(1, 200), QByteArray()) << "nothing after the cut";
    pty.Stop();
    EXPECT_EQ(unit.ContactRequests, 5);
    EXPECT_EQ(pty.BytesFromHost(), 5);
}
