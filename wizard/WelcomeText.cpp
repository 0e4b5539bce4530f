#include "wizard/WelcomeText.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "wizard/Brand.h"
#include "wizard/TextFormat.h"
#include "wizard/WizardConfig.h"
#include "wizard/WizardTexts.h"

namespace {
// Points to the document's layout units (pixels at 96 dots per inch).
qreal PointsToPixels(int points)
{
    return points * 96.0 / 72.0;
}

// Appends text at the end; every line begun here, and the current line when it is still empty,
// gets the first-line indent. A line already holding text keeps its own indent, as a rich-text
// box keeps a paragraph's format when text is added after it.
void AppendIndented(QTextCursor &cursor, const QString &text, qreal indent)
{
    QTextBlockFormat format = cursor.blockFormat();
    format.setTextIndent(indent);
    if (cursor.block().length() <= 1)
        cursor.setBlockFormat(format);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock(format);
        cursor.insertText(lines.at(i));
    }
}
} // namespace

void WriteWelcomeText(QTextDocument &document, int selectedBrand)
{
    document.clear();
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    AppendIndented(cursor,
                   FormatText(WizardTexts::Welcome, {QString::fromUtf8(WizardConfig::ProgramName),
                                                     QString::fromUtf8(WizardConfig::ProductFamilyName)}),
                   0);
    AppendIndented(cursor, BrandProductNames(selectedBrand).join(QLatin1Char('\n')),
                   PointsToPixels(WelcomeNameIndentPoints));
    AppendIndented(cursor, QString::fromUtf8(WizardTexts::WelcomeClosing), 0);
}
