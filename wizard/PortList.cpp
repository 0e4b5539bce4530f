#include "wizard/PortList.h"

TPortListLayout LayOutPortList(const QStringList &items)
{
    TPortListLayout layout;
    layout.Items = items;
    const qsizetype n = items.size();
    if (n <= 5) {
        layout.Columns = 1;
    } else if (n <= 10) {
        layout.Columns = 2;
    } else {
        layout.Columns = 3;
        while (layout.Items.size() > PortListLimit)
            layout.Items.removeLast();
    }
    return layout;
}

int RememberedPortIndex(const QStringList &items, const QString &remembered)
{
    if (items.isEmpty())
        return -1;
    const qsizetype at = items.indexOf(remembered);
    return at < 0 ? 0 : int(at);
}
