#pragma once

#include <QLabel>

// A picture control: the picture centred and, when it is larger than the control, scaled down
// keeping its proportions; with stretch on, the picture fills the control. A click raises
// Clicked().
class TPicture : public QLabel {
    Q_OBJECT
    Q_PROPERTY(bool stretch READ Stretch WRITE SetStretch)

public:
    explicit TPicture(QWidget *parent = nullptr);

    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);

    // Where the picture is painted inside the control.
    QRect PictureRect() const;

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool stretch_ = false;
    bool pressed_ = false;
};
