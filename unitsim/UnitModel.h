#pragma once

#include <QByteArray>
#include <QString>

// The wire from the simulated unit back to the host. The transport decides how a delay is
// served: on virtual time in-process, in real time on a pseudo-terminal.
class TUnitLine {
public:
    virtual ~TUnitLine() = default;
    virtual void SendToHost(const QByteArray &bytes, qint64 delayMs) = 0;
};

// The far end of the serial line: takes the host's bytes as they arrive (in any chunking) and
// answers through its line.
class TUnitModel {
public:
    virtual ~TUnitModel() = default;
    void AttachLine(TUnitLine *line) { line_ = line; }

    virtual void FromHost(const QByteArray &bytes) = 0;

    // A human-readable account of what the unit received, printed by varnel-unitsim on exit.
    virtual QString Summary() const = 0;

protected:
    void Answer(const QByteArray &bytes, qint64 delayMs = 0)
    {
        if (line_)
            line_->SendToHost(bytes, delayMs);
    }

private:
    TUnitLine *line_ = nullptr;
};
