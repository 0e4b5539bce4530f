#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

#include "unitsim/FaultScript.h"
#include "unitsim/UnitModel.h"

// An update-mode unit (relays with an update mode in their firmware): contact "P" -> "P" (or
// "Q"), erase "p" -> "p" (or "E") after the erase time, then one S-record line per CR LF,
// answered "." or, for the termination record (S7, S8 or S9), "!"; "Q" quits, "X" after "!"
// restarts.
class TUpdateModeUnit : public TUnitModel {
public:
    explicit TUpdateModeUnit(TFaultScript script = {});
    void FromHost(const QByteArray &bytes) override;
    QString Summary() const override;

    TFaultScript Script;
    QList<QByteArray> Lines;     // every line received (without CR LF), attempts included
    QList<QByteArray> Accepted;  // lines answered "." or "!", in order
    QByteArray Commands;         // single-byte commands received: P, p, Q, X
    int ContactRequests = 0;
    int EraseCommands = 0;
    bool Finished = false;       // answered "!"
    bool Quit = false;           // received "Q" in the line phase
    bool Restarted = false;      // received "X" after "!"
};

// A resistor monitor in bootloader mode: 0xF0 and the 513-byte block, then "." -> ".", per data
// byte "S", address high, address low, data -> the data byte echoed (or an error letter),
// "!" -> "!".
class TMonitorUnit : public TUnitModel {
public:
    explicit TMonitorUnit(TFaultScript script = {});
    void FromHost(const QByteArray &bytes) override;
    QString Summary() const override;

    TFaultScript Script;
    QByteArray Block;               // the block received after 0xF0
    bool BlockMatchesImage = false; // equal to the monitor bootloader block
    QMap<int, quint8> Programmed;   // address -> byte programmed (acknowledged)
    int ContactRequests = 0;
    bool Finished = false;
};

// A communications module in bootloader mode: 0xF0 and the 1024-byte block, then "." -> ".",
// each S1 record text followed by ":" -> "." (or "E", "C"), "!" -> "!".
class TModuleUnit : public TUnitModel {
public:
    explicit TModuleUnit(TFaultScript script = {});
    void FromHost(const QByteArray &bytes) override;
    QString Summary() const override;

    TFaultScript Script;
    QByteArray Block;
    bool BlockMatchesImage = false;
    QList<QByteArray> Records;      // record texts received (without ":"), in order
    int ContactRequests = 0;
    bool Finished = false;
};
