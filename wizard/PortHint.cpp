#include "wizard/PortHint.h"

#include <QStringList>

#include "wizard/TextFormat.h"
#include "wizard/WizardTexts.h"

namespace {
QString UsbId(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}
} // namespace

QString PortItemHint(const TPortFacts &facts, TPortBusy busy, const std::optional<TPortHolder> &holder)
{
    QStringList lines;
    if (!facts.FriendlyName.isEmpty())
        lines << facts.FriendlyName;
    if (!facts.Description.isEmpty() && facts.Description != facts.FriendlyName)
        lines << facts.Description;
    if (!facts.Manufacturer.isEmpty())
        lines << FormatText(WizardTexts::PortManufacturer, {facts.Manufacturer});
    if (!facts.SerialNumber.isEmpty())
        lines << FormatText(WizardTexts::PortSerialNumber, {facts.SerialNumber});
    if (facts.VendorId && facts.ProductId)
        lines << FormatText(WizardTexts::PortUsbIds, {UsbId(*facts.VendorId), UsbId(*facts.ProductId)});
    else if (facts.VendorId)
        lines << FormatText(WizardTexts::PortUsbVendorId, {UsbId(*facts.VendorId)});
    else if (facts.ProductId)
        lines << FormatText(WizardTexts::PortUsbProductId, {UsbId(*facts.ProductId)});
    if (!facts.ByIdLink.isEmpty())
        lines << FormatText(WizardTexts::PortByIdLink, {facts.ByIdLink});
    if (!facts.LocationPath.isEmpty())
        lines << FormatText(WizardTexts::PortLocation, {facts.LocationPath});

    // The reason stands apart from the facts, after an empty line.
    QStringList notes;
    if (busy == TPortBusy::NoPermission) {
        notes << QString::fromUtf8(WizardTexts::NoPermissionHint);
    } else if (busy == TPortBusy::Gone) {
        notes << QString::fromUtf8(WizardTexts::PortGoneHint);
    } else if (busy == TPortBusy::Unreachable) {
        notes << QString::fromUtf8(WizardTexts::PortUnreachableHint);
    } else if (busy == TPortBusy::Held) {
        if (holder) {
            const QString program =
                holder->Program.isEmpty() ? QString::fromUtf8(WizardTexts::PortHeldByUnnamed) : holder->Program;
            notes << FormatText(WizardTexts::PortHeldBy, {program, QString::number(holder->Pid)});
        } else {
            notes << QString::fromUtf8(WizardTexts::PortNotOpened);
        }
    }
    if (facts.Bluetooth)
        notes << QString::fromUtf8(WizardTexts::PortBluetooth);
    if (facts.OverNetwork)
        notes << QString::fromUtf8(WizardTexts::PortOverNetwork);
    // Windows gives a program no way to lower the timer; the technician sets it once.
    if (facts.LatencyTimerMs && *facts.LatencyTimerMs > 1) {
#ifdef Q_OS_WIN
        const char *slow = WizardTexts::PortSlowLatencyDeviceManager;
#else
        const char *slow = WizardTexts::PortSlowLatency;
#endif
        notes << FormatText(slow, {QString::number(*facts.LatencyTimerMs)});
    }

    if (!lines.isEmpty() && !notes.isEmpty())
        lines << QString();
    lines << notes;
    return lines.join(QLatin1Char('\n'));
}
