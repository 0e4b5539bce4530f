// The demonstration on Linux: the simulated unit answers behind a pseudo-terminal.
#include "app/demo/DemoPlatform.h"

#include <cstdio>
#include <unistd.h>

#include "unitsim/PtyUnit.h"

namespace {
class TPtyLine : public TSimulatedLine {
public:
    explicit TPtyLine(TUnitModel &unit) : pty_(unit) {}
    bool Start(QString *error) { return pty_.Start(error); }
    QString DevicePath() const override { return pty_.SlavePath(); }
    void Stop() override { pty_.Stop(); }

private:
    TPtyUnit pty_;
};
} // namespace

std::unique_ptr<TSimulatedLine> StartSimulatedLine(TUnitModel &unit, QString *error)
{
    auto line = std::make_unique<TPtyLine>(unit);
    if (!line->Start(error))
        return nullptr;
    return line;
}

bool StdoutIsTerminal()
{
    return isatty(fileno(stdout));
}
