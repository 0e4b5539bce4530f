// The single-instance guard on Windows: a named semaphore with one count in the session's own
// namespace, so that two users logged on at once each run one copy. The system drops the handle
// when the process ends, a crash included.
#include "app/SingleInstance.h"

#include <windows.h>

QString InstanceLockPath(const QString &instanceName)
{
    return instanceName; // a kernel object's name, not a file
}

TInstanceCheck TakeInstanceLock(const QString &instanceName)
{
    const std::wstring name = instanceName.toStdWString();
    HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 1, name.c_str());
    if (!semaphore)
        return TInstanceCheck::NoGuard;
    if (WaitForSingleObject(semaphore, 0) == WAIT_OBJECT_0)
        return TInstanceCheck::First; // the handle stays open and the count taken for the whole run
    CloseHandle(semaphore);
    return TInstanceCheck::AlreadyRunning;
}
