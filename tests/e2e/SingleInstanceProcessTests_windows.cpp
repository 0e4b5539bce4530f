// The single-instance semaphore with real copies of the program: a second copy waits on its box
// and never takes the count; a copy that was killed outright does not block the next start.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include <windows.h>

namespace {

const wchar_t *const InstanceName = L"Varnel.SEMAPHORE";

QString Program()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../app/varnel.exe"));
}

bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// True while a copy holds the semaphore's one count. The look opens the semaphore for an
// instant only: a handle kept open here would keep the semaphore (and its taken count) alive
// after the copy that took it has gone.
bool CountTaken()
{
    HANDLE semaphore = OpenSemaphoreW(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, InstanceName);
    if (!semaphore)
        return false; // nobody has it open: the next copy makes a fresh one with count 1
    const bool taken = WaitForSingleObject(semaphore, 0) == WAIT_TIMEOUT;
    if (!taken)
        ReleaseSemaphore(semaphore, 1, nullptr);
    CloseHandle(semaphore);
    return taken;
}

std::unique_ptr<QProcess> Start()
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(Program(), {});
    EXPECT_TRUE(process->waitForStarted(20000));
    return process;
}

void Stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
}

class SingleInstanceProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo(Program()).exists())
            GTEST_SKIP() << "program not built: " << Program().toStdString();
        ASSERT_FALSE(CountTaken()) << "a copy of Varnel is already running";
    }
};

TEST_F(SingleInstanceProcess, ACopyKilledOutrightDoesNotBlockTheNextStart)
{
    auto first = Start();
    ASSERT_TRUE(WaitFor(CountTaken, 20000));
    first->kill(); // no clean-up of its own: the system closes its handle
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_TRUE(WaitFor([] { return !CountTaken(); }, 10000));

    auto next = Start();
    EXPECT_TRUE(WaitFor(CountTaken, 20000)) << "the next copy did not take the semaphore";
    EXPECT_EQ(next->state(), QProcess::Running);
    Stop(*next);
}

TEST_F(SingleInstanceProcess, ASecondCopyWaitsOnItsBoxAndLeavesTheFirstAlone)
{
    auto first = Start();
    ASSERT_TRUE(WaitFor(CountTaken, 20000));
    auto second = Start();
    // The second copy stays up only while its box waits for OK.
    QThread::msleep(2000);
    EXPECT_EQ(second->state(), QProcess::Running);
    EXPECT_EQ(first->state(), QProcess::Running);
    Stop(*first);
    // With the first copy gone the count is free, though the second copy is still up: it gave
    // its handle back before showing the box.
    EXPECT_TRUE(WaitFor([] { return !CountTaken(); }, 10000));
    Stop(*second);
}

} // namespace
