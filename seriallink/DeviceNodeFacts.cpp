#include "seriallink/DeviceNodeFacts.h"

#include <QRegularExpression>

namespace {

QString Enumerator(const TDeviceNode &node)
{
    return node.InstanceId.section(QLatin1Char('\\'), 0, 0).toUpper();
}

// VID_0403&PID_6001 (USB), VID_0403+PID_6001 (FTDI's bus).
bool ParseUsbIds(const QString &text, TPortFacts &facts)
{
    static const QRegularExpression ids(QStringLiteral("VID_([0-9A-F]{4})[&+]PID_([0-9A-F]{4})"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = ids.match(text);
    if (!match.hasMatch())
        return false;
    facts.VendorId = quint16(match.captured(1).toUInt(nullptr, 16));
    facts.ProductId = quint16(match.captured(2).toUInt(nullptr, 16));
    return true;
}

// The USB device itself: not one interface of a composite device (&MI_nn), whose serial number
// is its parent's.
const TDeviceNode *UsbDevice(const QList<TDeviceNode> &nodes)
{
    for (const TDeviceNode &node : nodes) {
        if (Enumerator(node) == QLatin1String("USB") && !node.InstanceId.contains(QLatin1String("&MI_"), Qt::CaseInsensitive))
            return &node;
    }
    return nullptr;
}

bool SaysNetwork(const TDeviceNode &node)
{
    static const QRegularExpression words(QStringLiteral("\\b(network|ethernet|lan|tcp|tcp/ip|remote)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    return words.match(node.FriendlyName).hasMatch() || words.match(node.Description).hasMatch()
        || words.match(node.Manufacturer).hasMatch();
}

} // namespace

TPortFacts PortFactsFromDeviceNodes(const QList<TDeviceNode> &nodes)
{
    TPortFacts facts;
    if (nodes.isEmpty())
        return facts;
    const TDeviceNode &port = nodes.first();
    facts.FriendlyName = port.FriendlyName;
    facts.Manufacturer = port.Manufacturer;
    for (const TDeviceNode &node : nodes) {
        if (!node.BusReportedDescription.isEmpty()) {
            facts.Description = node.BusReportedDescription;
            break;
        }
    }
    if (facts.Description.isEmpty())
        facts.Description = port.Description;

    const TDeviceNode *usb = UsbDevice(nodes);
    if (usb) {
        ParseUsbIds(usb->InstanceId, facts);
        const QString last = usb->InstanceId.section(QLatin1Char('\\'), -1);
        if (usb->InstanceId.count(QLatin1Char('\\')) >= 2 && !last.isEmpty() && !last.contains(QLatin1Char('&')))
            facts.SerialNumber = last;
        if (!usb->LocationPaths.isEmpty())
            facts.LocationPath = usb->LocationPaths.first();
    }
    if (!facts.VendorId) {
        for (const TDeviceNode &node : nodes) {
            if (ParseUsbIds(node.InstanceId, facts))
                break;
            bool found = false;
            for (const QString &id : node.HardwareIds)
                found = found || ParseUsbIds(id, facts);
            if (found)
                break;
        }
    }
    if (facts.LocationPath.isEmpty() && !port.LocationPaths.isEmpty())
        facts.LocationPath = port.LocationPaths.first();

    bool onABus = false;
    for (const TDeviceNode &node : nodes) {
        const QString enumerator = Enumerator(node);
        if (enumerator == QLatin1String("BTHENUM"))
            facts.Bluetooth = true;
        if (enumerator == QLatin1String("TSBUS") || enumerator == QLatin1String("RDPBUS"))
            facts.OverNetwork = true; // a port of the client PC, redirected into a remote session
        if (enumerator != QLatin1String("ROOT") && enumerator != QLatin1String("SWD") && enumerator != QLatin1String("HTREE"))
            onABus = true;
        if (!facts.LatencyTimerMs && node.LatencyTimer)
            facts.LatencyTimerMs = int(*node.LatencyTimer);
    }
    if (!facts.Bluetooth && !onABus && SaysNetwork(port))
        facts.OverNetwork = true;
    return facts;
}
