#pragma once
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// The drawing vocabulary shared by every picture, so that skins and buttons
// come out in one style.
namespace Style {

// Colours of the body and the key faces (widget colours live in Artwork).
namespace Ink {
inline const QColor bodyTop{0x3d, 0x44, 0x4e};
inline const QColor bodyBottom{0x25, 0x2a, 0x31};
inline const QColor edge{0x0e, 0x11, 0x16};
inline const QColor deck{0x1d, 0x22, 0x28};
inline const QColor glyph{0xb4, 0xbd, 0xc7};
inline const QColor glyphBright{0xf2, 0xf5, 0xf8};
inline const QColor keyTop{0x4d, 0x55, 0x60};
inline const QColor keyBottom{0x3a, 0x41, 0x4a};
inline const QColor keyBorder{0x15, 0x19, 0x1e};
inline const QColor keyHoverTop{0x63, 0x6d, 0x79};
inline const QColor keyHoverBottom{0x4b, 0x54, 0x5f};
inline const QColor keyLetters{0xa8, 0xb2, 0xbd};
inline const QColor greenTop{0x3b, 0xc0, 0x6b};
inline const QColor greenBottom{0x22, 0x8f, 0x49};
inline const QColor greenHoverTop{0x5c, 0xdc, 0x8a};
inline const QColor greenHoverBottom{0x2f, 0xab, 0x5b};
inline const QColor redTop{0xe2, 0x50, 0x45};
inline const QColor redBottom{0xb3, 0x2e, 0x27};
inline const QColor redHoverTop{0xf5, 0x6e, 0x62};
inline const QColor redHoverBottom{0xcc, 0x3b, 0x32};
inline const QColor muted{0xe5, 0x48, 0x3c};
} // namespace Ink

// DejaVu Sans at a pixel size; the generator refuses to run without it.
QFont font(int pixelSize, bool bold = false);
bool fontAvailable();

// A rectangle with its own radius at each corner (top-left, top-right,
// bottom-right, bottom-left).
QPainterPath roundedRect(const QRectF &r, qreal tl, qreal tr, qreal br, qreal bl);
inline QPainterPath roundedRect(const QRectF &r, qreal radius)
{
    return roundedRect(r, radius, radius, radius, radius);
}

// Fills a body outline with the graphite gradient and its bevel.
void drawBody(QPainter &p, const QPainterPath &outline);
// A panel pressed into the body: fill plus a shadow along its top edge and a
// highlight along its bottom edge.
void drawRecess(QPainter &p, const QPainterPath &panel, const QColor &fill, qreal depth = 1.0);

struct FaceColours {
    QColor top, bottom, border;
};
FaceColours keyFace(bool hover);
FaceColours greenFace(bool hover);
FaceColours redFace(bool hover);
// A raised key face; hover adds the accent ring.
void drawFace(QPainter &p, const QRectF &face, qreal radius, const FaceColours &c, bool hover);

// The program's name, "Soft" light and "phone" in the accent colour,
// centred on centre.
void wordmark(QPainter &p, QPointF centre, int pixelSize);

// Turns an anti-aliased body on transparency into an opaque picture:
// clearly outside pixels become exactly the key colour, all others are laid
// over the dark edge colour, so no pixel fades toward the key.
QImage keyOut(const QImage &argb);

} // namespace Style
