// The single-instance guard with real copies of the program: a second copy refuses to run and
// shows no window; a copy that was killed does not block the next start.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <cstring>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral(VARNEL_BINARY_DIR "/app/varnel");
const QString InstanceName = QStringLiteral("Varnel.SEMAPHORE");

bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(50);
    }
    return true;
}

// The process holding an exclusive flock on the file, read from the kernel's lock table so
// that looking does not take the lock itself; 0 when nobody holds it.
qint64 LockHolder(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray inode = ":" + QByteArray::number(qulonglong(info.st_ino));
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"
        if (fields.size() >= 6 && fields.at(1) == "FLOCK" && fields.at(3) == "WRITE" && fields.at(5).endsWith(inode))
            return fields.at(4).toLongLong();
    }
    return 0;
}

// A copy of the program with its own runtime folder (so no copy outside the test interferes).
std::unique_ptr<QProcess> Start(const QString &runtime, const QString &platform, const QString &display = QString())
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(Program, {});
    EXPECT_TRUE(process->waitForStarted(10000));
    return process;
}

void Stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(5000);
}

class SingleInstanceProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo(Program).isExecutable())
            GTEST_SKIP() << "program not built: " << Program.toStdString();
        ASSERT_TRUE(runtime.isValid());
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        lock = QDir(runtime.path()).filePath(InstanceName);
    }
    QTemporaryDir runtime;
    QString lock;
};

TEST_F(SingleInstanceProcess, ACopyKilledOutrightDoesNotBlockTheNextStart)
{
    auto first = Start(runtime.path(), QStringLiteral("offscreen"));
    ASSERT_TRUE(WaitFor([&] { return LockHolder(lock) == first->processId(); }, 15000));
    ::kill(pid_t(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(5000));

    auto next = Start(runtime.path(), QStringLiteral("offscreen"));
    EXPECT_TRUE(WaitFor([&] { return LockHolder(lock) == next->processId(); }, 15000))
        << "the next copy did not take the instance lock";
    EXPECT_EQ(next->state(), QProcess::Running);
    Stop(*next);
}

TEST_F(SingleInstanceProcess, ASecondCopyHeadlessWaitsOnItsBoxAndLeavesTheFirstAlone)
{
    auto first = Start(runtime.path(), QStringLiteral("offscreen"));
    ASSERT_TRUE(WaitFor([&] { return LockHolder(lock) == first->processId(); }, 15000));
    auto second = Start(runtime.path(), QStringLiteral("offscreen"));
    // The second copy stays up only while its box waits for OK; it never holds the lock.
    QThread::msleep(1500);
    EXPECT_EQ(second->state(), QProcess::Running);
    EXPECT_EQ(LockHolder(lock), first->processId());
    EXPECT_EQ(first->state(), QProcess::Running);
    Stop(*second);
    Stop(*first);
}

// True when the X server of display number n takes a connection on its local socket.
bool AcceptsConnection(int n)
{
    const QByteArray path = QStringLiteral("/tmp/.X11-unix/X%1").arg(n).toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

// A private X server with xdotool, to see the windows the copies open and press OK. The server
// chooses its display itself (it takes the first free one atomically, so a server starting
// elsewhere at the same moment cannot win it) and says which on its standard output; the
// display is used once a client completes the handshake. It never resets when its last client
// leaves (-noreset): a copy connecting while the server resets after xdotool's visit could not
// open its display.
class TPrivateDisplay {
public:
    TPrivateDisplay()
    {
        xvfb_ = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        xdotool_ = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        if (xvfb_.isEmpty() || xdotool_.isEmpty())
            return;
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start(xvfb_, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                              QStringLiteral("-noreset")});
        if (!server_.waitForStarted(5000))
            return;
        QElapsedTimer waited;
        waited.start();
        while (!server_.canReadLine() && server_.state() != QProcess::NotRunning && waited.elapsed() < 20000)
            server_.waitForReadyRead(100);
        if (!server_.canReadLine())
            return;
        bool ok = false;
        const int n = server_.readLine().trimmed().toInt(&ok);
        if (!ok || !WaitFor([n] { return AcceptsConnection(n); }, 20000))
            return;
        // A socket that takes a connection is not yet a server that completes the X handshake;
        // a real client asking for the screen's size is.
        const QString display = QStringLiteral(":%1").arg(n);
        if (WaitFor([&] { return !XdotoolOn(display, {QStringLiteral("getdisplaygeometry")}).isEmpty(); }, 20000))
            display_ = display;
    }
    ~TPrivateDisplay()
    {
        server_.terminate();
        server_.waitForFinished(5000);
    }
    bool Ready() const { return !display_.isEmpty(); }
    // Hands the server's process over to another thread (made on one, ended on another).
    void MoveTo(QThread *thread) { server_.moveToThread(thread); }
    QString Display() const { return display_; }

    // Window ids found by xdotool with these arguments.
    QStringList Xdotool(const QStringList &args) const { return XdotoolOn(display_, args); }
    QStringList XdotoolOn(const QString &display, const QStringList &args) const
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        tool.setProcessEnvironment(env);
        tool.start(xdotool_, args);
        tool.waitForFinished(10000);
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList Windows(qint64 pid, const QString &name) const
    {
        return Xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"), name});
    }

private:
    QString xvfb_;
    QString xdotool_;
    QString display_;
    QProcess server_;
};

// Two servers started at the same moment (two test programs under load) get a display each, and
// each takes connections when it is handed out.
TEST(PrivateDisplay, TwoStartedAtOnceGetADisplayEachThatTakesConnections)
{
    std::unique_ptr<TPrivateDisplay> a, b;
    QThread *const here = QThread::currentThread();
    std::thread other([&b, here] {
        b = std::make_unique<TPrivateDisplay>();
        b->MoveTo(here);
    });
    a = std::make_unique<TPrivateDisplay>();
    other.join();
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    ASSERT_TRUE(a->Ready());
    ASSERT_TRUE(b->Ready());
    EXPECT_NE(a->Display(), b->Display());
    for (const TPrivateDisplay *x : {a.get(), b.get()})
        EXPECT_TRUE(AcceptsConnection(x->Display().mid(1).toInt())) << x->Display().toStdString();
}

TEST_F(SingleInstanceProcess, ASecondCopyShowsTheLoadingErrorBoxOnlyAndEndsWithZeroOnOk)
{
    TPrivateDisplay x;
    if (!x.Ready())
        GTEST_SKIP() << "needs Xvfb and xdotool";
    const QString caption = QStringLiteral("^Varnel version 1\\.70$");
    auto first = Start(runtime.path(), QStringLiteral("xcb"), x.Display());
    ASSERT_TRUE(WaitFor([&] { return !x.Windows(first->processId(), caption).isEmpty(); }, 20000));

    auto second = Start(runtime.path(), QStringLiteral("xcb"), x.Display());
    QStringList box;
    ASSERT_TRUE(WaitFor([&] { return !(box = x.Windows(second->processId(), QStringLiteral("^Loading Error$"))).isEmpty(); },
                        20000));
    EXPECT_TRUE(x.Windows(second->processId(), caption).isEmpty()) << "the second copy opened a main window";

    // OK on the box ends the second copy with exit code 0; the first runs on.
    x.Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box.first()});
    x.Xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("Return")});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(LockHolder(lock), first->processId());

    // Exit on the first copy's window (at the screen's top-left corner) ends it with 0 too.
    x.Xdotool({QStringLiteral("mousemove"), QStringLiteral("463"), QStringLiteral("394"), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_EQ(first->exitCode(), 0);
}

} // namespace
