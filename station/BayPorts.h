#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "seriallink/PortFacts.h"
#include "station/Job.h"

// A bay resolved against the ports present now (no port is opened to find out).
struct TBayPort {
    QString Bay;        // the bay's name
    QString Given;      // the job's port text
    QString PortName;   // the name to open (as the port list names it); empty: not plugged in
    TPortFacts Facts;   // of PortName, where known
    QString SameLineAs; // an earlier bay of the list that leads to the same line; empty when none
};

// Resolves every bay: a port name, a /dev/serial/by-id or by-path link (Linux), a COM name or a
// USB location path (Windows, matched against TPortFacts::LocationPath).
QList<TBayPort> ResolveBays(const QList<TJobBay> &bays);

// The same against a given list of port names and the facts of each, as the system's list and
// its descriptions are (ResolveBays above passes those).
QList<TBayPort> ResolveBays(const QList<TJobBay> &bays, const QStringList &portNames,
                            const std::function<TPortFacts(const QString &)> &factsOf);

// What tells two names of one line apart from two lines: the device a port name leads to, links
// followed; where the device is no file (a Windows COM port), its name letter case aside. Two
// updates on one line would interleave their bytes and program the unit with neither file.
QString PortLineKey(const QString &name);
