// What Windows tells about a serial port's adapter and its holder: nothing yet. The registry's
// port list names no adapter, and a port held by another program is only seen as busy.
#include "seriallink/PortFacts.h"

TPortFacts SystemPortFacts(const QString &)
{
    return {};
}

std::optional<TPortHolder> SystemPortHolder(const QString &)
{
    return std::nullopt;
}

bool IsAccessDenialError(int)
{
    // Windows answers a port held by another program with "access denied" too.
    return false;
}
