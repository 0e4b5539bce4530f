#pragma once

#include <QByteArray>
#include <QString>

#include "seriallink/ComPort.h"
#include "seriallink/LinkClock.h"
#include "operator/OperatorSurface.h"
#include "operator/WizardState.h"

// The blocking link primitives that the checks and update flows are written with: send,
// receive with time-out, timed waits that keep the window alive, the Stop prompt, the status
// line and the port probes. Every wait handles the window's events, which is how a press of
// Stop (StopRequested) reaches a running update. None of them raises.
class TLink {
public:
    TLink(TOperatorSurface &surface, TCustomComPort &comPort, TLinkClock &clock, TWizardState &state)
        : Surface(surface), ComPort(comPort), Clock(clock), State(state) {}

    // Handles every window event already queued; never waits.
    void ProcessPendingMessages();

    // Waits ms milliseconds by the wall clock (a wait across midnight ends on time), handling
    // window events; ends early when StopRequested is set. ms <= 0 returns at once.
    void PumpWait(int ms);

    // Sets the status line, then holds it for the given seconds (PumpWait) when above 0.
    void ShowStatus(const QString &text, int seconds);

    // Writes one byte (low 8 bits of ch); true when it was written.
    bool SendChar(int ch);

    // Writes the bytes unchanged; true only when every byte was written.
    bool SendText(const QByteArray &text);

    // Waits up to seconds for one byte: the byte, "t" on time-out, "s" when the technician
    // confirmed Stop (or the port failed, which also sets StopRequested and PortFailed). A unit
    // byte "t" reads like a time-out; a caller that must tell them apart passes timedOut, which
    // is set true only when no byte came within the time.
    QByteArray ReceiveChar(int seconds, bool *timedOut = nullptr);

    // Sets the port name, opens and closes the port; true when that worked. The port is
    // closed afterwards in either case.
    bool ProbePort(const QString &name);
    bool ProbeSelectedPort();

    TOperatorSurface &Surface;
    TCustomComPort &ComPort;
    TLinkClock &Clock;
    TWizardState &State;

    // Set by ReceiveChar when the port failed while it waited (a pulled cable): its "s" then
    // means the line went away, not that the technician stopped. An update clears it when it
    // begins.
    bool PortFailed = false;
};
