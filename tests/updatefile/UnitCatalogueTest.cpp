// The catalogue is where every per-unit fact lives: the record width a unit's files are checked
// with, the flow that updates it and its place in the product list, each written out here for
// every unit type so that a slip in a row fails by name.

#include <gtest/gtest.h>

#include <set>

#include "updatefile/UnitCatalogue.h"

namespace {

struct TUnitFacts {
    int Code;
    int Brand;
    TRecordVariant Variant;
    TUpdateFlowKind Flow;
    int ListOrder;
};

void PrintTo(const TUnitFacts &f, std::ostream *os) { *os << "unit " << f.Code; }

using V = TRecordVariant;
using F = TUpdateFlowKind;

const TUnitFacts Facts[] = {
    {1, FirstBrand, V::Addr24, F::UpdateMode, 2},       {2, FirstBrand, V::Addr32, F::UpdateMode, 1},
    {6, FirstBrand, V::Addr32, F::UpdateMode, 3},       {3, FirstBrand, V::Addr16, F::ResistorMonitor, 4},
    {4, FirstBrand, V::Addr16, F::CommsModule, 5},      {5, FirstBrand, V::Addr16, F::CommsModule, 6},
    {11, SecondBrand, V::Addr24, F::UpdateMode, 3},     {12, SecondBrand, V::Addr32, F::UpdateMode, 2},
    {16, SecondBrand, V::Addr32, F::UpdateMode, 4},     {13, SecondBrand, V::Addr16, F::ResistorMonitor, 1},
};

class UnitCatalogueRow : public ::testing::TestWithParam<TUnitFacts> {};

TEST_P(UnitCatalogueRow, HoldsTheUnitTypesFacts)
{
    const TUnitFacts &f = GetParam();
    const TUnitType *unit = FindUnitType(f.Code);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->Brand, f.Brand);
    EXPECT_EQ(unit->Variant, f.Variant);
    EXPECT_EQ(unit->Flow, f.Flow);
    EXPECT_EQ(unit->ListOrder, f.ListOrder);
    // The wizard's check reads the same row.
    EXPECT_EQ(WizardRecordVariant(f.Code), f.Variant);
    // Update-mode units take 24- or 32-bit files; the bootloader families take 16-bit ones.
    EXPECT_EQ(unit->Flow == F::UpdateMode, unit->Variant != V::Addr16);
}

INSTANTIATE_TEST_SUITE_P(EveryUnitType, UnitCatalogueRow, ::testing::ValuesIn(Facts),
                         [](const auto &info) { return "Unit" + std::to_string(info.param.Code); });

TEST(UnitCatalogue, HoldsExactlyTheTenUnitTypesOnce)
{
    std::set<int> codes;
    for (const TUnitType &unit : UnitCatalogue())
        EXPECT_TRUE(codes.insert(unit.Code).second) << "code " << unit.Code << " twice";
    EXPECT_EQ(codes, (std::set<int>{1, 2, 3, 4, 5, 6, 11, 12, 13, 16}));
}

struct TBrandList {
    const char *Name;
    int Brand;
    std::vector<int> Codes;
};

class BrandProductList : public ::testing::TestWithParam<TBrandList> {};

TEST_P(BrandProductList, FollowsTheRowsListOrder)
{
    EXPECT_EQ(BrandUnitCodes(GetParam().Brand), GetParam().Codes);
}

INSTANTIATE_TEST_SUITE_P(
    Brands, BrandProductList,
    ::testing::Values(TBrandList{"First", FirstBrand, {2, 1, 6, 3, 4, 5}},
                      TBrandList{"Second", SecondBrand, {13, 12, 11, 16}},
                      // SelectedBrand reads every value but the first brand's as the second brand.
                      TBrandList{"AnyOtherValue", 7, {13, 12, 11, 16}}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(WizardRecordVariant, IsSixteenBitForACodeOutsideTheCatalogue)
{
    for (int code : {0, 7, 14, -1})
        EXPECT_EQ(WizardRecordVariant(code), V::Addr16) << code;
}

} // namespace
