#include "resources/generator/Style.h"

#include "resources/Artwork.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

namespace Style {

QFont font(int pixelSize, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    // The family also names condensed faces where fonts-dejavu-extra is installed.
    f.setStretch(QFont::Unstretched);
    f.setStyleStrategy(QFont::PreferAntialias);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

bool fontAvailable()
{
    return QFontInfo(font(12)).family() == QStringLiteral("DejaVu Sans");
}

QPainterPath roundedRect(const QRectF &r, qreal tl, qreal tr, qreal br, qreal bl)
{
    QPainterPath path;
    path.moveTo(r.left() + tl, r.top());
    path.lineTo(r.right() - tr, r.top());
    path.arcTo(QRectF(r.right() - 2 * tr, r.top(), 2 * tr, 2 * tr), 90, -90);
    path.lineTo(r.right(), r.bottom() - br);
    path.arcTo(QRectF(r.right() - 2 * br, r.bottom() - 2 * br, 2 * br, 2 * br), 0, -90);
    path.lineTo(r.left() + bl, r.bottom());
    path.arcTo(QRectF(r.left(), r.bottom() - 2 * bl, 2 * bl, 2 * bl), 270, -90);
    path.lineTo(r.left(), r.top() + tl);
    path.arcTo(QRectF(r.left(), r.top(), 2 * tl, 2 * tl), 180, -90);
    path.closeSubpath();
    return path;
}

void drawBody(QPainter &p, const QPainterPath &outline)
{
    const QRectF b = outline.boundingRect();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(b.topLeft(), b.bottomLeft());
    fill.setColorAt(0, Ink::bodyTop);
    fill.setColorAt(1, Ink::bodyBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(outline);

    // Bevel: a light rim along the top fading out, a dark one at the bottom.
    QLinearGradient rim(b.topLeft(), b.bottomLeft());
    rim.setColorAt(0, QColor(255, 255, 255, 70));
    rim.setColorAt(0.12, QColor(255, 255, 255, 18));
    rim.setColorAt(0.6, QColor(255, 255, 255, 0));
    rim.setColorAt(0.92, QColor(0, 0, 0, 30));
    rim.setColorAt(1, QColor(0, 0, 0, 90));
    p.setClipPath(outline);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(rim), 3.0));
    p.drawPath(outline);
    p.setClipping(false);
    p.setPen(QPen(Ink::edge, 1.2));
    p.drawPath(outline);
    p.restore();
}

void drawRecess(QPainter &p, const QPainterPath &panel, const QColor &fill, qreal depth)
{
    const QRectF b = panel.boundingRect();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Highlight one pixel below the panel: the lit lower lip of the cut.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, int(28 * depth)));
    p.drawPath(panel.translated(0, 1));
    p.setBrush(fill);
    p.drawPath(panel);
    p.setClipPath(panel);
    QLinearGradient shade(b.topLeft(), b.topLeft() + QPointF(0, 5 * depth));
    shade.setColorAt(0, QColor(0, 0, 0, int(90 * depth)));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(shade), 3.0 * depth));
    p.drawPath(panel);
    p.restore();
}

FaceColours keyFace(bool hover)
{
    return hover ? FaceColours{Ink::keyHoverTop, Ink::keyHoverBottom, Ink::keyBorder}
                 : FaceColours{Ink::keyTop, Ink::keyBottom, Ink::keyBorder};
}

FaceColours greenFace(bool hover)
{
    return hover ? FaceColours{Ink::greenHoverTop, Ink::greenHoverBottom, QColor(0x10, 0x3d, 0x20)}
                 : FaceColours{Ink::greenTop, Ink::greenBottom, QColor(0x10, 0x3d, 0x20)};
}

FaceColours redFace(bool hover)
{
    return hover ? FaceColours{Ink::redHoverTop, Ink::redHoverBottom, QColor(0x4a, 0x12, 0x0e)}
                 : FaceColours{Ink::redTop, Ink::redBottom, QColor(0x4a, 0x12, 0x0e)};
}

void drawFace(QPainter &p, const QRectF &face, qreal radius, const FaceColours &c, bool hover)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = face.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, c.top);
    fill.setColorAt(1, c.bottom);
    p.setPen(QPen(c.border, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
    // Light catches the upper lip of the key.
    const QRectF lip = r.adjusted(1, 1, -1, -1);
    QLinearGradient shine(lip.topLeft(), lip.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, hover ? 110 : 80));
    shine.setColorAt(0.35, QColor(255, 255, 255, 0));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QBrush(shine), 1.0));
    p.drawRoundedRect(lip, radius - 1, radius - 1);
    if (hover) {
        QColor ring = Artwork::accent();
        ring.setAlpha(230);
        p.setPen(QPen(ring, 1.4));
        p.drawRoundedRect(r.adjusted(0.2, 0.2, -0.2, -0.2), radius, radius);
    }
    p.restore();
}

void wordmark(QPainter &p, QPointF centre, int pixelSize)
{
    const QFont f = font(pixelSize, true);
    const QFontMetricsF fm(f);
    const QString soft = QStringLiteral("Soft"), phone = QStringLiteral("phone");
    // Whole pixels keep the stems sharp.
    const qreal x = qRound(centre.x() - fm.horizontalAdvance(soft + phone) / 2);
    const qreal base = qRound(centre.y() + fm.capHeight() / 2);
    p.save();
    p.setFont(f);
    p.setPen(Artwork::bodyText());
    p.drawText(QPointF(x, base), soft);
    p.setPen(Artwork::accent());
    p.drawText(QPointF(x + fm.horizontalAdvance(soft), base), phone);
    p.restore();
}

QImage keyOut(const QImage &argb)
{
    const QImage src = argb.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    const QRgb key = Artwork::keyColour().rgb();
    const QColor e = Ink::edge;
    for (int y = 0; y < src.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        QRgb *o = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            const int a = qAlpha(in[x]);
            if (a < 110) {
                o[x] = key;
                continue;
            }
            auto mix = [a](int c, int under) { return (c * a + under * (255 - a) + 127) / 255; };
            o[x] = qRgb(mix(qRed(in[x]), e.red()), mix(qGreen(in[x]), e.green()), mix(qBlue(in[x]), e.blue()));
        }
    }
    return out;
}

} // namespace Style
