#include "resources/generator/Buttons.h"

#include "resources/Artwork.h"
#include "resources/generator/Glyphs.h"
#include "resources/generator/Layout.h"
#include "resources/generator/Style.h"

#include <QFontMetricsF>
#include <QPainter>

using namespace Style;

namespace Buttons {

namespace {

QImage crop(const QImage &skin, const QRect &r)
{
    return skin.copy(r).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage opaque(const QImage &img) { return img.convertToFormat(QImage::Format_RGB32); }

// The keypad keys sit at slightly uneven places; their faces are drawn on a
// common grid (the part every key of a row or column shares) so they line up.
constexpr int keyColumns[] = {68, 122, 176};
constexpr int keyRows[] = {229, 258, 287, 316};
constexpr QSize keyFaceSize{46, 24};

struct Key {
    QString name;    // picture suffix: "1", "y" (*), "Hash"
    QString digit;
    QString letters;
    int column, row;
    QRect place;
};

std::vector<Key> keypad()
{
    std::vector<Key> keys;
    const char *const letters[] = {"", "ABC", "DEF", "GHI", "JKL", "MNO", "PQRS", "TUV", "WXYZ"};
    for (int n = 1; n <= 9; ++n)
        keys.push_back({QString::number(n), QString::number(n), QString::fromLatin1(letters[n - 1]),
                        (n - 1) % 3, (n - 1) / 3, {}});
    keys.push_back({"y", "*", "", 0, 3, {}});
    keys.push_back({"0", "0", "+", 1, 3, {}});
    keys.push_back({"Hash", "#", "", 2, 3, {}});
    for (Key &k : keys)
        for (const Layout::Button &b : Layout::mainButtons())
            if (b.normal == QStringLiteral("off") + k.name)
                k.place = b.rect;
    return keys;
}

QImage keypadKey(const QImage &skin, const Key &k, bool hover)
{
    QImage img = crop(skin, k.place);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face(QPointF(keyColumns[k.column] - k.place.left(), keyRows[k.row] - k.place.top()), keyFaceSize);
    drawFace(p, face, 5, keyFace(hover), hover);

    const QColor digitColour = Ink::glyphBright;
    const QColor letterColour = hover ? QColor(0xd6, 0xe6, 0xf5) : Ink::keyLetters;
    const QFont digitFont = font(15, true), letterFont = font(8, true);
    const QFontMetricsF dm(digitFont), lm(letterFont);
    const qreal gap = k.letters.isEmpty() ? 0 : 3;
    const qreal digitWidth = k.digit == "*" ? 10 : dm.horizontalAdvance(k.digit);
    const qreal total = digitWidth + gap + lm.horizontalAdvance(k.letters);
    const qreal x = qRound(face.center().x() - total / 2);
    const qreal base = qRound(face.center().y() + dm.capHeight() / 2);
    if (k.digit == "*") {
        Glyphs::asterisk(p, QRectF(x - 1, face.center().y() - 6, 12, 12), digitColour);
    } else {
        p.setFont(digitFont);
        p.setPen(digitColour);
        p.drawText(QPointF(x, base), k.digit);
    }
    p.setFont(letterFont);
    p.setPen(letterColour);
    p.drawText(QPointF(x + digitWidth + gap, base), k.letters);
    p.end();
    return opaque(img);
}

// Tall green and red keys either side of the keypad.
QImage callKey(const QImage &skin, const QRect &place, bool answer, bool hover)
{
    QImage img = crop(skin, place);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face(2, 0, 36, 51);
    if (hover) {
        // A soft halo in the key's own colour.
        QColor glow = answer ? Ink::greenHoverTop : Ink::redHoverTop;
        for (int i = 2; i >= 1; --i) {
            glow.setAlpha(50 / i);
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawRoundedRect(face.adjusted(-i, -i + 0.5, i, i - 0.5), 8 + i, 8 + i);
        }
    }
    drawFace(p, face, 8, answer ? greenFace(hover) : redFace(hover), false);
    const qreal g = answer ? 22 : 26;
    Glyphs::handset(p, QRectF(face.center().x() - g / 2, face.center().y() - g / 2, g, g), Qt::white,
                    answer ? Glyphs::Handset::Lifted : Glyphs::Handset::HungUp);
    p.end();
    return opaque(img);
}

enum class Icon { Clock, Book, Headset, Person };

// Round function buttons on the deck; all share one centre line.
QImage functionButton(const QImage &skin, const QRect &place, Icon icon, bool hover)
{
    QImage img = crop(skin, place);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(place.width() / 2.0, 190.5 - place.top());
    const qreal r = 10.2;
    const QColor top = hover ? QColor(0x3d, 0x6f, 0x98) : QColor(0x33, 0x3a, 0x43);
    const QColor bottom = hover ? QColor(0x2a, 0x4f, 0x6e) : QColor(0x27, 0x2d, 0x34);
    QLinearGradient fill(c - QPointF(0, r), c + QPointF(0, r));
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    // The book's cut-outs are painted in the disc's colour at its middle.
    const QColor middle((top.red() + bottom.red()) / 2, (top.green() + bottom.green()) / 2,
                        (top.blue() + bottom.blue()) / 2);
    p.setPen(QPen(Ink::keyBorder, 1));
    p.setBrush(fill);
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(hover ? Artwork::accent() : QColor(255, 255, 255, 28), hover ? 1.2 : 1.0));
    p.drawEllipse(c, r - (hover ? 0.3 : 1), r - (hover ? 0.3 : 1));
    const QColor g = hover ? Ink::glyphBright : Ink::glyph;
    const qreal s = 14;
    const QRectF box(c.x() - s / 2, c.y() - s / 2, s, s);
    switch (icon) {
    case Icon::Clock: Glyphs::clock(p, box, g); break;
    case Icon::Book: Glyphs::contacts(p, box, g, middle); break;
    case Icon::Headset: Glyphs::headset(p, box, g); break;
    case Icon::Person: Glyphs::person(p, box, g); break;
    }
    p.end();
    return opaque(img);
}

enum class Pill { Clear, Back, Feedback };

QImage pillButton(const QImage &skin, const QRect &place, Pill kind, bool hover)
{
    QImage img = crop(skin, place);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face(0, 0, place.width(), place.height());
    drawFace(p, face, 6, keyFace(hover), hover);
    const QColor g = hover ? Ink::glyphBright : QColor(0xd8, 0xde, 0xe4);
    switch (kind) {
    case Pill::Clear:
        p.setFont(font(11, true));
        p.setPen(g);
        p.drawText(face, Qt::AlignCenter, QStringLiteral("C"));
        break;
    case Pill::Back:
        Glyphs::backspace(p, QRectF(face.center().x() - 8, face.center().y() - 8, 16, 16), g);
        break;
    case Pill::Feedback:
        p.setFont(font(9, true));
        p.setPen(g);
        p.drawText(face, Qt::AlignCenter, QStringLiteral("Feedback"));
        break;
    }
    p.end();
    return opaque(img);
}

// Small round window buttons in the top corner.
QImage roundButton(const QImage &skin, const QRect &place, const QColor &fill, const QString &what)
{
    QImage img = crop(skin, place);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(6, place.height() / 2.0);
    QLinearGradient g(c - QPointF(0, 5.5), c + QPointF(0, 5.5));
    g.setColorAt(0, fill.lighter(118));
    g.setColorAt(1, fill.darker(112));
    p.setPen(QPen(Ink::edge, 0.8));
    p.setBrush(g);
    p.drawEllipse(c, 5.3, 5.3);
    const QRectF box(c.x() - 6, c.y() - 6, 12, 12);
    if (what == "close")
        Glyphs::cross(p, box, Qt::white, 3.0);
    else if (what == "hide")
        Glyphs::minus(p, box, Qt::white, 3.0);
    else {
        // "?" for help, "@" for the caller-ID alias
        p.setFont(font(what == "alias" ? 8 : 9, true));
        p.setPen(Qt::white);
        p.drawText(box.translated(0, 0.5), Qt::AlignCenter, what == "alias" ? QStringLiteral("@") : QStringLiteral("?"));
    }
    p.end();
    return opaque(img);
}

QImage homePage(const QImage &skin, const QRect &place)
{
    QImage img = crop(skin, place);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Centred on the body, not on the picture, which sits a little right.
    wordmark(p, QPointF(146 - place.left(), place.height() / 2.0), 17);
    p.end();
    return opaque(img);
}

QImage muted(const QImage &skin, const QRect &place, bool microphone)
{
    QImage img = crop(skin, place);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, 0, 16, 16);
    if (microphone)
        Glyphs::microphone(p, box, Ink::muted, true, Ink::muted, img.pixelColor(8, 8));
    else
        Glyphs::speaker(p, box, Ink::muted, true, Ink::muted);
    p.end();
    return opaque(img);
}

QImage thumb(const QImage &skin)
{
    QImage img = crop(skin, thumbSource());
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(2.8, 2.6), 4.2);
    g.setColorAt(0, QColor(0xff, 0xff, 0xff));
    g.setColorAt(1, QColor(0xa9, 0xb4, 0xbf));
    p.setPen(QPen(Ink::edge, 0.6));
    p.setBrush(g);
    p.drawEllipse(QPointF(3.5, 3.5), 3.1, 3.1);
    p.end();
    return opaque(img);
}

} // namespace

QRect thumbSource() { return QRect(Layout::micTrack.topLeft(), Layout::thumbSize); }

std::map<QString, QImage> all(const QImage &skin, const QImage &phoneBookSkin)
{
    std::map<QString, QImage> out;
    for (const Key &k : keypad()) {
        out["off" + k.name] = keypadKey(skin, k, false);
        out["on" + k.name] = keypadKey(skin, k, true);
    }
    const std::map<QString, Icon> icons = {
        {"Picture3", Icon::Clock}, {"Picture11", Icon::Book}, {"Picture13", Icon::Headset}, {"Picture2", Icon::Person}};
    const std::map<QString, Pill> pills = {
        {"Picture16", Pill::Clear}, {"Picture17", Pill::Back}, {"Picture9", Pill::Feedback}};
    for (const Layout::Button &b : Layout::mainButtons()) {
        if (b.control == "Picture6" || b.control == "Picture8") {
            const bool answer = b.control == "Picture6";
            out[b.normal] = callKey(skin, b.rect, answer, false);
            out[b.hover] = callKey(skin, b.rect, answer, true);
        } else if (icons.count(b.control)) {
            out[b.normal] = functionButton(skin, b.rect, icons.at(b.control), false);
            out[b.hover] = functionButton(skin, b.rect, icons.at(b.control), true);
        } else if (pills.count(b.control)) {
            out[b.normal] = pillButton(skin, b.rect, pills.at(b.control), false);
            out[b.hover] = pillButton(skin, b.rect, pills.at(b.control), true);
        }
    }
    for (const Layout::Button &b : Layout::mainButtons()) {
        if (b.normal == "close")
            out[b.normal] = roundButton(skin, b.rect, QColor(0xd9, 0x45, 0x3b), "close");
        else if (b.normal == "hide")
            out[b.normal] = roundButton(skin, b.rect, QColor(0x5f, 0x69, 0x75), "hide");
        else if (b.normal == "help")
            out[b.normal] = roundButton(skin, b.rect, QColor(0x5f, 0x69, 0x75), "help");
        else if (b.normal == "alias")
            out[b.normal] = roundButton(skin, b.rect, QColor(0x3b, 0x8e, 0xd9), "alias");
        else if (b.normal == "homepage")
            out[b.normal] = homePage(skin, b.rect);
        else if (b.normal == "speakerMuted")
            out[b.normal] = muted(skin, b.rect, false);
        else if (b.normal == "micMuted")
            out[b.normal] = muted(skin, b.rect, true);
    }
    out["thumb"] = thumb(skin);
    out["closePhoneBook"] = roundButton(phoneBookSkin, Layout::phoneBookClose, QColor(0xd9, 0x45, 0x3b), "close");
    return out;
}

QImage icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    drawBody(p, roundedRect(QRectF(2, 2, 60, 60), 14));
    QLinearGradient g(0, 12, 0, 52);
    g.setColorAt(0, Ink::greenTop);
    g.setColorAt(1, Ink::greenBottom);
    p.setPen(QPen(QColor(0x10, 0x3d, 0x20), 1.2));
    p.setBrush(g);
    p.drawEllipse(QPointF(32, 32), 21, 21);
    Glyphs::handset(p, QRectF(19, 19, 26, 26), Qt::white);
    p.end();
    return img;
}

QString themeIconFile(int size)
{
    return QStringLiteral("icons/hicolor/%1x%1/apps/softphone.png").arg(size);
}

} // namespace Buttons
