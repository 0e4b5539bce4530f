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
    if (!semaphore) {
        // A first copy that runs elevated made the semaphore with a security that does not let
        // this copy open it with every right, which creating an existing one asks for: open it
        // for waiting on only. Where even that is refused, it still tells that a copy runs.
        const DWORD error = GetLastError();
        semaphore = OpenSemaphoreW(SYNCHRONIZE, FALSE, name.c_str());
        if (!semaphore)
            return error == ERROR_ACCESS_DENIED ? TInstanceCheck::AlreadyRunning : TInstanceCheck::NoGuard;
    }
    if (WaitForSingleObject(semaphore, 0) == WAIT_OBJECT_0)
        return TInstanceCheck::First; // the handle stays open and the count taken for the whole run
    CloseHandle(semaphore);
    return TInstanceCheck::AlreadyRunning;
}
