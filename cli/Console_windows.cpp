// The console on Windows: GetConsoleMode for "is a terminal" (a console, not merely a character
// device: NUL is one too), the console's screen buffer for the width and its virtual-terminal
// processing for the redraws, UTF-8 as the console's output code page for the run,
// SetConsoleCtrlHandler with an event that a QWinEventNotifier watches, and a line read that
// Ctrl-C cancels.
#include "cli/Console.h"

#include <QByteArray>
#include <QWinEventNotifier>

#include <atomic>
#include <mutex>
#include <windows.h>

namespace {
// Set by the console's handler thread, read by the main thread.
HANDLE g_event = nullptr;           // signalled while interrupts wait to be taken
HANDLE g_mainThread = nullptr;      // the thread whose line read Ctrl-C cancels
std::mutex g_handles;               // g_event and g_mainThread between the two threads
std::atomic<int> g_interrupts{0};
std::atomic<bool> g_terminate{false};
std::atomic<bool> g_reading{false};
// Set when the watch ends, that is when the command has written its last line: the handler of
// a closing console holds the process until then.
HANDLE const g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// How long the handler of a closing console, a logoff or a shutdown holds the process for the
// update to stop and write its report; the system ends the process after 5 s in any case.
constexpr DWORD CloseGraceMs = 4500;
// How long a console read that ended without a character waits for the Ctrl-C that may have
// ended it: the console ends the read before the handler thread has run.
constexpr DWORD InterruptGraceMs = 300;

// Qt's text streams write UTF-8; the console shows it right only with that output code page.
// The console's own is given back at exit, so that the next program in it sees its own.
struct TUtf8Output {
    UINT saved = 0;
    TUtf8Output()
    {
        const UINT current = GetConsoleOutputCP();
        if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
            saved = current;
    }
    ~TUtf8Output()
    {
        if (saved)
            SetConsoleOutputCP(saved);
    }
} g_utf8Output;

BOOL WINAPI OnConsoleControl(DWORD type)
{
    bool closing = false;
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // What SIGTERM is on Linux: every port stops without a question.
        g_terminate = true;
        closing = true;
        break;
    default:
        return FALSE;
    }
    {
        const std::lock_guard<std::mutex> lock(g_handles);
        ++g_interrupts;
        if (g_event)
            SetEvent(g_event);
        // A line read for an answer waits inside the console; Ctrl-C ends it.
        if (g_reading && g_mainThread)
            CancelSynchronousIo(g_mainThread);
    }
    // Returning ends the process at once: first let the update stop and write its report.
    if (closing && g_finished)
        WaitForSingleObject(g_finished, CloseGraceMs);
    return TRUE;
}

bool IsConsole(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

// True when an interrupt arrives within the grace time (or has already).
bool InterruptFollows()
{
    if (g_interrupts > 0)
        return true;
    HANDLE event = nullptr;
    {
        const std::lock_guard<std::mutex> lock(g_handles);
        event = g_event;
    }
    if (event)
        WaitForSingleObject(event, InterruptGraceMs);
    return g_interrupts > 0;
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
    return IsConsole(STD_INPUT_HANDLE);
}

bool StdoutIsTerminal()
{
    return IsConsole(STD_OUTPUT_HANDLE);
}

bool StderrIsTerminal()
{
    return IsConsole(STD_ERROR_HANDLE);
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
    if (g_finished)
        ResetEvent(g_finished);
    impl_->notifier = std::make_unique<QWinEventNotifier>(g_event);
    connect(impl_->notifier.get(), &QWinEventNotifier::activated, this, [this] { Poll(); });
}

TInterruptWatch::~TInterruptWatch()
{
    if (!impl_->installed)
        return;
    impl_->notifier.reset();
    // The command has written its last line: a closing console may end the process now.
    if (g_finished)
        SetEvent(g_finished);
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    const std::lock_guard<std::mutex> lock(g_handles);
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
                // Ctrl-C ends a console read without a character (or cancels it), before the
                // handler thread has counted it.
                if (InterruptFollows()) {
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
