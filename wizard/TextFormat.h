#pragma once

#include <QString>
#include <QStringList>

// Fills the "%s" marks of a message text with the arguments, first to last. A mark without an
// argument stays as it is; the result is as long as it needs to be (no fixed buffer).
QString FormatText(const char *format, const QStringList &args);
