#include "station/UnitLookup.h"

#include <QStringList>
#include <algorithm>

#ifndef VARNEL_OFFER_BRAND_CHOICE_DEFAULT
#define VARNEL_OFFER_BRAND_CHOICE_DEFAULT 0
#endif

bool BuildOffersBrandChoice()
{
    return VARNEL_OFFER_BRAND_CHOICE_DEFAULT != 0;
}

std::vector<int> OfferedUnits(bool brandChoiceAsked)
{
    return OfferedUnitCodes(brandChoiceAsked || BuildOffersBrandChoice());
}

namespace {
bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const TUnitType *UnitNamed(const QString &text)
{
    bool isNumber = false;
    const int code = text.toInt(&isNumber);
    for (const TUnitType &unit : UnitCatalogue()) {
        if (isNumber ? unit.Code == code : (SameName(unit.ShortName, text) || SameName(unit.FullName, text)))
            return &unit;
    }
    return nullptr;
}

QString OfferedList(const std::vector<int> &offered)
{
    QStringList names;
    for (int code : offered)
        if (const TUnitType *unit = FindUnitType(code))
            names << QStringLiteral("%1 %2").arg(unit->Code).arg(unit->ShortName);
    return names.join(QStringLiteral(", "));
}
} // namespace

const TUnitType *LookUpUnit(const QString &text, const std::vector<int> &offered, QString &error)
{
    const QString name = text.trimmed();
    const TUnitType *unit = UnitNamed(name);
    if (unit && std::find(offered.begin(), offered.end(), unit->Code) != offered.end())
        return unit;
    if (unit)
        error = QStringLiteral("unit %1 (%2) is not offered by this build (--brand-choice offers the first "
                               "brand's unit types); offered: %3")
                    .arg(unit->ShortName)
                    .arg(unit->Code)
                    .arg(OfferedList(offered));
    else
        error = QStringLiteral("unknown unit \"%1\"; offered: %2").arg(name, OfferedList(offered));
    return nullptr;
}

QString VariantName(TRecordVariant variant)
{
    return QString::fromLatin1(DataRecordLetters(variant));
}

QString FlowName(TUpdateFlowKind flow)
{
    switch (flow) {
    case TUpdateFlowKind::UpdateMode: return QStringLiteral("update-mode");
    case TUpdateFlowKind::ResistorMonitor: return QStringLiteral("monitor");
    case TUpdateFlowKind::CommsModule: return QStringLiteral("module");
    }
    return {};
}
