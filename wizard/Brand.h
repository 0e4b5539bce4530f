#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

// What choosing a brand changes in the window: the banner shown, the group picture of pages 1
// and 2, the gauge colour and the products offered. SelectedBrand 1 is the first brand; 0 and
// every other value the second.
struct TBrandLook {
    QString Banner;       // object name of the banner shown (the other one is hidden)
    QString OtherBanner;
    QString GroupPicture; // object name of the group picture of pages 1 and 2
    QColor GaugeColour;
};

TBrandLook BrandLook(int selectedBrand);

// Full names of the brand's unit types in product-list order.
QStringList BrandProductNames(int selectedBrand);

// The unit type code for a product-list text: the first unit type, in catalogue order, whose full
// name equals the text exactly; currentUnit when none does.
int UnitCodeForProductName(const QString &text, int currentUnit);

// Window caption: the program name, " version " and the version.
QString WindowCaption();

// Text of product_select_L, naming the maker's web address.
QString ProductSelectText();
