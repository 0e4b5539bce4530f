#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <memory>

// What the command line needs of the console, per platform (Console_posix.cpp,
// Console_windows.cpp): whether standard input and output are terminals, the terminal's width,
// Ctrl-C as an event of the main thread's loop, and a line read for answers that Ctrl-C ends.

bool StdinIsTerminal();
bool StdoutIsTerminal();
bool StderrIsTerminal();

// Opens the process's controlling terminal for writing (a question shown there reaches the
// person at the keyboard when standard output and standard error go to a log). False when the
// process has none.
bool OpenControllingTerminal(QFile &file);

// Columns of the terminal standard output writes to; 80 when unknown.
int TerminalWidth();

// Lets the terminal act on the escape sequences that redraw the progress rows (the console's
// virtual-terminal processing on Windows; nothing to do elsewhere). False when it cannot.
bool EnableTerminalEscapes();

// Ctrl-C (and a request to terminate: SIGTERM, SIGHUP when the terminal closes or the remote
// session drops, closing the console window) turned into a signal
// of the object's thread, which must be the main thread. One watch at a time; while it lives,
// Ctrl-C no longer ends the process.
class TInterruptWatch : public QObject {
    Q_OBJECT
public:
    explicit TInterruptWatch(QObject *parent = nullptr);
    ~TInterruptWatch() override;

    // False when the platform refused the handler; Ctrl-C then ends the process as usual.
    bool Installed() const;

    // The interrupts that arrived and were not taken yet: their number, and whether one of them
    // asked the program to terminate. Interrupted is emitted for what the event loop finds;
    // ReadAnswerLine takes them itself when one ends the read.
    int TakeInterrupts(bool *terminate = nullptr);

signals:
    // count Ctrl-Cs (at least one); terminate when one was a request to terminate.
    void Interrupted(int count, bool terminate);

private:
    void Poll();
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// How a line read for an answer ended.
enum class TLineRead { Line, EndOfInput, Interrupted };

// Reads one line from standard input (without its line end), waiting until the line is
// complete, input ends or Ctrl-C arrives (only while a TInterruptWatch is installed).
TLineRead ReadAnswerLine(QString &line);
