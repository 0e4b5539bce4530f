#pragma once

#include <QLabel>

// A label that holds a full file path as its text and, when the path is wider than the label,
// shows it shortened in the middle. The text itself is never shortened.
class TPathLabel : public QLabel {
    Q_OBJECT

public:
    explicit TPathLabel(QWidget *parent = nullptr);

    // The text as it is painted at the label's present width.
    QString DisplayedText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
