// The single-instance semaphore, taken in this process: a second take of the same name finds
// the count gone, another name is another semaphore.
#include <QUuid>
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include "app/SingleInstance.h"
#include "wizard/TextFormat.h"
#include "wizard/WizardTexts.h"

namespace {

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
    const QString name = UniqueName();
    EXPECT_EQ(InstanceLockPath(name), name);
    EXPECT_EQ(TakeInstanceLock(name), TInstanceCheck::First);
    EXPECT_EQ(TakeInstanceLock(name), TInstanceCheck::AlreadyRunning);
    EXPECT_EQ(TakeInstanceLock(name), TInstanceCheck::AlreadyRunning);
    EXPECT_EQ(TakeInstanceLock(UniqueName()), TInstanceCheck::First); // another name is another semaphore
}

TEST(SingleInstance, ANameTheSystemRefusesLetsTheProgramRunUnguarded)
{
    // A backslash names a namespace; an unknown one cannot be created.
    EXPECT_EQ(TakeInstanceLock(QStringLiteral("NoSuchNamespace\\Varnel.SEMAPHORE")), TInstanceCheck::NoGuard);
}

// A first copy that runs elevated: its semaphore lets others wait on it, nothing more.
TEST(SingleInstance, ACopyBesideAnElevatedFirstOneFindsItRunning)
{
    const QString name = UniqueName();
    const std::wstring wide = name.toStdWString();
    SECURITY_ATTRIBUTES security {};
    security.nLength = sizeof security;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                                     &security.lpSecurityDescriptor, nullptr));
    HANDLE first = CreateSemaphoreW(&security, 1, 1, wide.c_str());
    LocalFree(security.lpSecurityDescriptor);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(TakeInstanceLock(name), TInstanceCheck::AlreadyRunning);
    CloseHandle(first);
}

} // namespace
