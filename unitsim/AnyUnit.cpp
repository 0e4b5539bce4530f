#include "protocols/UpdateFlows.h"
#include "unitsim/UnitFamilies.h"

namespace {
constexpr char LeadIn = char(0xF0);
}

QString UnitFamilyName(TUnitFamily family)
{
    switch (family) {
    case TUnitFamily::None:
        return QStringLiteral("none");
    case TUnitFamily::UpdateMode:
        return QStringLiteral("update-mode");
    case TUnitFamily::Monitor:
        return QStringLiteral("monitor");
    case TUnitFamily::Module:
        return QStringLiteral("module");
    }
    return QString();
}

TAnyUnit::TAnyUnit(TFaultScript script)
    : UpdateMode(script), Monitor(script), Module(script),
      monitorBlock_(BootloaderBlock(TBootloaderImage::Monitor))
{
    UpdateMode.AttachLine(this);
    Monitor.AttachLine(this);
    Module.AttachLine(this);
}

void TAnyUnit::FromHost(const QByteArray &bytes)
{
    for (const char c : bytes)
        Take(c);
}

bool TAnyUnit::ActiveAtRest() const
{
    switch (family_) {
    case TUnitFamily::None:
        return true;
    case TUnitFamily::UpdateMode:
        return UpdateMode.AtRest();
    case TUnitFamily::Monitor:
        return Monitor.AtRest();
    case TUnitFamily::Module:
        return Module.AtRest();
    }
    return true;
}

void TAnyUnit::HandOver(TUnitFamily family)
{
    family_ = family;
    FamiliesRun.append(family);
}

// Between commands, "P" hands the line to the update-mode unit and 0xF0 starts a download whose
// block tells which bootloader unit takes it. Everything else goes to the family now answering.
void TAnyUnit::Take(char c)
{
    if (deciding_) {
        download_.append(c);
        const qsizetype blockBytes = download_.size() - 1;
        TUnitFamily decided = TUnitFamily::None;
        if (blockBytes == TMonitorUnit::BlockSize && download_.mid(1) == monitorBlock_)
            decided = TUnitFamily::Monitor;
        else if (blockBytes == TModuleUnit::BlockSize)
            decided = TUnitFamily::Module;
        if (decided == TUnitFamily::None)
            return;
        deciding_ = false;
        HandOver(decided);
        const QByteArray download = download_;
        download_.clear();
        if (decided == TUnitFamily::Monitor)
            Monitor.FromHost(download);
        else
            Module.FromHost(download);
        return;
    }

    if (ActiveAtRest()) {
        if (c == LeadIn) {
            deciding_ = true;
            download_ = QByteArray(1, c);
            return;
        }
        if (c == 'P' && family_ != TUnitFamily::UpdateMode)
            HandOver(TUnitFamily::UpdateMode);
    }
    switch (family_) {
    case TUnitFamily::None:
        ++StrayBytes;
        return;
    case TUnitFamily::UpdateMode:
        UpdateMode.FromHost(QByteArray(1, c));
        return;
    case TUnitFamily::Monitor:
        Monitor.FromHost(QByteArray(1, c));
        return;
    case TUnitFamily::Module:
        Module.FromHost(QByteArray(1, c));
        return;
    }
}

bool TAnyUnit::UpdateEnded() const
{
    switch (family_) {
    case TUnitFamily::UpdateMode:
        return UpdateMode.UpdateEnded();
    case TUnitFamily::Monitor:
        return Monitor.UpdateEnded();
    case TUnitFamily::Module:
        return Module.UpdateEnded();
    case TUnitFamily::None:
        break;
    }
    return false;
}

bool TAnyUnit::Finished() const
{
    switch (family_) {
    case TUnitFamily::UpdateMode:
        return UpdateMode.Finished;
    case TUnitFamily::Monitor:
        return Monitor.Finished;
    case TUnitFamily::Module:
        return Module.Finished;
    case TUnitFamily::None:
        break;
    }
    return false;
}

QString TAnyUnit::Summary() const
{
    QStringList out;
    QStringList names;
    for (const TUnitFamily family : FamiliesRun)
        names << UnitFamilyName(family);
    out << QStringLiteral("Unit of any family; played: %1")
               .arg(names.isEmpty() ? QStringLiteral("nothing yet") : names.join(QStringLiteral(", ")));
    if (deciding_)
        out << QStringLiteral("  download under way: %1 bytes after 0xF0, family not yet known").arg(download_.size() - 1);
    if (StrayBytes)
        out << QStringLiteral("  stray bytes before any protocol: %1").arg(StrayBytes);
    if (FamiliesRun.contains(TUnitFamily::UpdateMode))
        out << UpdateMode.Summary();
    if (FamiliesRun.contains(TUnitFamily::Monitor))
        out << Monitor.Summary();
    if (FamiliesRun.contains(TUnitFamily::Module))
        out << Module.Summary();
    return out.join(QLatin1Char('\n'));
}
