#pragma once
#include <QColor>
#include <QRectF>

class QPainter;

// Small line-art pictograms, designed on a 24 x 24 grid and scaled into box.
namespace Glyphs {

enum class Handset { Lifted, HungUp };

void handset(QPainter &p, const QRectF &box, const QColor &c, Handset pose = Handset::Lifted);
void clock(QPainter &p, const QRectF &box, const QColor &c);
void person(QPainter &p, const QRectF &box, const QColor &c);
void contacts(QPainter &p, const QRectF &box, const QColor &c, const QColor &background);
void headset(QPainter &p, const QRectF &box, const QColor &c);
void speaker(QPainter &p, const QRectF &box, const QColor &c, bool muted = false,
             const QColor &mutedColour = {});
void microphone(QPainter &p, const QRectF &box, const QColor &c, bool muted = false,
                const QColor &mutedColour = {}, const QColor &background = {});
void backspace(QPainter &p, const QRectF &box, const QColor &c);
void cross(QPainter &p, const QRectF &box, const QColor &c, qreal width);
void minus(QPainter &p, const QRectF &box, const QColor &c, qreal width);
void asterisk(QPainter &p, const QRectF &box, const QColor &c);

} // namespace Glyphs
