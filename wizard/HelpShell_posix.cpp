// The help launcher's shell on Linux: the desktop opens the document, and how that went maps to
// the result codes of the shell's open operation.
#include "wizard/HelpShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {
constexpr int ShellFileNotFound = 2;
constexpr int ShellAccessDenied = 5;
constexpr int ShellNoAssociation = 31;
constexpr int ShellSuccess = 42;
} // namespace

int OpenDocumentWithShell(const QString &path)
{
    const QString local = QDir::fromNativeSeparators(path);
    const QFileInfo info(local);
    if (!info.exists() || !info.isFile())
        return ShellFileNotFound;
    if (!info.isReadable())
        return ShellAccessDenied;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
        return ShellNoAssociation;
    return ShellSuccess;
}
