#pragma once

#include <QString>
#include <optional>

#include "seriallink/PortScan.h"

// The hint of one item of the port list: the adapter's facts that are known (the system's name
// for the port, description, manufacturer, serial number, USB ids, stable by-id name, the socket
// it is plugged into), one a line; then for a busy port why (held, naming the holder when it is
// known; gone; not answering); then a Bluetooth or network port, and a latency timer above
// 1 ms. Empty when nothing is known and there is nothing to say.
QString PortItemHint(const TPortFacts &facts, TPortBusy busy, const std::optional<TPortHolder> &holder);
