#pragma once

#include <QString>

// Keeps one copy of the program per user session: the first copy takes an instance lock named
// after the program and holds it until the process ends (a crash included).
enum class TInstanceCheck {
    First,          // the lock is ours for the whole run
    AlreadyRunning, // another copy holds it
    NoGuard         // the lock could not be made: run without the guard
};

// Takes the named instance lock. Taken once per process; the lock is never given back.
TInstanceCheck TakeInstanceLock(const QString &instanceName);

// Where the lock of that name lives: a file on Linux, the kernel object's name on Windows.
QString InstanceLockPath(const QString &instanceName);
