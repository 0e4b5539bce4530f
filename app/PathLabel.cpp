#include "app/PathLabel.h"

#include <QPainter>
#include <QStyle>

TPathLabel::TPathLabel(QWidget *parent) : QLabel(parent)
{
}

QString TPathLabel::DisplayedText() const
{
    const int width = contentsRect().width() - 2 * margin() - 2 * qMax(indent(), 0);
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, qMax(width, 0));
}

void TPathLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    if (indent() > 0)
        area.adjust(indent(), 0, -indent(), 0);
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), DisplayedText(),
                          foregroundRole());
}
