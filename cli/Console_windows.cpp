// The console on Windows: _isatty for the standard handles, the console's screen buffer for the
// width and its virtual-terminal processing for the redraws, SetConsoleCtrlHandler with an
// event that a QWinEventNotifier watches, and a line read that Ctrl-C cancels.
#include "cli/Console.h"

#include <QByteArray>
#include <QWinEventNotifier>

#include <atomic>
#include <cstdio>
#include <io.h>
#include <windows.h>

namespace {
// Set by the console's handler thread, read by the main thread.
HANDLE g_event = nullptr;           // signalled while interrupts wait to be taken
HANDLE g_mainThread = nullptr;      // the thread whose line read Ctrl-C cancels
std::atomic<int> g_interrupts{0};
std::atomic<bool> g_terminate{false};
std::atomic<bool> g_reading{false};

BOOL WINAPI OnConsoleControl(DWORD type)
{
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_terminate = true;
        break;
    default:
        return FALSE;
    }
    ++g_interrupts;
    if (g_event)
        SetEvent(g_event);
    // A line read for an answer waits inside the console; Ctrl-C ends it.
    if (g_reading && g_mainThread)
        CancelSynchronousIo(g_mainThread);
    return TRUE;
}

int Take(bool *terminate)
{
    const int count = g_interrupts.exchange(0);
    const bool term = g_terminate.exchange(false);
    if (terminate)
        *terminate = term;
    if (g_event)
        ResetEvent(g_event);
    return count;
}
} // namespace

bool StdinIsTerminal()
{
    return _isatty(_fileno(stdin)) != 0;
}

bool StdoutIsTerminal()
{
    return _isatty(_fileno(stdout)) != 0;
}

bool StderrIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

bool OpenControllingTerminal(QFile &)
{
    return false; // questions are shown on standard output or standard error only
}

int TerminalWidth()
{
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 0)
            return width;
    }
    return 80;
}

bool EnableTerminalEscapes()
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode))
        return false;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING)
        return true;
    return SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

struct TInterruptWatch::TImpl {
    bool installed = false;
    std::unique_ptr<QWinEventNotifier> notifier;
};

TInterruptWatch::TInterruptWatch(QObject *parent) : QObject(parent), impl_(std::make_unique<TImpl>())
{
    if (g_event)
        return; // one watch at a time
    g_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_event)
        return;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_mainThread, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        g_mainThread = nullptr;
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
        CloseHandle(g_event);
        g_event = nullptr;
        if (g_mainThread)
            CloseHandle(g_mainThread);
        g_mainThread = nullptr;
        return;
    }
    impl_->installed = true;
    impl_->notifier = std::make_unique<QWinEventNotifier>(g_event);
    connect(impl_->notifier.get(), &QWinEventNotifier::activated, this, [this] { Poll(); });
}

TInterruptWatch::~TInterruptWatch()
{
    if (!impl_->installed)
        return;
    impl_->notifier.reset();
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    CloseHandle(g_event);
    g_event = nullptr;
    if (g_mainThread)
        CloseHandle(g_mainThread);
    g_mainThread = nullptr;
}

bool TInterruptWatch::Installed() const
{
    return impl_->installed;
}

int TInterruptWatch::TakeInterrupts(bool *terminate)
{
    return Take(terminate);
}

TLineRead ReadAnswerLine(QString &line)
{
    line.clear();
    if (g_interrupts > 0)
        return TLineRead::Interrupted;
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in == INVALID_HANDLE_VALUE || in == nullptr)
        return TLineRead::EndOfInput;
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode) != 0;

    QString text;
    QByteArray bytes;
    g_reading = true;
    bool ended = false;
    for (;;) {
        if (g_interrupts > 0) {
            g_reading = false;
            return TLineRead::Interrupted;
        }
        if (console) {
            wchar_t c = 0;
            DWORD got = 0;
            if (!ReadConsoleW(in, &c, 1, &got, nullptr) || got == 0) {
                // Ctrl-C ends a console read without a character (or cancels it).
                if (g_interrupts > 0) {
                    g_reading = false;
                    return TLineRead::Interrupted;
                }
                ended = true;
                break;
            }
            if (c == L'\n')
                break;
            if (c == 0x1A && text.isEmpty()) { // Ctrl-Z: end of input on the console
                ended = true;
                break;
            }
            text.append(QChar(c));
        } else {
            char c = 0;
            DWORD got = 0;
            if (!ReadFile(in, &c, 1, &got, nullptr) || got == 0) {
                if (g_interrupts > 0) {
                    g_reading = false;
                    return TLineRead::Interrupted;
                }
                ended = true;
                break;
            }
            if (c == '\n')
                break;
            bytes.append(c);
        }
    }
    g_reading = false;
    if (!console)
        text = QString::fromLocal8Bit(bytes);
    if (ended && text.isEmpty())
        return TLineRead::EndOfInput;
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    line = text;
    return TLineRead::Line;
}
