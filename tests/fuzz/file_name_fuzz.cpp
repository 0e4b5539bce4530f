// Fuzz target: the update-file name rules over every unit type of the catalogue (and codes
// outside it) with arbitrary path bytes, decoded as the program decodes a file name. The first
// input byte picks whether the path is judged as it is (odd: most such paths do not exist) or
// is first created as a file in a scratch folder (even: the name rules proper are reached).
// The outcome is compared with the rules: a missing file or a folder is "not found"; the name
// is what follows the last '/', '\' or ':'; under 7 characters it is too short; the unit
// type's prefix, compared without regard to case, decides, with names too short for a long
// prefix or unknown codes judged as "may be incorrect". The warning is left alone on success.

#include <filesystem>
#include <system_error>

#include "tests/fuzz/FuzzSupport.h"
#include "updatefile/FileNameRules.h"
#include "updatefile/FileTexts.h"
#include "updatefile/UnitCatalogue.h"

namespace {

bool IsFile(const QString &path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return false;
    // Asked of the C++ library, not of Qt, so that the model does not lean on what it checks.
    std::error_code error;
    const std::filesystem::path p(path.toStdU16String());
    return std::filesystem::exists(p, error) && !std::filesystem::is_directory(p, error);
}

QString NamePart(const QString &path)
{
    qsizetype cut = -1;
    for (qsizetype i = 0; i < path.size(); ++i)
        if (path[i] == u'/' || path[i] == u'\\' || path[i] == u':')
            cut = i;
    return path.mid(cut + 1);
}

bool AsciiPrefixFits(const QString &name, const QString &prefix)
{
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        const char16_t c = name[i].unicode();
        const char16_t upper = (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c;
        if (upper != prefix[i].unicode())
            return false;
    }
    return true;
}

// The warning expected for a path, or an empty string when the name fits.
QString Expected(int code, const QString &path, bool exists)
{
    if (!exists)
        return FileTexts::FileNotFound;
    const QString name = NamePart(path);
    if (name.size() < 7)
        return FileTexts::NameTooShort;
    const TUnitType *unit = FindUnitType(code);
    if (!unit || (unit->PrefixLength > 3 && name.size() < 8))
        return FileTexts::NameMayBeIncorrect;
    for (const QString &prefix : unit->Prefixes)
        if (AsciiPrefixFits(name, prefix))
            return QString();
    return unit->NameWarning;
}

std::vector<int> Codes()
{
    std::vector<int> codes{0, 7, 99, -1};
    for (const TUnitType &unit : UnitCatalogue())
        codes.push_back(unit.Code);
    return codes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::SilenceQt();
    static const std::vector<int> codes = Codes();
    static const QString sentinel = QStringLiteral("(unchanged)");
    if (size == 0)
        return 0;

    const bool create = (data[0] & 1) == 0;
    const QString given = QFile::decodeName(FuzzSupport::Bytes(data + 1, size - 1));
    QString path = given;
    if (create) {
        // Inside the scratch folder only: a '/' in the name becomes '\' (still a separator to
        // the rules), so no input reaches outside it.
        QString name = given;
        name.replace(u'/', u'\\');
        path = FuzzSupport::ScratchDir() + u'/' + name;
        if (!name.isEmpty() && !name.contains(QChar(0)) && name != QStringLiteral(".") && name != QStringLiteral(".."))
            FuzzSupport::WriteFile(path, QByteArray());
    }
    const bool exists = IsFile(path);

    for (int code : codes) {
        QString warning = sentinel;
        const bool fits = CheckUpdateFileName(code, path, warning);
        const QString expected = Expected(code, path, exists);
        FUZZ_CHECK(fits == expected.isEmpty());
        FUZZ_CHECK(fits ? warning == sentinel : warning == expected);
    }

    if (create && exists)
        QFile::remove(path);
    return 0;
}
