#include "updatefile/FileNameRules.h"

#include <QFileInfo>
#include <QLocale>

#include "updatefile/FileTexts.h"
#include "updatefile/UnitCatalogue.h"

namespace {

// The file name: what follows the last directory separator or drive colon. Both separators
// count on every platform, so a name typed or pasted with either kind of path is judged alike.
QString FileNamePart(const QString &path)
{
    qsizetype cut = -1;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path.at(i);
        if (c == u'/' || c == u'\\' || c == u':') {
            cut = i;
            break;
        }
    }
    return path.mid(cut + 1);
}

// The name length the prefix test needs: 7 characters for the 3-character prefixes, 8 for the
// longer ones. A shorter name cannot be judged for those unit types.
constexpr int ShortPrefixNameLength = 7;
constexpr int LongPrefixNameLength = 8;

bool Judge(int unitType, const QString &path, QString &warning)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        warning = FileTexts::FileNotFound;
        return false;
    }

    const QString name = FileNamePart(path);
    if (name.size() < ShortPrefixNameLength) {
        warning = FileTexts::NameTooShort;
        return false;
    }

    const TUnitType *unit = FindUnitType(unitType);
    const int needed = (unit && unit->PrefixLength > 3) ? LongPrefixNameLength : ShortPrefixNameLength;
    if (!unit || unit->Prefixes.isEmpty() || name.size() < needed) {
        warning = FileTexts::NameMayBeIncorrect;
        return false;
    }

    const QString start = QLocale().toUpper(name.left(unit->PrefixLength));
    for (const QString &prefix : unit->Prefixes)
        if (start == prefix)
            return true;
    warning = unit->NameWarning;
    return false;
}

} // namespace

bool CheckUpdateFileName(int unitType, const QString &path, QString &warning)
{
    try {
        return Judge(unitType, path, warning);
    } catch (...) {
        warning = FileTexts::NameCheckFailed;
        return false;
    }
}
