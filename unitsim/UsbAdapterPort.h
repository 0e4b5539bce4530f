#pragma once

#include <QByteArray>
#include <QList>
#include <chrono>
#include <functional>

#include "seriallink/TComPort.h"

// The host's end of a simulated USB serial adapter: the real serial port, over the simulated
// unit's pseudo-terminal, whose every write reaches the line no sooner than the next USB frame
// (1 ms at full speed) after the previous write's, as each write to an adapter is a transfer
// of its own. The write waits for its frame, as a driver's write completes with its transfer.
// The line's end (received bytes held for the latency timer) is TPtyUnit::AdapterLatencyMs.
class TUsbAdapterPort : public TComPort {
public:
    // Length of a USB frame.
    std::chrono::microseconds Frame{1000};

    // How a write of the program goes out as transfers: unset, each write whole; otherwise the
    // pieces this gives, each a write of its own (to measure what more writes cost).
    std::function<QList<QByteArray>(const QByteArray &)> Split;

    int WriteBytes(const QByteArray &text) override;

    // Transfers made so far.
    qint64 Transfers() const { return transfers_; }

private:
    void AwaitNextFrame();

    std::chrono::steady_clock::time_point lastFrame_{};
    qint64 transfers_ = 0;
};
