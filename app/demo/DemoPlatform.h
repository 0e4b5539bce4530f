#pragma once

#include <QString>
#include <memory>

class TUnitModel;

// What the demonstration needs from the operating system: a line to the simulated unit and the
// kind of output it prints to. Each platform has its own file (DemoPlatform_posix.cpp,
// DemoPlatform_windows.cpp).

// The line to the simulated unit: a device the program opens as its serial port.
class TSimulatedLine {
public:
    virtual ~TSimulatedLine() = default;
    virtual QString DevicePath() const = 0;
    virtual void Stop() = 0;
};

// Starts the simulated unit behind a line of its own; null, with the reason in error, where
// that cannot be done.
std::unique_ptr<TSimulatedLine> StartSimulatedLine(TUnitModel &unit, QString *error);

// True when standard output is a terminal (progress is then redrawn in place).
bool StdoutIsTerminal();
