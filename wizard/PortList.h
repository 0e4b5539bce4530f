#pragma once

#include <QString>
#include <QStringList>

// How the port list of the port-and-file page is laid out: up to 5 ports in one column, 6 to 10
// in two, more in three columns holding the first 15 names.
inline constexpr int PortListLimit = 15;

struct TPortListLayout {
    QStringList Items;
    int Columns = 1;
};

TPortListLayout LayOutPortList(const QStringList &items);

// The item to select after a scan: the first one that reads exactly like the port chosen
// before, else the first item; -1 for an empty list.
int RememberedPortIndex(const QStringList &items, const QString &remembered);
