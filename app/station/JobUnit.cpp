#include "app/station/JobUnit.h"

#include <algorithm>

#include "app/station/StationTexts.h"

#ifndef VARNEL_OFFER_BRAND_CHOICE_DEFAULT
#define VARNEL_OFFER_BRAND_CHOICE_DEFAULT 0
#endif

const TUnitType *JobUnit(const QString &text, QString &error)
{
    const QString name = text.trimmed();
    bool isNumber = false;
    const int code = name.toInt(&isNumber);
    const std::vector<int> offered = OfferedUnitCodes(VARNEL_OFFER_BRAND_CHOICE_DEFAULT != 0);
    for (const TUnitType &unit : UnitCatalogue()) {
        const bool named = isNumber ? unit.Code == code
                                    : (unit.ShortName.compare(name, Qt::CaseInsensitive) == 0 ||
                                       unit.FullName.compare(name, Qt::CaseInsensitive) == 0);
        if (named && std::find(offered.begin(), offered.end(), unit.Code) != offered.end())
            return &unit;
    }
    error = QString::fromUtf8(StationTexts::UnknownUnit).arg(name);
    return nullptr;
}
