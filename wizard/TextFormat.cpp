#include "wizard/TextFormat.h"

QString FormatText(const char *format, const QStringList &args)
{
    const QString text = QString::fromUtf8(format);
    QString out;
    out.reserve(text.size() + 32 * args.size());
    qsizetype next = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype mark = text.indexOf(QLatin1String("%s"), from);
        if (mark < 0 || next >= args.size()) {
            out += text.mid(from);
            return out;
        }
        out += text.mid(from, mark - from);
        out += args.at(next++);
        from = mark + 2;
    }
}
