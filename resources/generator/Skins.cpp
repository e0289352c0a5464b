#include "resources/generator/Skins.h"

#include "resources/Artwork.h"
#include "resources/generator/Glyphs.h"
#include "resources/generator/Layout.h"
#include "resources/generator/Style.h"

#include <QPainter>

using namespace Style;

namespace Skins {

namespace {

QImage canvas(QSize size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// Row of speaker holes, centred on (cx, cy).
void grille(QPainter &p, qreal cx, qreal cy, int columns, int rows)
{
    const qreal pitch = 6.0;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QPointF at(cx + (c - (columns - 1) / 2.0) * pitch, cy + (r - (rows - 1) / 2.0) * pitch);
            p.setBrush(QColor(255, 255, 255, 22));
            p.drawEllipse(at + QPointF(0, 0.8), 1.4, 1.4);
            p.setBrush(QColor(0x12, 0x15, 0x19));
            p.drawEllipse(at, 1.4, 1.4);
        }
    }
    p.restore();
}

// A groove the slider thumb runs in; the thumb is centred on it.
void groove(QPainter &p, const QRect &track)
{
    const QRectF g(track.left(), track.top() + 2, track.width(), 3);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 30));
    p.drawRoundedRect(g.translated(0, 1), 1.5, 1.5);
    p.setBrush(QColor(0x12, 0x15, 0x19));
    p.drawRoundedRect(g, 1.5, 1.5);
    p.restore();
}

// The light card that carries labels, text boxes and push buttons.
void card(QPainter &p, const QRectF &r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = roundedRect(r, 8);
    drawRecess(p, path, QColor(0x14, 0x17, 0x1b), 0.8);
    p.setPen(Qt::NoPen);
    p.setBrush(Artwork::panelBackground());
    p.drawPath(roundedRect(r.adjusted(1, 1, -1, -1), 7));
    p.restore();
}

void title(QPainter &p, const QRectF &r, const QString &text, Qt::Alignment align)
{
    p.save();
    p.setFont(font(13, true));
    p.setPen(Artwork::bodyText());
    p.drawText(r, int(align | Qt::AlignVCenter), text);
    p.restore();
}

} // namespace

QPainterPath displayPath(qreal g)
{
    using namespace Layout;
    const qreal left = display.left() - g, top = display.top() - g;
    const qreal radius = 5 + g;
    QPainterPath band = roundedRect(QRectF(left, top, display.right() + 1 + g - left, displayBandBottom + g - top), radius);
    QPainterPath lower = roundedRect(QRectF(left, top, displayLowerRight + g - left, display.bottom() + 1 + g - top), radius);
    // Round the inner corner where the band meets the lower part.
    const qreal f = 4 - g;
    QPainterPath fillet;
    if (f > 0) {
        const QPointF corner(displayLowerRight + g, displayBandBottom + g);
        fillet.addRect(QRectF(corner, QSizeF(f, f)));
        QPainterPath bite;
        bite.addEllipse(corner + QPointF(f, f), f, f);
        fillet = fillet.subtracted(bite);
    }
    return band.united(lower).united(fillet).simplified();
}

QImage main()
{
    using namespace Layout;
    QImage img = canvas(mainSize);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath body = roundedRect(QRectF(2, 0, 288, 387), 40, 40, 30, 30);
    drawBody(p, body);
    p.setClipPath(body);

    // LCD in a dark bezel.
    drawRecess(p, displayPath(2.5), QColor(0x12, 0x15, 0x19), 1.0);
    const QPainterPath lcd = displayPath(0);
    p.setPen(Qt::NoPen);
    p.setBrush(Artwork::displayBackground());
    p.drawPath(lcd);
    {
        // Glass shadow along the top of the LCD only, clear of the text.
        p.save();
        p.setClipPath(lcd, Qt::IntersectClip);
        QLinearGradient shade(0, display.top(), 0, display.top() + 5);
        shade.setColorAt(0, QColor(0, 0, 0, 60));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(display.left(), display.top(), display.width(), 5), shade);
        p.restore();
    }

    // Volume rows: pictogram, groove.
    Glyphs::speaker(p, QRectF(speakerIcon), Ink::glyph);
    Glyphs::microphone(p, QRectF(micIcon), Ink::glyph);
    groove(p, speakerTrack);
    groove(p, micTrack);

    // Deck holding the function buttons, the keypad and the call keys.
    const QPainterPath deck = roundedRect(QRectF(12, 166, 268, 186), 16);
    drawRecess(p, deck, Ink::deck, 1.0);
    p.setPen(QPen(QColor(0x12, 0x15, 0x19), 1));
    p.drawLine(QPointF(26, 213.5), QPointF(266, 213.5));
    p.setPen(QPen(QColor(255, 255, 255, 20), 1));
    p.drawLine(QPointF(26, 214.5), QPointF(266, 214.5));

    grille(p, 146, 370, 15, 3);
    p.end();
    return keyOut(img);
}

QImage login()
{
    QImage img = canvas(Layout::loginSize);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath body = roundedRect(QRectF(2, 0, 212, 186), 18);
    drawBody(p, body);
    p.setClipPath(body);
    wordmark(p, QPointF(108, 15), 14);
    card(p, QRectF(10, 28, 196, 146));
    p.end();
    return keyOut(img);
}

QImage phoneBook()
{
    QImage img = canvas(Layout::phoneBookSize);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath body = roundedRect(QRectF(2, 0, 276, 286), 18);
    drawBody(p, body);
    p.setClipPath(body);
    // Title centred on the same line as the close button (254,12 12x12).
    Glyphs::contacts(p, QRectF(16, 10, 16, 16), Ink::glyph, Ink::bodyTop);
    title(p, QRectF(36, 8, 180, 20), QStringLiteral("Phone Book"), Qt::AlignLeft);
    card(p, QRectF(18, 30, 244, 244));
    p.end();
    return keyOut(img);
}

QImage recent()
{
    QImage img = canvas(Layout::recentSize);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath body = roundedRect(QRectF(2, 0, 212, 206), 18);
    drawBody(p, body);
    p.setClipPath(body);
    Glyphs::clock(p, QRectF(14, 6, 15, 15), Ink::glyph);
    title(p, QRectF(34, 3, 170, 20), QStringLiteral("Recent Calls"), Qt::AlignLeft);
    card(p, QRectF(10, 26, 196, 170));
    p.end();
    return keyOut(img);
}

} // namespace Skins
