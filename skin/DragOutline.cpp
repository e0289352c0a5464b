#include "skin/DragOutline.h"

#include "platform/WindowSystem.h"

#include <QPainter>
#include <QPen>

DragOutline::DragOutline()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
{
    setObjectName(QStringLiteral("dragOutline"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // A compositor may show the whole window whatever its shape (XWayland
    // does): drawn with alpha, the inside stays see-through there too.
    if (platform::WindowSystem::CompositorDrawsAlpha())
        setAttribute(Qt::WA_TranslucentBackground);
}

void DragOutline::Draw(const QRect &r)
{
    setGeometry(r);
    if (!isVisible())
        show(); // new windows map on top, and the stays-on-top hint keeps it there
}

void DragOutline::Erase()
{
    hide();
}

void DragOutline::resizeEvent(QResizeEvent *event)
{
    // Only the border is part of the window, so what lies inside the outline
    // stays visible without needing a compositor.
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    setMask(inner.isValid() ? QRegion(rect()) - QRegion(inner) : QRegion(rect()));
    QWidget::resizeEvent(event);
}

void DragOutline::paintEvent(QPaintEvent *)
{
    // Alternate black and white dots so the outline shows on any background.
    QPainter p(this);
    const QRect edge = rect().adjusted(0, 0, -1, -1);
    p.setPen(QPen(Qt::white, 0));
    p.drawRect(edge);
    QPen dots(Qt::black, 0);
    dots.setDashPattern({1.0, 1.0});
    p.setPen(dots);
    p.drawRect(edge);
}
