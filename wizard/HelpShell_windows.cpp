// The help launcher's shell on Windows: the shell's open operation, whose result is the code the
// help launcher's messages are chosen by.
#include "wizard/HelpShell.h"

#include <QGuiApplication>
#include <QWindow>

#include <windows.h>
#include <shellapi.h>

int OpenDocumentWithShell(const QString &path)
{
    // The program's window is the parent of anything the shell shows while it opens the page.
    HWND parent = nullptr;
    if (QWindow *window = QGuiApplication::focusWindow())
        parent = reinterpret_cast<HWND>(window->winId());
    const std::wstring file = path.toStdWString();
    const HINSTANCE result = ShellExecuteW(parent, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return int(reinterpret_cast<INT_PTR>(result));
}
