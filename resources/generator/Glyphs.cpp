#include "resources/generator/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace Glyphs {

namespace {

// Maps the 24-unit design grid onto box for the lifetime of the object.
class Grid {
public:
    Grid(QPainter &p, const QRectF &box) : p_(p)
    {
        p_.save();
        p_.setRenderHint(QPainter::Antialiasing);
        p_.translate(box.topLeft());
        p_.scale(box.width() / 24.0, box.height() / 24.0);
    }
    ~Grid() { p_.restore(); }

private:
    QPainter &p_;
};

QPen line(const QColor &c, qreal w)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath handsetPath()
{
    // Handle: a quarter circle bowing to the lower left, earpiece at the top,
    // mouthpiece at the right; both pads face the inside of the curve.
    QPainterPath handle;
    handle.arcMoveTo(QRectF(5, -11, 30, 30), 180);
    handle.arcTo(QRectF(5, -11, 30, 30), 180, 90);
    QPainterPathStroker stroker;
    stroker.setWidth(4.6);
    stroker.setCapStyle(Qt::FlatCap);
    QPainterPath shape = stroker.createStroke(handle);
    QPainterPath ear;
    ear.addRoundedRect(QRectF(2.6, 2.0, 8.6, 6.0), 2.2, 2.2);
    QPainterPath mouth;
    mouth.addRoundedRect(QRectF(16.0, 12.8, 6.0, 8.6), 2.2, 2.2);
    return shape.united(ear).united(mouth).simplified();
}

} // namespace

void handset(QPainter &p, const QRectF &box, const QColor &c, Handset pose)
{
    Grid g(p, box);
    if (pose == Handset::HungUp) {
        // Laid flat with both pads down: the usual "hang up" sign.
        p.translate(12, 12);
        p.rotate(135);
        p.translate(-12, -13);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(handsetPath());
}

void clock(QPainter &p, const QRectF &box, const QColor &c)
{
    Grid g(p, box);
    p.setBrush(Qt::NoBrush);
    p.setPen(line(c, 2.2));
    p.drawEllipse(QPointF(12, 12), 9, 9);
    p.setPen(line(c, 2.0));
    p.drawLine(QPointF(12, 12), QPointF(12, 6.5));
    p.drawLine(QPointF(12, 12), QPointF(15.8, 14.4));
}

void person(QPainter &p, const QRectF &box, const QColor &c)
{
    Grid g(p, box);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 7.6), 4.6, 4.6);
    QPainterPath shoulders;
    shoulders.moveTo(3.2, 21.5);
    shoulders.cubicTo(3.2, 16.2, 7.2, 13.8, 12, 13.8);
    shoulders.cubicTo(16.8, 13.8, 20.8, 16.2, 20.8, 21.5);
    shoulders.closeSubpath();
    p.drawPath(shoulders);
}

void contacts(QPainter &p, const QRectF &box, const QColor &c, const QColor &background)
{
    Grid g(p, box);
    // A closed book seen from the front, a person on its cover.
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(4.5, 2.5, 16, 19), 2.4, 2.4);
    p.setBrush(background);
    p.drawRect(QRectF(6.6, 2.5, 1.3, 19));
    p.drawEllipse(QPointF(14.2, 9.3), 2.7, 2.7);
    QPainterPath body;
    body.moveTo(9.6, 17.6);
    body.cubicTo(9.6, 14.9, 11.6, 13.3, 14.2, 13.3);
    body.cubicTo(16.8, 13.3, 18.8, 14.9, 18.8, 17.6);
    body.closeSubpath();
    p.drawPath(body);
}

void headset(QPainter &p, const QRectF &box, const QColor &c)
{
    Grid g(p, box);
    p.setBrush(Qt::NoBrush);
    p.setPen(line(c, 2.2));
    QPainterPath band;
    band.moveTo(4.2, 14);
    band.arcTo(QRectF(4.2, 3, 15.6, 19), 180, -180);
    p.drawPath(band);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(2.4, 12.2, 5.2, 8.4), 2.2, 2.2);
    p.drawRoundedRect(QRectF(16.4, 12.2, 5.2, 8.4), 2.2, 2.2);
    p.setBrush(Qt::NoBrush);
    p.setPen(line(c, 1.7));
    QPainterPath boom;
    boom.moveTo(18.6, 20.4);
    boom.quadTo(18.2, 22.6, 14.2, 22.6);
    p.drawPath(boom);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(13.0, 22.6), 1.7, 1.5);
}

void speaker(QPainter &p, const QRectF &box, const QColor &c, bool muted, const QColor &mutedColour)
{
    Grid g(p, box);
    QPainterPath cone;
    cone.moveTo(2.5, 9);
    cone.lineTo(6.5, 9);
    cone.lineTo(12, 4);
    cone.lineTo(12, 20);
    cone.lineTo(6.5, 15);
    cone.lineTo(2.5, 15);
    cone.closeSubpath();
    p.setPen(line(c, 1.2));
    p.setBrush(c);
    p.drawPath(cone);
    p.setBrush(Qt::NoBrush);
    if (muted) {
        p.setPen(line(mutedColour, 2.4));
        p.drawLine(QPointF(15.2, 8.6), QPointF(21.6, 15.4));
        p.drawLine(QPointF(21.6, 8.6), QPointF(15.2, 15.4));
        return;
    }
    p.setPen(line(c, 1.8));
    p.drawArc(QRectF(8, 8, 8, 8), -50 * 16, 100 * 16);
    p.drawArc(QRectF(4.5, 4.5, 15, 15), -50 * 16, 100 * 16);
}

void microphone(QPainter &p, const QRectF &box, const QColor &c, bool muted, const QColor &mutedColour,
                const QColor &background)
{
    Grid g(p, box);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(8.6, 2.2, 6.8, 12.4), 3.4, 3.4);
    p.setBrush(Qt::NoBrush);
    p.setPen(line(c, 1.8));
    p.drawArc(QRectF(5.4, 4.6, 13.2, 13.2), 190 * 16, 160 * 16);
    p.drawLine(QPointF(12, 17.9), QPointF(12, 21.2));
    p.drawLine(QPointF(8.4, 21.6), QPointF(15.6, 21.6));
    if (muted) {
        // The slash is cut out of the glyph so it stays readable at 16 px.
        p.setPen(line(background, 4.6));
        p.drawLine(QPointF(4, 3.2), QPointF(20.4, 20.8));
        p.setPen(line(mutedColour, 2.4));
        p.drawLine(QPointF(4, 3.2), QPointF(20.4, 20.8));
    }
}

void backspace(QPainter &p, const QRectF &box, const QColor &c)
{
    Grid g(p, box);
    QPainterPath tag;
    tag.moveTo(8.5, 5);
    tag.lineTo(21.5, 5);
    tag.lineTo(21.5, 19);
    tag.lineTo(8.5, 19);
    tag.lineTo(2, 12);
    tag.closeSubpath();
    p.setBrush(Qt::NoBrush);
    p.setPen(line(c, 1.8));
    p.drawPath(tag);
    p.setPen(line(c, 1.9));
    p.drawLine(QPointF(11.6, 9), QPointF(17.6, 15));
    p.drawLine(QPointF(17.6, 9), QPointF(11.6, 15));
}

void cross(QPainter &p, const QRectF &box, const QColor &c, qreal width)
{
    Grid g(p, box);
    p.setPen(line(c, width));
    p.drawLine(QPointF(6, 6), QPointF(18, 18));
    p.drawLine(QPointF(18, 6), QPointF(6, 18));
}

void minus(QPainter &p, const QRectF &box, const QColor &c, qreal width)
{
    Grid g(p, box);
    p.setPen(line(c, width));
    p.drawLine(QPointF(6, 12), QPointF(18, 12));
}

void asterisk(QPainter &p, const QRectF &box, const QColor &c)
{
    Grid g(p, box);
    p.setPen(line(c, 2.6));
    for (int i = 0; i < 3; ++i) {
        const qreal a = qDegreesToRadians(90.0 + 60.0 * i);
        const QPointF d(7 * qCos(a), 7 * qSin(a));
        p.drawLine(QPointF(12, 12) - d, QPointF(12, 12) + d);
    }
}

} // namespace Glyphs
