#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>
#include <QRadioButton>
#include <QStringList>

// A group of radio buttons made from a list of item texts, laid out in one or more columns that
// share the group's height evenly (filled column by column). Click() is raised for every change
// of the selected item, whether the technician clicked it or the program selected it.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
    Q_PROPERTY(QStringList items READ Items WRITE SetItems)
    Q_PROPERTY(int columns READ Columns WRITE SetColumns)
    Q_PROPERTY(int itemIndex READ ItemIndex WRITE SetItemIndex)

public:
    explicit TRadioGroup(QWidget *parent = nullptr);

    QStringList Items() const { return items_; }
    // Replaces the items; nothing is selected afterwards.
    void SetItems(const QStringList &items);
    void ClearItems() { SetItems({}); }

    int Columns() const { return columns_; }
    void SetColumns(int columns);

    // The selected item, -1 for none.
    int ItemIndex() const { return index_; }
    void SetItemIndex(int index);
    QString SelectedText() const;

    // The button of an item (for clicks in tests).
    QRadioButton *Button(int index) const { return buttons_.value(index); }

signals:
    void Click();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void ArrangeButtons();
    void ButtonToggled(int index, bool checked);

    QStringList items_;
    QList<QRadioButton *> buttons_;
    QButtonGroup group_;
    int columns_ = 1;
    int index_ = -1;
};
