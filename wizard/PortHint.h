#pragma once

#include <QString>
#include <optional>

#include "seriallink/PortScan.h"

// The hint of one item of the port list: the adapter's facts that are known (description,
// manufacturer, serial number, USB ids, stable by-id name), one a line; then for a busy port why,
// naming the holder when it is known; then a latency timer above 1 ms. Empty when nothing is
// known and there is nothing to say.
QString PortItemHint(const TPortFacts &facts, TPortBusy busy, const std::optional<TPortHolder> &holder);
