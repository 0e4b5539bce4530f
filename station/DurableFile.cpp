#include "station/DurableFile.h"

bool AppendWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    return AppendToFile(path, bytes, false, error);
}

bool AppendLine(const QString &path, const QByteArray &line, QString *error)
{
    return AppendToFile(path, line + '\n', true, error);
}
