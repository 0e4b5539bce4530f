#pragma once

#include <QString>

// Judges an update file's name against the naming rule of a unit type. True when the name fits;
// on false, warning holds the text for the file warning label. The extension plays no part.
bool CheckUpdateFileName(int unitType, const QString &path, QString &warning);
