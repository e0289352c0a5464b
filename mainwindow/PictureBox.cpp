#include "mainwindow/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(const QString &name, QWidget *parent) : QLabel(parent)
{
    setObjectName(name);
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click && isEnabled())
        emit Click();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    // A disabled button keeps its picture as drawn; the artwork itself says
    // what can be pressed.
    if (pixmap().isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, pixmap());
}
