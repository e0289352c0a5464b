#include "PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(const QString &name, QWidget *parent, const QString &caption)
    : QLabel(parent), caption_(caption)
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
    if (!pixmap().isNull() || caption_.isEmpty()) {
        QLabel::paintEvent(event);
        return;
    }
    // No artwork yet: a plain key face so the control can be seen and used.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face = isEnabled() ? QColor(0x3a, 0x44, 0x52) : QColor(0x2a, 0x30, 0x38);
    p.setPen(QColor(0x5d, 0x6b, 0x7d));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.setPen(isEnabled() ? QColor(0xf0, 0xf3, 0xf7) : QColor(0x80, 0x88, 0x92));
    QFont f = font();
    f.setBold(true);
    int size = qMax(7, qMin(height() - 6, 13));
    do {
        f.setPixelSize(size);
    } while (QFontMetrics(f).horizontalAdvance(caption_) > width() - 4 && --size > 6);
    p.setFont(f);
    p.drawText(rect(), Qt::AlignCenter, caption_);
}
