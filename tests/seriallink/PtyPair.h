#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal for serial-port tests: the program's port opens the terminal end by its
// path, the test plays the far end of the line on the controlling end. Both ends are raw, so
// bytes pass unchanged.
class TPtyPair {
public:
    TPtyPair();
    ~TPtyPair();
    TPtyPair(const TPtyPair &) = delete;
    TPtyPair &operator=(const TPtyPair &) = delete;

    bool Ok() const { return master_ >= 0; }
    // Path of the terminal end, e.g. /dev/pts/3.
    QString Path() const { return path_; }
    int MasterFd() const { return master_; }

    // Writes from the far end; true when every byte went.
    bool FarWrite(const QByteArray &bytes);
    // Reads on the far end until want bytes came or timeoutMs passed without a new byte.
    QByteArray FarRead(int want, int timeoutMs);
    // Waits until the terminal end's input queue holds at least n bytes (the kernel moves the
    // far end's bytes over asynchronously); false after timeoutMs.
    bool AwaitQueued(int n, int timeoutMs);
    // Writes fill bytes from the terminal end towards the far end, which does not read them,
    // until the line takes no more; the number written.
    int FillTowardsFarEnd(char fill);
    // The far end goes away (as a USB adapter pulled out): the terminal end is hung up.
    void HangUp();

private:
    int master_ = -1;
    int peek_ = -1;
    QString path_;
};
