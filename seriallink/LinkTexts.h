#pragma once

#include <QString>

// Texts that the link primitives and the update flows share; each is written once, here.
namespace LinkTexts {
inline const QString StopPromptTitle = QString::fromLatin1("Stop the update?");
inline const QString StopPromptText = QString::fromLatin1(
    "WARNING: You have paused the programming procedure. If you stop this procedure, the unit will "
    "not properly operate until the programming procedure is complete!  Select YES to stop "
    "programming, or NO to continue.");
// The status line at rest: the wizard shows it on every page, a flow at its start.
inline const QString Ready = QString::fromLatin1("Ready.");
inline const QString UserStopped = QString::fromLatin1("User has stopped the update.");
inline const QString SendFailed =
    QString::fromLatin1("Could not successfully send data using selected COM port.  Please try again.");
} // namespace LinkTexts
