#include "wizard/Brand.h"

#include "updatefile/UnitCatalogue.h"
#include "wizard/TextFormat.h"
#include "wizard/WizardConfig.h"
#include "wizard/WizardTexts.h"

TBrandLook BrandLook(int selectedBrand)
{
    if (selectedBrand == FirstBrand)
        return {QStringLiteral("Image_Header"), QStringLiteral("Image_TVHeader"), QStringLiteral("ImageGroup"),
                QColor(0, 0, 255)};
    return {QStringLiteral("Image_TVHeader"), QStringLiteral("Image_Header"), QStringLiteral("Image_TV_Group"),
            QColor(0, 128, 0)};
}

QStringList BrandProductNames(int selectedBrand)
{
    QStringList names;
    for (int code : BrandUnitCodes(selectedBrand == FirstBrand ? FirstBrand : SecondBrand))
        if (const TUnitType *unit = FindUnitType(code))
            names << unit->FullName;
    return names;
}

int UnitCodeForProductName(const QString &text, int currentUnit)
{
    for (const TUnitType &unit : UnitCatalogue())
        if (unit.FullName == text)
            return unit.Code;
    return currentUnit;
}

QString WindowCaption()
{
    QString caption = QString::fromUtf8(WizardConfig::ProgramName);
    caption += QString::fromUtf8(WizardTexts::CaptionVersion) + QString::fromUtf8(WizardConfig::ProgramVersion);
    return caption;
}

QString ProductSelectText()
{
    return FormatText(WizardTexts::ProductSelect, {QString::fromUtf8(WizardConfig::MakerWebAddress)});
}
