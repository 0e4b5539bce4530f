#include "app/RadioGroup.h"

#include <QEvent>

namespace {
constexpr int ItemIndent = 8; // from the group's inner left edge to the first column
}

TRadioGroup::TRadioGroup(QWidget *parent) : QGroupBox(parent)
{
    group_.setExclusive(true);
}

void TRadioGroup::SetItems(const QStringList &items)
{
    qDeleteAll(buttons_);
    buttons_.clear();
    items_ = items;
    index_ = -1;
    for (int i = 0; i < items_.size(); ++i) {
        auto *button = new QRadioButton(items_.at(i), this);
        button->setObjectName(objectName() + QStringLiteral("_item%1").arg(i));
        group_.addButton(button, i);
        connect(button, &QRadioButton::toggled, this, [this, i](bool checked) { ButtonToggled(i, checked); });
        buttons_.append(button);
        button->show();
    }
    ArrangeButtons();
}

void TRadioGroup::SetColumns(int columns)
{
    columns_ = qBound(1, columns, 16);
    ArrangeButtons();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index < 0 || index >= buttons_.size()) {
        if (index_ >= 0) {
            group_.setExclusive(false);
            buttons_.at(index_)->setChecked(false);
            group_.setExclusive(true);
            index_ = -1;
        }
        return;
    }
    buttons_.at(index)->setChecked(true);
}

QString TRadioGroup::SelectedText() const
{
    return items_.value(index_);
}

void TRadioGroup::ButtonToggled(int index, bool checked)
{
    if (!checked || index == index_)
        return;
    index_ = index;
    emit Click();
}

void TRadioGroup::resizeEvent(QResizeEvent *event)
{
    QGroupBox::resizeEvent(event);
    ArrangeButtons();
}

void TRadioGroup::changeEvent(QEvent *event)
{
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        ArrangeButtons();
}

void TRadioGroup::ArrangeButtons()
{
    // The classic radio-group arrangement: below a caption-high top margin, the height is shared
    // evenly by the rows; columns are (width - 10) / columns wide, starting 8 pixels in.
    const int n = int(buttons_.size());
    if (n == 0)
        return;
    const int textHeight = fontMetrics().height();
    const int perColumn = (n + columns_ - 1) / columns_;
    const int columnWidth = (width() - 10) / columns_;
    const int usable = height() - textHeight - 5;
    const int rowHeight = qMax(usable / perColumn, 1);
    const int top = textHeight + 1 + (usable % perColumn) / 2;
    for (int i = 0; i < n; ++i) {
        QRadioButton *button = buttons_.at(i);
        const int column = i / perColumn;
        const int row = i % perColumn;
        button->setGeometry(ItemIndent + column * columnWidth, top + row * rowHeight, columnWidth, rowHeight);
    }
}
