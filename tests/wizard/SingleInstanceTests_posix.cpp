// The single-instance lock, taken in this process (locks on separate opens of the file exclude
// each other even within one process).
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/SingleInstance.h"
#include "wizard/TextFormat.h"
#include "wizard/WizardTexts.h"

namespace {

// Points XDG_RUNTIME_DIR somewhere else for the life of the object.
class TRuntimeDir {
public:
    explicit TRuntimeDir(const QByteArray &value) : old_(qgetenv("XDG_RUNTIME_DIR")), had_(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
    {
        if (value.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", value);
    }
    ~TRuntimeDir()
    {
        if (had_)
            qputenv("XDG_RUNTIME_DIR", old_);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }

private:
    QByteArray old_;
    bool had_;
};

QString UniqueName()
{
    return QStringLiteral("VarnelTest-%1.SEMAPHORE").arg(QUuid::createUuid().toString(QUuid::Id128));
}

TEST(SingleInstance, TheInstanceNameComesFromTheProgramName)
{
    EXPECT_EQ(FormatText(WizardTexts::InstanceNameFormat, {QStringLiteral("Varnel")}), QStringLiteral("Varnel.SEMAPHORE"));
}

TEST(SingleInstance, TheSecondTakerFindsTheFirstRunning)
{
    QTemporaryDir runtime;
    TRuntimeDir env(runtime.path().toLocal8Bit());
    const QString name = UniqueName();
    EXPECT_EQ(InstanceLockPath(name), runtime.filePath(name));
    EXPECT_EQ(TakeInstanceLock(name), TInstanceCheck::First);
    EXPECT_EQ(TakeInstanceLock(name), TInstanceCheck::AlreadyRunning);
    EXPECT_EQ(TakeInstanceLock(UniqueName()), TInstanceCheck::First); // another name is another lock
}

TEST(SingleInstance, WithoutARuntimeFolderTheLockIsPerUserInTheTempFolder)
{
    TRuntimeDir env{QByteArray()};
    const QString path = InstanceLockPath(QStringLiteral("Varnel.SEMAPHORE"));
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QStringLiteral("Varnel.SEMAPHORE")));
    EXPECT_TRUE(path.contains(QString::number(getuid())));
}

TEST(SingleInstance, ALockThatCannotBeMadeLetsTheProgramRunUnguarded)
{
    QTemporaryDir runtime;
    TRuntimeDir env(runtime.path().toLocal8Bit());
    const QString name = UniqueName();
    ASSERT_TRUE(QDir(runtime.path()).mkdir(name)); // a folder where the lock file should be
    EXPECT_EQ(TakeInstanceLock(name), TInstanceCheck::NoGuard);
    EXPECT_EQ(TakeInstanceLock(name), TInstanceCheck::NoGuard);
}

} // namespace
