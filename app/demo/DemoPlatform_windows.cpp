// The demonstration on Windows: there are no pseudo-terminals, so the simulated unit cannot sit
// behind a port here; the demonstration runs against a real port (--port), such as a COM port
// that Wine maps to the line of a simulated unit on Linux.
#include "app/demo/DemoPlatform.h"

#include <cstdio>
#include <io.h>

std::unique_ptr<TSimulatedLine> StartSimulatedLine(TUnitModel &, QString *error)
{
    if (error)
        *error = QStringLiteral("the simulated unit needs a pseudo-terminal, which Windows does not have; "
                                "give --port with the COM port of a unit");
    return nullptr;
}

bool StdoutIsTerminal()
{
    return _isatty(_fileno(stdout));
}
