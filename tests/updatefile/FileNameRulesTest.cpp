#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "tests/updatefile/SRecordText.h"
#include "updatefile/FileNameRules.h"
#include "updatefile/FileTexts.h"
#include "updatefile/UnitCatalogue.h"

namespace {

enum class TOutcome { Accepted, NotFound, TooShort, MayBeIncorrect, TypeWarning };

enum class TMake { File, Nothing, Directory };

struct TNameCase {
    const char *Name;
    int UnitType;
    const char *RelPath;  // inside a fresh temporary folder
    TMake Make;
    TOutcome Outcome;
    const char *WarnedPrefix = nullptr; // TypeWarning: text the unit type's warning names
};

void PrintTo(const TNameCase &c, std::ostream *os) { *os << c.Name; }

class UpdateFileNameRules : public ::testing::TestWithParam<TNameCase> {};

TEST_P(UpdateFileNameRules, JudgesNameAgainstUnitType)
{
    const TNameCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QLatin1Char('/') + QString::fromUtf8(c.RelPath);
    const QString parent = QFileInfo(path).absolutePath();
    ASSERT_TRUE(QDir().mkpath(parent));
    if (c.Make == TMake::File) {
        ASSERT_TRUE(SRecordText::WriteFile(path, "S0\n"));
    } else if (c.Make == TMake::Directory) {
        ASSERT_TRUE(QDir().mkpath(path));
    }

    const QString before = QStringLiteral("earlier warning");
    QString warning = before;
    const bool ok = CheckUpdateFileName(c.UnitType, path, warning);

    switch (c.Outcome) {
    case TOutcome::Accepted:
        EXPECT_TRUE(ok);
        EXPECT_EQ(warning, before) << "an accepted name leaves the warning alone";
        return;
    case TOutcome::NotFound: EXPECT_EQ(warning, FileTexts::FileNotFound); break;
    case TOutcome::TooShort: EXPECT_EQ(warning, FileTexts::NameTooShort); break;
    case TOutcome::MayBeIncorrect: EXPECT_EQ(warning, FileTexts::NameMayBeIncorrect); break;
    case TOutcome::TypeWarning: {
        const TUnitType *unit = FindUnitType(c.UnitType);
        ASSERT_NE(unit, nullptr);
        EXPECT_EQ(warning, unit->NameWarning);
        EXPECT_TRUE(warning.contains(QLatin1String(c.WarnedPrefix))) << warning.toStdString();
        break;
    }
    }
    EXPECT_FALSE(ok);
}

using O = TOutcome;
using M = TMake;

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateFileNameRules,
    ::testing::Values(
        // three-character prefixes, case ignored, extension ignored
        TNameCase{"Ktr_LowerCase", 1, "ktr0417.s19", M::File, O::Accepted},
        TNameCase{"Ktr_SevenCharacters", 1, "KTR.S19", M::File, O::Accepted},
        TNameCase{"Ktr_SixCharactersTooShort", 1, "KTR.S1", M::File, O::TooShort},
        TNameCase{"Ktr_OtherExtension", 1, "KTR0417.TXT", M::File, O::Accepted},
        TNameCase{"K40_KtrFile", 2, "KTR0417.S19", M::File, O::TypeWarning, "K40*"},
        TNameCase{"K40_Match", 2, "k40_0417.s19", M::File, O::Accepted},
        TNameCase{"D40_Match", 6, "D40v2.S19", M::File, O::Accepted},
        TNameCase{"D40_K40File", 6, "K40v2.S19", M::File, O::TypeWarning, "D40*"},
        TNameCase{"T41_Match", 11, "T41_0170.S19", M::File, O::Accepted},
        TNameCase{"T41_T42File", 11, "T42_0170.S19", M::File, O::TypeWarning, "T41*"},
        TNameCase{"T42_Match", 12, "t42_0170.s19", M::File, O::Accepted},
        TNameCase{"T58_Match", 16, "T58_0170.S19", M::File, O::Accepted},
        TNameCase{"T58_T41File", 16, "T41_0170.S19", M::File, O::TypeWarning, "T58*"},
        // several accepted prefixes
        TNameCase{"Comms12B_Gke", 4, "gke123.s19", M::File, O::Accepted},
        TNameCase{"Comms12B_Gzo", 4, "GZO_1.S19", M::File, O::Accepted},
        TNameCase{"Comms12B_Gra", 4, "GRA_1.S19", M::File, O::Accepted},
        TNameCase{"Comms12B_Grx", 4, "GRX123.S19", M::File, O::TypeWarning, "GRA or GKE or GZO*"},
        TNameCase{"Comms12_Nra", 5, "nra_1.s19", M::File, O::Accepted},
        TNameCase{"Comms12_Nzo", 5, "NZO_1.S19", M::File, O::Accepted},
        TNameCase{"Comms12_Gra", 5, "GRA_1.S19", M::File, O::TypeWarning, "NRA or NZO*"},
        // longer prefixes need more than seven characters
        TNameCase{"R770_SevenCharacters", 3, "R770ABC", M::File, O::MayBeIncorrect},
        TNameCase{"R770_Match", 3, "R7700417.S19", M::File, O::Accepted},
        TNameCase{"R770_EightCharacters", 3, "r770.s19", M::File, O::Accepted},
        TNameCase{"R770_WrongFourth", 3, "R7710417.S19", M::File, O::TypeWarning, "R770*"},
        TNameCase{"T3770_Short", 13, "T377.S19", M::File, O::TypeWarning, "T3770*"},
        TNameCase{"T3770_Match", 13, "t3770abc.s19", M::File, O::Accepted},
        TNameCase{"T3770_SevenCharacters", 13, "T3770AB", M::File, O::MayBeIncorrect},
        TNameCase{"T3770_SixCharacters", 13, "T3770A", M::File, O::TooShort},
        // codes outside the catalogue
        TNameCase{"UnknownCode7", 7, "KTR0417.S19", M::File, O::MayBeIncorrect},
        TNameCase{"UnknownCode0", 0, "KTR0417.S19", M::File, O::MayBeIncorrect},
        TNameCase{"UnknownCodeNegative", -1, "KTR0417.S19", M::File, O::MayBeIncorrect},
        // the file itself
        TNameCase{"MissingFile", 1, "KTR0417.S19", M::Nothing, O::NotFound},
        TNameCase{"MissingFileShortName", 1, "K.S", M::Nothing, O::NotFound},
        TNameCase{"DirectoryIsNoFile", 1, "KTR0417.S19", M::Directory, O::NotFound},
        // only the name after the last separator counts
        TNameCase{"FolderNameIgnored", 1, "KTR0417/abc0417.s19", M::File, O::TypeWarning, "KTR*"},
        TNameCase{"FolderWithOtherPrefix", 1, "K40files/KTR0417.S19", M::File, O::Accepted},
        TNameCase{"ShortNameInLongFolder", 1, "KTR0417_firmware/KTR.S", M::File, O::TooShort},
        TNameCase{"BackslashFolder", 1, "D:\\firmware\\KTR0417.S19", M::File, O::Accepted},
        TNameCase{"BackslashFolderPrefixIgnored", 2, "K40\\KTR0417.S19", M::File, O::TypeWarning, "K40*"},
        TNameCase{"DriveColon", 1, "C:KTR0417.S19", M::File, O::Accepted}),
    [](const auto &info) { return std::string(info.param.Name); });

} // namespace
