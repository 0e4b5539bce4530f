#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The wire from the simulated unit back to the host. The transport decides how a delay is
// served: on virtual time in-process, in real time on a pseudo-terminal.
class TUnitLine {
public:
    virtual ~TUnitLine() = default;
    virtual void SendToHost(const QByteArray &bytes, qint64 delayMs) = 0;

    // Cuts the line delayMs from now, as a pulled cable does, once every answer due by then has
    // gone out. A transport that cannot be cut ignores it.
    virtual void HangUp(qint64 delayMs) { (void)delayMs; }
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

    // A scripted answer: the bytes (none for silence), then the cut line when asked for.
    void Respond(const std::optional<QByteArray> &answer, qint64 delayMs, bool hangUp)
    {
        if (answer)
            Answer(*answer, delayMs);
        if (hangUp && line_)
            line_->HangUp(delayMs);
    }

private:
    TUnitLine *line_ = nullptr;
};
