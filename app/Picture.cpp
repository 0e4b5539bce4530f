#include "app/Picture.h"

#include <QMouseEvent>
#include <QPainter>

TPicture::TPicture(QWidget *parent) : QLabel(parent)
{
}

void TPicture::SetStretch(bool stretch)
{
    stretch_ = stretch;
    update();
}

QRect TPicture::PictureRect() const
{
    const QRect area = contentsRect();
    const QPixmap picture = pixmap();
    if (picture.isNull() || stretch_)
        return area;
    QSize size = picture.deviceIndependentSize().toSize();
    if (size.width() > area.width() || size.height() > area.height())
        size.scale(area.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(area.center());
    return target;
}

void TPicture::paintEvent(QPaintEvent *event)
{
    const QPixmap picture = pixmap();
    if (picture.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(PictureRect(), picture);
}

void TPicture::mousePressEvent(QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TPicture::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit Clicked();
}
