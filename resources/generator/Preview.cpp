#include "resources/generator/Preview.h"

#include "resources/Artwork.h"
#include "resources/generator/Buttons.h"
#include "resources/generator/Layout.h"
#include "resources/generator/Style.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <algorithm>

namespace Preview {

namespace {

const QColor desktop(0x6f, 0x8f, 0xa8);

QImage cut(const QImage &skin)
{
    QImage out = skin.convertToFormat(QImage::Format_RGB32);
    const QRgb key = out.pixel(0, out.height() - 1);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (out.pixel(x, y) == key || x == out.width() - 1)
                out.setPixel(x, y, desktop.rgb());
    return out;
}

void label(QPainter &p, const QRect &r, const QString &text, const QColor &c, int px = 11, bool bold = false)
{
    p.setFont(Style::font(px, bold));
    p.setPen(c);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
}

void field(QPainter &p, const QRect &r, const QString &text)
{
    p.setPen(Artwork::fieldBorder());
    p.setBrush(Qt::white);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    label(p, r.adjusted(3, 0, 0, 0), text, QColor(0x70, 0x78, 0x80));
}

void button(QPainter &p, const QRect &r, const QString &text)
{
    p.setPen(Artwork::fieldBorder());
    p.setBrush(QColor(0xf7, 0xf9, 0xfa));
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setFont(Style::font(10, true));
    p.setPen(Artwork::panelText());
    p.drawText(r, Qt::AlignCenter, text);
}

QImage mainWindow(const QString &res, bool hover)
{
    QImage img = cut(QImage(res + "/skins/main.png"));
    QPainter p(&img);
    for (const Layout::Button &b : Layout::mainButtons()) {
        const QString name = hover && !b.hover.isEmpty() ? b.hover : b.normal;
        if (b.control.startsWith("pic") && !hover)
            continue; // mute indicators show only while muted
        p.drawImage(b.rect.topLeft(), QImage(res + "/buttons/" + name + ".png"));
    }
    const QImage thumb(res + "/buttons/thumb.png");
    p.drawImage(Layout::speakerTrack.topLeft() + QPoint(hover ? 0 : 60, 0), thumb);
    p.drawImage(Layout::micTrack.topLeft() + QPoint(hover ? 98 : 12, 0), thumb);
    label(p, Layout::lblMsg, hover ? "CONNECTED 0:01:07" : "Registered", Artwork::displayText(), 11, true);
    p.setFont(Style::font(10));
    p.setPen(Artwork::displayDimText());
    p.drawText(Layout::lblBalance, Qt::AlignRight | Qt::AlignVCenter, hover ? "" : "$12.50");
    label(p, Layout::cmbPhoneNo.adjusted(3, 0, 0, 0), "+1 555 0142", Artwork::displayText(), 14);
    p.end();
    return img;
}

QImage login(const QString &res)
{
    QImage img = cut(QImage(res + "/skins/login.png"));
    QPainter p(&img);
    const QColor t = Artwork::panelText();
    label(p, {20, 34, 73, 17}, "Sip IP/Domain", t);
    label(p, {20, 56, 57, 17}, "UserName", t);
    label(p, {46, 68, 43, 17}, "(Optional)", Artwork::panelWarningText(), 9);
    label(p, {20, 80, 57, 17}, "Account", t);
    label(p, {22, 104, 41, 17}, "PIN", t);
    field(p, {92, 34, 105, 19}, "Sip Server Address");
    field(p, {92, 58, 105, 19}, "CallerID/Alias (if any)");
    field(p, {92, 82, 105, 19}, "User ID");
    field(p, {92, 106, 105, 19}, "Password");
    p.setPen(Artwork::fieldBorder());
    p.setBrush(Qt::white);
    p.drawRect(136, 129, 11, 11);
    label(p, {151, 126, 50, 17}, "Save", t);
    button(p, {42, 144, 54, 20}, "LOGIN");
    button(p, {118, 144, 54, 20}, "EXIT");
    p.end();
    return img;
}

QImage phoneBook(const QString &res)
{
    QImage img = cut(QImage(res + "/skins/phonebook.png"));
    QPainter p(&img);
    p.drawImage(Layout::phoneBookClose.topLeft(), QImage(res + "/buttons/closePhoneBook.png"));
    field(p, {30, 36, 217, 72}, "");
    p.setFont(QFont("DejaVu Sans Mono", 8));
    p.setPen(Qt::black);
    p.fillRect(31, 37, 215, 13, QColor(0x33, 0x7a, 0xc6));
    p.setPen(Qt::white);
    p.drawText(QPoint(33, 47), "NEW ITEM");
    p.setPen(Qt::black);
    p.drawText(QPoint(33, 60), "Office--123");
    p.drawText(QPoint(33, 73), "Mum--0044207946000");
    const QColor t = Artwork::panelText();
    label(p, {70, 116, 65, 17}, "Name", t);
    field(p, {70, 132, 129, 19}, "");
    label(p, {70, 156, 65, 17}, "Phone No.", t);
    field(p, {70, 172, 129, 19}, "");
    button(p, {70, 204, 65, 25}, "ADD");
    button(p, {142, 204, 57, 25}, "CALL");
    button(p, {70, 236, 65, 25}, "DELETE");
    button(p, {142, 236, 57, 25}, "EDIT");
    p.end();
    return img;
}

QImage recent(const QString &res)
{
    QImage img = cut(QImage(res + "/skins/recent.png"));
    QPainter p(&img);
    field(p, {20, 32, 177, 108}, "");
    p.setFont(Style::font(10));
    p.setPen(Qt::black);
    p.drawText(QPoint(24, 46), "5550142--12/05 10:31");
    p.drawText(QPoint(24, 60), "0044207946000--12/05 09:02");
    button(p, {64, 160, 81, 25}, "CLOSE");
    p.end();
    return img;
}

QImage sheet(const std::vector<QImage> &pictures, int scale)
{
    int w = 0, h = 0;
    for (const QImage &i : pictures) {
        w += i.width() * scale + 16;
        h = std::max(h, i.height() * scale);
    }
    QImage out(w + 16, h + 32, QImage::Format_RGB32);
    out.fill(desktop);
    QPainter p(&out);
    int x = 16;
    for (const QImage &i : pictures) {
        p.drawImage(QPoint(x, 16), i.scaled(i.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        x += i.width() * scale + 16;
    }
    return out;
}

} // namespace

bool write(const QString &res, const QString &out)
{
    QDir().mkpath(out);
    const QImage off = mainWindow(res, false), on = mainWindow(res, true);
    bool ok = off.save(out + "/main-normal.png") && on.save(out + "/main-hover.png");
    ok = sheet({off, on}, 2).save(out + "/main-2x.png") && ok;
    const QImage l = login(res), b = phoneBook(res), r = recent(res);
    ok = l.save(out + "/login.png") && b.save(out + "/phonebook.png") && r.save(out + "/recent.png") && ok;
    ok = sheet({l, b, r}, 2).save(out + "/dialogs-2x.png") && ok;
    // The window icons, then the desktop's at every size, side by side.
    int width = 16;
    for (int size : Buttons::themeIconSizes)
        width += size + 16;
    QImage icons(std::max(width, 64 + 32 + 48), 80 + 256 + 16, QImage::Format_RGB32);
    icons.fill(desktop);
    QPainter p(&icons);
    p.drawImage(16, 8, QImage(res + "/icon.png"));
    p.drawImage(96, 24, QImage(res + "/icon32.png"));
    int x = 16;
    for (int size : Buttons::themeIconSizes) {
        p.drawImage(x, 80 + 256 - size, QImage(res + "/" + Buttons::themeIconFile(size)));
        x += size + 16;
    }
    p.end();
    ok = icons.save(out + "/icons.png") && ok;
    return ok;
}

} // namespace Preview
