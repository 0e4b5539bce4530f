#include "unitsim/UsbAdapterPort.h"

#include <thread>

void TUsbAdapterPort::AwaitNextFrame()
{
    using TClock = std::chrono::steady_clock;
    const auto now = TClock::now();
    // Frames start at whole multiples of the frame length on the steady clock.
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch());
    auto frame = TClock::time_point(std::chrono::duration_cast<TClock::duration>(
        (sinceEpoch / Frame + 1) * Frame));
    if (frame <= lastFrame_)
        frame = lastFrame_ + Frame;
    lastFrame_ = frame;
    // Sleep to shortly before the frame (a timed sleep wakes late by tens of microseconds),
    // then watch the clock.
    constexpr auto Spin = std::chrono::microseconds(100);
    if (frame - TClock::now() > Spin)
        std::this_thread::sleep_until(frame - Spin);
    while (TClock::now() < frame) {
    }
}

int TUsbAdapterPort::WriteBytes(const QByteArray &text)
{
    if (text.isEmpty() || !Connected())
        return TComPort::WriteBytes(text);
    const QList<QByteArray> pieces = Split ? Split(text) : QList<QByteArray>{text};
    int written = 0;
    for (const QByteArray &piece : pieces) {
        AwaitNextFrame();
        ++transfers_;
        const int n = TComPort::WriteBytes(piece);
        written += n;
        if (n < piece.size())
            break;
    }
    return written;
}
