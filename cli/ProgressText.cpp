#include "cli/ProgressText.h"

#include <QRegularExpression>
#include <cmath>

QString FormatDuration(qint64 ms)
{
    const qint64 seconds = qMax<qint64>(ms, 0) / 1000;
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds / 60) % 60;
    const qint64 s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

int PercentDone(qint64 sent, qint64 total)
{
    if (total <= 0 || sent <= 0)
        return 0;
    if (sent >= total)
        return 100;
    return int(sent * 100 / total);
}

std::optional<qint64> TimeLeftMs(const TProgressFigures &figures)
{
    if (!figures.LinesPerSecond || *figures.LinesPerSecond <= 0 || figures.Total <= 0)
        return std::nullopt;
    const qint64 left = qMax<qint64>(figures.Total - figures.Sent, 0);
    return qint64(std::llround(double(left) * 1000.0 / *figures.LinesPerSecond));
}

namespace {
QString Cut(const QString &text, int width)
{
    // The last column stays free: a row that fills it makes some terminals wrap, and the
    // redraw would then climb one line too few.
    const int room = qMax(width - 1, 1);
    return text.size() > room ? text.left(room) : text;
}

QString Rate(const TProgressFigures &figures)
{
    if (!figures.LinesPerSecond)
        return QStringLiteral("-- lines/s");
    return QStringLiteral("%1 lines/s").arg(*figures.LinesPerSecond, 0, 'f', 1);
}

QString Left(const TProgressFigures &figures)
{
    const std::optional<qint64> left = TimeLeftMs(figures);
    return left ? FormatDuration(*left) + QStringLiteral(" left") : QStringLiteral("--:-- left");
}
} // namespace

QString ProgressBarLine(const TProgressFigures &figures, int width)
{
    const int percent = PercentDone(figures.Sent, figures.Total);
    const QString figuresText = QStringLiteral("  %1/%2 lines  %3 %  %4  %5")
                                    .arg(figures.Sent)
                                    .arg(figures.Total)
                                    .arg(percent, 3)
                                    .arg(Rate(figures), Left(figures));
    // The bar takes what the figures leave, between 10 and 40 columns.
    const int barWidth = qBound(10, width - 1 - int(figuresText.size()) - 2, 40);
    const int filled = barWidth * percent / 100;
    const QString bar = QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(barWidth - filled, QLatin1Char('-'))
                        + QLatin1Char(']');
    return Cut(bar + figuresText, width);
}

QString ProgressRow(const QString &port, const QString &serialNumber, const TProgressFigures &figures,
                    const QString &status, int portWidth, int width)
{
    // Joined, not substituted: a port name or a status text may hold a '%'.
    const QString counts = QString::number(figures.Sent).rightJustified(6) + QLatin1Char('/')
                           + QString::number(figures.Total).leftJustified(6);
    const QString percent = QString::number(PercentDone(figures.Sent, figures.Total)).rightJustified(3) + QStringLiteral(" %");
    const QString row = port.leftJustified(portWidth) + QStringLiteral("  ")
                        + (serialNumber.isEmpty() ? QStringLiteral("-") : serialNumber).leftJustified(12)
                        + QStringLiteral("  ") + counts + QStringLiteral("  ") + percent + QStringLiteral("  ") + status;
    return Cut(row, width);
}

QStringList SummaryTable(const QList<TPortResult> &results)
{
    qsizetype portWidth = 4, unitWidth = 4, outcomeWidth = 7;
    for (const TPortResult &r : results) {
        portWidth = qMax(portWidth, PrintableName(r.Port).size());
        unitWidth = qMax(unitWidth, r.UnitName.size());
        outcomeWidth = qMax(outcomeWidth, DescribeOutcome(r.Outcome).size());
    }
    const auto row = [&](const QString &port, const QString &unit, const QString &outcome, const QString &time) {
        const QString line = port.leftJustified(portWidth) + QStringLiteral("  ") + unit.leftJustified(unitWidth)
                             + QStringLiteral("  ") + outcome.leftJustified(outcomeWidth) + QStringLiteral("  ") + time;
        return line.trimmed();
    };
    QStringList lines;
    lines << row(QStringLiteral("PORT"), QStringLiteral("UNIT"), QStringLiteral("OUTCOME"), QStringLiteral("TIME"));
    for (const TPortResult &r : results)
        lines << row(PrintableName(r.Port), r.UnitName, DescribeOutcome(r.Outcome), FormatDuration(r.DurationMs));
    return lines;
}

QString PrintableName(const QString &name)
{
    QString shown;
    shown.reserve(name.size());
    for (const QChar c : name) {
        if (c.category() != QChar::Other_Control) {
            shown += c;
            continue;
        }
        switch (c.unicode()) {
        case '\t': shown += QStringLiteral("\\t"); break;
        case '\n': shown += QStringLiteral("\\n"); break;
        case '\r': shown += QStringLiteral("\\r"); break;
        default: // every control character is below U+0100
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            break;
        }
    }
    return shown;
}

QString PosixShellQuote(const QString &argument)
{
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (safe.match(argument).hasMatch())
        return argument;
    QString quoted = argument;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString WindowsShellQuote(const QString &argument)
{
    // No comma (PowerShell makes a list of it), no '%' (cmd.exe expands it), no '@' at the start.
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9_+=:./\\\\-][A-Za-z0-9_@+=:./\\\\-]*$"));
    if (safe.match(argument).hasMatch())
        return argument;
    // Backslashes before the closing quote are doubled: the program's own reading of its command
    // line would take a backslash there as escaping the quote.
    qsizetype trailing = 0;
    while (trailing < argument.size() && argument.at(argument.size() - 1 - trailing) == QLatin1Char('\\'))
        ++trailing;
    return QLatin1Char('"') + argument + QString(trailing, QLatin1Char('\\')) + QLatin1Char('"');
}

QString ShellQuote(const QString &argument)
{
#ifdef Q_OS_WIN
    return WindowsShellQuote(argument);
#else
    return PosixShellQuote(argument);
#endif
}

QString RetryCommand(const QString &unit, const QString &file, const QStringList &ports, const QStringList &otherOptions)
{
    QStringList words = {QStringLiteral("varnel-cli"), QStringLiteral("update"), QStringLiteral("--unit"),
                         ShellQuote(unit), QStringLiteral("--file"), ShellQuote(file)};
    for (const QString &port : ports)
        words << QStringLiteral("--port") << ShellQuote(port);
    for (const QString &option : otherOptions)
        words << ShellQuote(option);
    return words.join(QLatin1Char(' '));
}

QString WrapToWidth(const QString &text, int width)
{
    width = qMax(width, 20);
    QStringList out;
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        QString rest = paragraph;
        while (rest.size() > width) {
            // The last blank within the line; a word longer than the line breaks after itself.
            qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), width);
            if (cut <= 0)
                cut = rest.indexOf(QLatin1Char(' '), width);
            if (cut <= 0)
                break;
            out << rest.left(cut);
            rest = rest.mid(cut + 1);
        }
        out << rest;
    }
    return out.join(QLatin1Char('\n'));
}
