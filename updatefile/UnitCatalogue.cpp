#include "updatefile/UnitCatalogue.h"

#include <QByteArray>
#include <algorithm>

const std::vector<TUnitType> &UnitCatalogue()
{
    using F = TUpdateFlowKind;
    using V = TRecordVariant;
    static const std::vector<TUnitType> catalogue = {
        {1, FirstBrand, "KTR Motor Protection System", "KTR", "ImageKTR", {"KTR"}, 3,
         "Warning: Looking for KTR*.S19", V::Addr24, F::UpdateMode, 2},
        {2, FirstBrand, "KLN-40 Motor Protection Unit", "KLN-40", "ImageKLN40", {"K40"}, 3,
         "Warning: Looking for K40*.S19", V::Addr32, F::UpdateMode, 1},
        {6, FirstBrand, "DWN-40 Feeder Protection Unit", "DWN-40", "ImageDWN40", {"D40"}, 3,
         "Warning: Looking for D40*.S19", V::Addr32, F::UpdateMode, 3},
        {3, FirstBrand, "RG-770/LT/WB Neutral-Grounding Resistor Monitor", "RG-770/LT/WB", "Image770",
         {"R770"}, 4, "Warning: Looking for R770*.S19", V::Addr16, F::ResistorMonitor, 4},
        {4, FirstBrand, "KLN-12B Communications Module Only", "KLN-12B", "ImageKLN12B",
         {"GRA", "GKE", "GZO"}, 3, "Warning: Looking for GRA or GKE or GZO*.S19", V::Addr16,
         F::CommsModule, 5},
        {5, FirstBrand, "DWN-12 Communications Module Only", "DWN-12", "ImageDWN12", {"NRA", "NZO"}, 3,
         "Warning: Looking for NRA or NZO*.S19", V::Addr16, F::CommsModule, 6},
        {11, SecondBrand, "TVR-4100 Motor Protection System", "TVR-4100", "Image_TV_KTR", {"T41"}, 3,
         "Warning: Looking for T41*.S19", V::Addr24, F::UpdateMode, 3},
        {12, SecondBrand, "TVR-4200 Motor Protection Relay", "TVR-4200", "Image_TV_KLN40", {"T42"}, 3,
         "Warning: Looking for T42*.S19", V::Addr32, F::UpdateMode, 2},
        {16, SecondBrand, "TVR-5800 Feeder Protection Relay", "TVR-5800", "Image_TV_DWN40", {"T58"}, 3,
         "Warning: Looking for T58*.S19", V::Addr32, F::UpdateMode, 4},
        {13, SecondBrand, "TVR-3770 Resistance Grounded Relay", "TVR-3770", "Image_TV_770", {"T3770"}, 5,
         "Warning: Looking for T3770*.S19", V::Addr16, F::ResistorMonitor, 1},
    };
    return catalogue;
}

const TUnitType *FindUnitType(int code)
{
    for (const TUnitType &unit : UnitCatalogue())
        if (unit.Code == code)
            return &unit;
    return nullptr;
}

std::vector<int> BrandUnitCodes(int brand)
{
    // Any value but the first brand's code is the second brand, as SelectedBrand reads.
    const int wanted = brand == FirstBrand ? FirstBrand : SecondBrand;
    std::vector<const TUnitType *> rows;
    for (const TUnitType &unit : UnitCatalogue())
        if (unit.Brand == wanted)
            rows.push_back(&unit);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TUnitType *a, const TUnitType *b) { return a->ListOrder < b->ListOrder; });
    std::vector<int> codes;
    for (const TUnitType *unit : rows)
        codes.push_back(unit->Code);
    return codes;
}

std::vector<int> OfferedUnitCodes(bool offerBrandChoice)
{
    std::vector<int> codes;
    if (offerBrandChoice)
        codes = BrandUnitCodes(FirstBrand);
    const std::vector<int> second = BrandUnitCodes(SecondBrand);
    codes.insert(codes.end(), second.begin(), second.end());
    return codes;
}

TRecordVariant WizardRecordVariant(int unitType)
{
    const TUnitType *unit = FindUnitType(unitType);
    return unit ? unit->Variant : TRecordVariant::Addr16;
}

QByteArray DataRecordLetters(TRecordVariant variant)
{
    switch (variant) {
    case TRecordVariant::Addr16: return "S1";
    case TRecordVariant::Addr24: return "S2";
    case TRecordVariant::Addr32: return "S3";
    }
    return "S1";
}

QByteArray EndRecordLetters(TRecordVariant variant)
{
    switch (variant) {
    case TRecordVariant::Addr16: return "S9";
    case TRecordVariant::Addr24: return "S8";
    case TRecordVariant::Addr32: return "S7";
    }
    return "S9";
}
