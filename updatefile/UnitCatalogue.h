#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// S-record address width of a unit type's update files.
enum class TRecordVariant {
    Addr16, // "S1" data, "S9" end
    Addr24, // "S2" data, "S8" end
    Addr32  // "S3" data, "S7" end
};

// The update protocol a unit type is served by.
enum class TUpdateFlowKind { UpdateMode, ResistorMonitor, CommsModule };

// Brand codes as SelectedBrand holds them.
constexpr int FirstBrand = 1;  // Quenby
constexpr int SecondBrand = 0; // TRIVANE

// One unit type of the catalogue.
struct TUnitType {
    int Code;
    int Brand;
    QString FullName;     // product list and welcome text
    QString ShortName;    // summary
    QString Picture;      // object name of the unit's picture in the window
    QStringList Prefixes; // file-name prefixes accepted
    int PrefixLength;     // leading characters of the file name compared
    QString NameWarning;  // warning when the prefix does not match
    TRecordVariant Variant;
    TUpdateFlowKind Flow;
    int ListOrder;        // place in its brand's product list, from 1 at the top
};

// The ten unit types, in the order in which the product list's text is matched to a code:
// 1, 2, 6, 3, 4, 5, 11, 12, 16, 13.
const std::vector<TUnitType> &UnitCatalogue();

// The unit type with that code, or nullptr.
const TUnitType *FindUnitType(int code);

// The brand's unit type codes in product-list order (the rows' ListOrder).
std::vector<int> BrandUnitCodes(int brand);

// The unit types a build offers: the second brand's alone, or, where the brand choice is
// offered (OfferBrandChoice), the first brand's followed by the second brand's, each brand in
// product-list order.
std::vector<int> OfferedUnitCodes(bool offerBrandChoice);

// The record variant the wizard checks a unit type's file with: its row's Variant; 16-bit for
// a code that is not in the catalogue.
TRecordVariant WizardRecordVariant(int unitType);

// Data and termination record letters of a variant ("S1"/"S9", "S2"/"S8", "S3"/"S7").
QByteArray DataRecordLetters(TRecordVariant variant);
QByteArray EndRecordLetters(TRecordVariant variant);
